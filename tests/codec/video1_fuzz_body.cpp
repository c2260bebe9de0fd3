#include "video1_fuzz_body.h"

#include "codec/video1_encoder.h"
#include "video1_reference_decoder.h"

#include <vector>

bool EncodeFuzzedSequence(const std::uint8_t* data, std::size_t size)
{
    if (size < 6) {
        return true;
    }
    const int width = 4 + data[0] % 70;
    const int height = 4 + data[1] % 70;
    const int bits = 16 + 8 * (data[2] % 3);
    const int quality = (data[3] | (data[4] << 8)) % 10001;
    const int frames = 1 + (data[5] & 3);
    const std::uint8_t* pixels = data + 6;
    const std::size_t pixelBytes = size - 6;

    video1::Encoder encoder;
    if (!encoder.begin(width, height, bits)) {
        return false;
    }
    std::vector<std::uint8_t> frame(video1::InputStride(width, bits) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t> out(video1::MaxFrameBytes(width, height));
    std::vector<std::uint16_t> picture;
    for (int n = 0; n < frames; ++n) {
        // Each frame takes the data from a later offset, so that some blocks change and some not.
        for (std::size_t i = 0; i < frame.size(); ++i) {
            frame[i] = pixelBytes ? pixels[(i + static_cast<std::size_t>(n) * (data[5] >> 2)) % pixelBytes] : 0;
        }
        const bool key = (data[5] >> (2 + n)) & 1;
        const std::size_t written = encoder.encode(frame.data(), quality, key, out.data());
        const Video1Decoded decoded =
            DecodeVideo1(out.data(), written, encoder.codedWidth(), encoder.codedHeight(), picture);
        if (!decoded.complete || decoded.bytesRead != written || picture != encoder.reconstruction() ||
            (encoder.lastWasKeyFrame() && decoded.sawSkip) || encoder.lastWasKeyFrame() != (key || n == 0)) {
            return false;
        }
    }
    return true;
}
