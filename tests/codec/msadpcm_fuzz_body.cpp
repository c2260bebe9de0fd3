#include "msadpcm_fuzz_body.h"

#include "codec/msadpcm_encoder.h"
#include "msadpcm_reference_decoder.h"

#include <algorithm>
#include <vector>

bool EncodeFuzzedAudio(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) {
        return true;
    }
    const int channels = 1 + (data[0] & 1);
    // Block sizes from impossible (below a header) up to 2 KB.
    const int blockAlign = (data[1] | (data[2] << 8)) % 2048;
    const bool partialLast = (data[3] & 1) != 0;
    std::vector<std::int16_t> pcm((size - 4) / 2 / channels * channels);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(data[4 + 2 * i] | (data[5 + 2 * i] << 8));
    }

    msadpcm::Encoder encoder;
    if (!encoder.begin(channels, blockAlign)) {
        return msadpcm::SamplesPerBlock(blockAlign, channels) == 0;
    }
    const int frames = static_cast<int>(pcm.size()) / channels;
    const int perBlock = encoder.samplesPerBlock();
    const std::size_t fullBlockBytes = msadpcm::BlockBytes(perBlock, channels);
    std::vector<std::uint8_t> out(fullBlockBytes * (static_cast<std::size_t>(frames / perBlock) + 1));
    std::vector<std::int16_t> reconstruction(pcm.size());
    for (int first = 0; first < frames;) {
        // Calls of many blocks; or of every length, so that short blocks come between full ones.
        int count = frames - first;
        if (partialLast && count > 1) {
            count = 1 + (first * 37 + data[3]) % count;
        }
        const std::size_t offset = static_cast<std::size_t>(first) * channels;
        const std::size_t written = encoder.encode(pcm.data() + offset, count, out.data(), reconstruction.data() + offset);
        const int rest = count % perBlock;
        if (written != count / perBlock * fullBlockBytes + (rest ? msadpcm::BlockBytes(rest, channels) : 0)) {
            return false;
        }
        std::size_t at = 0;
        for (int blockFirst = first; blockFirst < first + count; blockFirst += perBlock) {
            const int blockFrames = std::min(perBlock, first + count - blockFirst);
            const std::size_t size = msadpcm::BlockBytes(blockFrames, channels);
            std::vector<std::int16_t> decoded;
            if (!DecodeMsAdpcmBlock(out.data() + at, size, channels, decoded) ||
                decoded.size() < static_cast<std::size_t>(blockFrames) * channels) {
                return false;
            }
            const auto begin = static_cast<std::ptrdiff_t>(blockFirst) * channels;
            const auto samples = static_cast<std::ptrdiff_t>(blockFrames) * channels;
            const auto header = std::min<std::ptrdiff_t>(samples, 2 * channels);
            if (!std::equal(reconstruction.begin() + begin, reconstruction.begin() + begin + samples, decoded.begin()) ||
                !std::equal(pcm.begin() + begin, pcm.begin() + begin + header, decoded.begin())) {
                return false;
            }
            at += size;
        }
        first += count;
    }
    return true;
}
