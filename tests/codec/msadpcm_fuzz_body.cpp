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
    std::vector<std::uint8_t> block(static_cast<std::size_t>(encoder.blockAlign()));
    std::vector<std::int16_t> reconstruction(static_cast<std::size_t>(encoder.samplesPerBlock()) * channels);
    for (int first = 0; first < frames;) {
        int count = std::min(encoder.samplesPerBlock(), frames - first);
        if (partialLast && count == encoder.samplesPerBlock() && count > 1) {
            count = 1 + (first % (count - 1)); // blocks of every length
        }
        const std::size_t offset = static_cast<std::size_t>(first) * channels;
        const std::size_t written = encoder.encodeBlock(pcm.data() + offset, count, block.data(), reconstruction.data());
        if (written != msadpcm::BlockBytes(count, channels) || written > block.size()) {
            return false;
        }
        std::vector<std::int16_t> decoded;
        if (!DecodeMsAdpcmBlock(block.data(), written, channels, decoded) ||
            decoded.size() < static_cast<std::size_t>(count) * channels) {
            return false;
        }
        const std::size_t samples = static_cast<std::size_t>(count) * channels;
        if (!std::equal(reconstruction.begin(), reconstruction.begin() + static_cast<std::ptrdiff_t>(samples),
                        decoded.begin()) ||
            !std::equal(pcm.begin() + static_cast<std::ptrdiff_t>(offset),
                        pcm.begin() + static_cast<std::ptrdiff_t>(offset + std::min<std::size_t>(samples, 2 * channels)),
                        decoded.begin())) {
            return false;
        }
        first += count;
    }
    return true;
}
