#include "video1_test_frames.h"

#include "codec/video1_encoder.h"

TestFrame::TestFrame(int w, int h, int bitsPerPixel)
    : width(w), height(h), bits(bitsPerPixel),
      pixels(video1::InputStride(w, bitsPerPixel) * static_cast<std::size_t>(h), 0)
{
}

void TestFrame::set(int x, int y, int r, int g, int b)
{
    std::uint8_t* p = pixels.data() + video1::InputStride(width, bits) * static_cast<std::size_t>(height - 1 - y) +
                      static_cast<std::size_t>(x) * static_cast<std::size_t>(bits / 8);
    if (bits == 16) {
        const int w = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        p[0] = static_cast<std::uint8_t>(w & 0xFF);
        p[1] = static_cast<std::uint8_t>(w >> 8);
    } else {
        p[0] = static_cast<std::uint8_t>(b);
        p[1] = static_cast<std::uint8_t>(g);
        p[2] = static_cast<std::uint8_t>(r);
    }
}

std::uint16_t TestFrame::word555(int x, int y) const
{
    const std::uint8_t* p = pixels.data() + video1::InputStride(width, bits) * static_cast<std::size_t>(height - 1 - y) +
                            static_cast<std::size_t>(x) * static_cast<std::size_t>(bits / 8);
    if (bits == 16) {
        return static_cast<std::uint16_t>((p[0] | (p[1] << 8)) & 0x7FFF);
    }
    // Only exact for 8-bit values that are expansions of 5-bit ones.
    return static_cast<std::uint16_t>(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3));
}

TestFrame MovingScene(int width, int height, int bits, int n)
{
    TestFrame frame(width, height, bits);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(n) * 7919u;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int r = 0, g = 0, b = 0;
            if (y < height / 3) {
                r = x * 255 / width; // gradient
                g = y * 255 / (height / 3 + 1);
                b = 128;
            } else if (y < 2 * height / 3) {
                const bool stroke = ((x / 3 + y / 5) % 4 == 0) && (x % 7 != 0); // text-like
                r = g = b = stroke ? 20 : 235;
            } else {
                noise = noise * 1664525u + 1013904223u;
                r = static_cast<int>((noise >> 24) & 0xFF);
                g = (x * 3 + n * 5) & 0xFF;
                b = static_cast<int>((noise >> 16) & 0x3F);
            }
            if (y < height / 3 && x < width / 8) {
                r = 8; // red level 1: a fill of this colour would read as a skip code
                g = 60;
                b = 200;
            } else if (y >= height / 3 && x >= width / 2 && x < width / 2 + width / 8) {
                // Blocks whose upper-right corner pixel is the odd one out.
                r = g = b = (x % 4 == 3 && y % 4 == 0) ? 255 : 0;
            }
            const int sx = (n * 7) % (width > 16 ? width - 16 : 1);
            if (x >= sx && x < sx + 16 && y >= height / 4 && y < height / 4 + 16) {
                r = 250;
                g = 40;
                b = 30;
            }
            frame.set(x, y, r, g, b);
        }
    }
    return frame;
}
