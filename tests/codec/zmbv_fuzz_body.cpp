#include "zmbv_fuzz_body.h"

#include "codec/zmbv_decoder.h"
#include "codec/zmbv_encoder.h"

#include <algorithm>
#include <vector>

bool EncodeFuzzedZmbvSequence(const std::uint8_t* data, std::size_t size)
{
    if (size < 9) {
        return true;
    }
    const int width = 1 + data[0] % 80;
    const int height = 1 + data[1] % 80;
    const int bits = 8 * (1 + data[2] % 4);
    const int frames = 1 + (data[3] & 7);
    const int keys = data[4];
    const std::size_t shift = data[5];
    const std::size_t damage = data[6];
    const int changing = 1 + data[7] % height; // rows that take new data after the first frame
    const int quality = data[8] * zmbv::kMaxQuality / 255;
    const std::uint8_t* pixels = data + 9;
    const std::size_t pixelBytes = size - 9;

    zmbv::Encoder encoder;
    zmbv::Decoder decoder;
    zmbv::Decoder damaged;
    if (!encoder.begin(width, height, bits) || !decoder.begin(width, height) || !damaged.begin(width, height)) {
        return false;
    }
    const std::size_t stride = zmbv::InputStride(width, bits);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(bits == 24 ? 4 : bits / 8);
    std::vector<std::uint8_t> frame(stride * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> palette(1024);
    std::vector<std::uint8_t> out(zmbv::MaxFrameBytes(width, height, bits));
    for (int n = 0; n < frames; ++n) {
        // Each frame reads the data from a later offset: some rows move, some stay.
        const std::size_t offset = static_cast<std::size_t>(n) * shift;
        for (std::size_t i = 0; i < (n == 0 ? frame.size() : stride * static_cast<std::size_t>(changing)); ++i) {
            frame[i] = pixelBytes ? pixels[(i + offset) % pixelBytes] : 0;
        }
        for (std::size_t i = 0; i < palette.size(); ++i) {
            palette[i] = pixelBytes && (n & 1) ? pixels[(i * 7) % pixelBytes] : static_cast<std::uint8_t>(i);
        }
        const bool key = (keys >> n) & 1;
        const std::size_t written = encoder.encode(frame.data(), palette.data(), quality, key, out.data());
        if (written == 0 || written > out.size() || encoder.lastWasKeyFrame() != (key || n == 0) ||
            decoder.decode(out.data(), written) != zmbv::DecodeResult::Ok) {
            return false;
        }
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* in = frame.data() + stride * static_cast<std::size_t>(height - 1 - y);
            const std::uint8_t* shown = decoder.picture().data() + rowBytes * static_cast<std::size_t>(y);
            for (int x = 0; x < width; ++x) {
                const bool same = bits == 24 ? std::equal(in + x * 3, in + x * 3 + 3, shown + x * 4) && shown[x * 4 + 3] == 0
                                             : std::equal(in + x * bits / 8, in + (x + 1) * bits / 8, shown + x * bits / 8);
                if (!same) {
                    return false;
                }
            }
        }
        for (std::size_t i = 0; bits == 8 && i < 256; ++i) {
            if (decoder.palette()[i * 3] != palette[i * 4 + 2] || decoder.palette()[i * 3 + 1] != palette[i * 4 + 1] ||
                decoder.palette()[i * 3 + 2] != palette[i * 4]) {
                return false;
            }
        }
        out[damage % written] ^= static_cast<std::uint8_t>(1 + (damage >> 3));
        damaged.decode(out.data(), written - (damage & 1));
    }
    return true;
}
