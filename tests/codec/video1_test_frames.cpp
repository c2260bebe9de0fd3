#include "video1_test_frames.h"

#include "codec/video1_encoder.h"

#include <algorithm>
#include <cstring>
#include <fstream>

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

namespace {

class RiffBuffer {
public:
    void u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    void u16(std::uint16_t v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void tag(const char* t) { bytes.insert(bytes.end(), t, t + 4); }
    std::size_t begin(const char* t, const char* listType = nullptr)
    {
        tag(t);
        const std::size_t at = bytes.size();
        u32(0);
        if (listType) {
            tag(listType);
        }
        return at;
    }
    void end(std::size_t at)
    {
        if (bytes.size() % 2) {
            bytes.push_back(0);
        }
        const auto size = static_cast<std::uint32_t>(bytes.size() - at - 4);
        std::memcpy(bytes.data() + at, &size, 4);
    }
    std::vector<std::uint8_t> bytes;
};

} // namespace

bool WriteVideo1Avi(const std::string& path, int codedWidth, int codedHeight, const std::vector<CompressedFrame>& frames)
{
    std::uint32_t largest = 0;
    for (const CompressedFrame& f : frames) {
        largest = std::max(largest, static_cast<std::uint32_t>(f.data.size()));
    }
    const auto count = static_cast<std::uint32_t>(frames.size());
    RiffBuffer riff;
    const std::size_t file = riff.begin("RIFF", "AVI ");
    const std::size_t hdrl = riff.begin("LIST", "hdrl");
    const std::size_t avih = riff.begin("avih");
    for (std::uint32_t v : {40000u, 0u, 0u, 0x10u, count, 0u, 1u, largest, static_cast<std::uint32_t>(codedWidth),
                            static_cast<std::uint32_t>(codedHeight), 0u, 0u, 0u, 0u}) {
        riff.u32(v);
    }
    riff.end(avih);
    const std::size_t strl = riff.begin("LIST", "strl");
    const std::size_t strh = riff.begin("strh");
    riff.tag("vids");
    riff.tag("MSVC");
    for (std::uint32_t v : {0u, 0u, 0u, 1u, 25u, 0u, count, largest, 0xFFFFFFFFu, 0u}) {
        riff.u32(v);
    }
    for (int v : {0, 0, codedWidth, codedHeight}) {
        riff.u16(static_cast<std::uint16_t>(v));
    }
    riff.end(strh);
    const std::size_t strf = riff.begin("strf");
    riff.u32(40);
    riff.u32(static_cast<std::uint32_t>(codedWidth));
    riff.u32(static_cast<std::uint32_t>(codedHeight));
    riff.u16(1);
    riff.u16(16);
    riff.tag("CRAM");
    for (int i = 0; i < 5; ++i) {
        riff.u32(i == 0 ? largest : 0);
    }
    riff.end(strf);
    riff.end(strl);
    riff.end(hdrl);
    const std::size_t movi = riff.begin("LIST", "movi");
    std::vector<std::uint32_t> offsets;
    for (const CompressedFrame& f : frames) {
        offsets.push_back(static_cast<std::uint32_t>(riff.bytes.size() - (movi + 4)));
        const std::size_t chunk = riff.begin("00dc");
        riff.bytes.insert(riff.bytes.end(), f.data.begin(), f.data.end());
        riff.end(chunk);
    }
    riff.end(movi);
    const std::size_t idx = riff.begin("idx1");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        riff.tag("00dc");
        riff.u32(frames[i].key ? 0x10u : 0u);
        riff.u32(offsets[i]);
        riff.u32(static_cast<std::uint32_t>(frames[i].data.size()));
    }
    riff.end(idx);
    riff.end(file);

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(riff.bytes.data()), static_cast<std::streamsize>(riff.bytes.size()));
    out.close();
    return static_cast<bool>(out);
}
