// Video 1 encoder benchmark on raw 24-bit frames (top-down BGR, as ffmpeg writes them).
//   video1_bench desktop <out.bgr24> <width> <height> <frames>   writes the desktop-like sequence
//   video1_bench bars <out.bgr24> <width> <height> <frames>      writes the recording benchmark's bars
//   video1_bench encode <in.bgr24> <width> <height> <quality> <keyint>
//                                       encodes as a 32-bit screen grab; prints ms, bytes, PSNR,
//                                       frames, processor ms (all threads) and a checksum of the bytes
//   video1_bench psnr <in.bgr24> <decoded.rgb555le> <width> <height>  PSNR of a decoded copy
#include "codec/video1_encoder.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Frame = std::vector<std::uint8_t>; // top-down BGR

class RawFile {
public:
    RawFile(const char* path, const char* mode) : m_file(std::fopen(path, mode)) {}
    ~RawFile()
    {
        if (m_file) {
            std::fclose(m_file);
        }
    }
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    explicit operator bool() const { return m_file != nullptr; }
    bool read(Frame& frame) { return std::fread(frame.data(), 1, frame.size(), m_file) == frame.size(); }
    bool write(const Frame& frame) { return std::fwrite(frame.data(), 1, frame.size(), m_file) == frame.size(); }

private:
    std::FILE* m_file;
};

// --- Desktop-like sequence: flat desktop, taskbar, text windows, a scrolling text pane, a pointer.

struct Canvas {
    int width;
    int height;
    Frame& pixels;
    void fill(int x0, int y0, int w, int h, std::uint32_t rgb)
    {
        for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y) {
            for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) {
                put(x, y, rgb);
            }
        }
    }
    void put(int x, int y, std::uint32_t rgb)
    {
        std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        p[0] = static_cast<std::uint8_t>(rgb);
        p[1] = static_cast<std::uint8_t>(rgb >> 8);
        p[2] = static_cast<std::uint8_t>(rgb >> 16);
    }
};

// A 6 x 9 glyph cell, drawn dark on light with a grey edge like smoothed type.
void DrawGlyph(Canvas& c, int x0, int y0, unsigned code, int clipTop, int clipBottom)
{
    const std::uint32_t bits = code * 2654435761u;
    for (int gy = 0; gy < 7; ++gy) {
        for (int gx = 0; gx < 5; ++gx) {
            const bool on = (bits >> ((gy * 5 + gx) % 32)) & 1;
            const int y = y0 + gy + 1;
            if (on && y >= clipTop && y < clipBottom && y < c.height && x0 + gx < c.width) {
                c.put(x0 + gx, y, gx == 4 || gy == 6 ? 0x909090 : 0x202020);
            }
        }
    }
}

void DrawTextLines(Canvas& c, int x0, int y0, int w, int h, int firstLine, int scrollPixels)
{
    const int lineHeight = 14;
    for (int line = -1; line <= h / lineHeight + 1; ++line) {
        const int y = y0 + line * lineHeight - scrollPixels;
        const unsigned seed = static_cast<unsigned>(firstLine + line) * 7919u;
        const int length = static_cast<int>((seed >> 3) % static_cast<unsigned>(w / 6));
        for (int i = 0; i < length; ++i) {
            const unsigned code = seed + static_cast<unsigned>(i) * 31u;
            if (code % 7 == 0) {
                continue; // word gap
            }
            DrawGlyph(c, x0 + 4 + i * 6, y, code, y0, y0 + h);
        }
    }
}

void DrawWindow(Canvas& c, int x, int y, int w, int h, int firstLine, int scrollPixels)
{
    c.fill(x - 1, y - 1, w + 2, h + 2, 0x404040);
    c.fill(x, y, w, 24, 0x2050A0);
    for (int i = 0; i < 24; ++i) {
        DrawGlyph(c, x + 8 + i * 6, y + 7, 1000u + static_cast<unsigned>(i), y, y + 24);
    }
    c.fill(x, y + 24, w, h - 24, 0xFFFFFF);
    DrawTextLines(c, x, y + 28, w, h - 32, firstLine, scrollPixels);
}

void DrawPointer(Canvas& c, int px, int py)
{
    for (int y = 0; y < 19; ++y) {
        for (int x = 0; x <= y / 2 + 1 && x < 12; ++x) {
            if (px + x < c.width && py + y < c.height) {
                c.put(px + x, py + y, x == 0 || x == y / 2 + 1 || y == 18 ? 0x000000 : 0xFFFFFF);
            }
        }
    }
}

void DrawDesktop(Frame& frame, int width, int height, int n)
{
    Canvas c{width, height, frame};
    c.fill(0, 0, width, height, 0x3A6EA5);
    c.fill(0, height - 40, width, 40, 0xC0C0C0);
    for (int i = 0; i < 8; ++i) {
        c.fill(8 + i * 48, height - 34, 32, 28, 0x808080 + static_cast<std::uint32_t>(i) * 0x101000);
    }
    DrawWindow(c, 60, 50, width / 2, height / 2, 0, 0);
    DrawWindow(c, width / 3, height / 3, width / 2, height / 2, 500, 0);
    // The scrolling pane: a log or an editor moving up three pixels a frame.
    DrawWindow(c, width / 2 + 80, 90, width / 2 - 160, height - 260, 2000 + n * 3 / 14, n * 3 % 14);
    DrawPointer(c, 200 + (n * 17) % (width - 400), 300 + static_cast<int>(150 * std::sin(n * 0.1)));
}

// The recording benchmark's moving picture: 32-pixel coloured bars moving 7 pixels per 15 ms tick,
// grabbed about every 20 ms.
void DrawBars(Frame& frame, int width, int height, int n)
{
    Canvas c{width, height, frame};
    const int shift = n * 7 * 4 / 3;
    for (int x = -64; x < width; x += 32) {
        const int band = (x + shift) / 32;
        const std::uint32_t rgb = static_cast<std::uint32_t>(band * 53 % 256) | static_cast<std::uint32_t>(band * 97 % 256) << 8 |
                                  static_cast<std::uint32_t>(band * 31 % 256) << 16;
        c.fill(x + shift % 32, 0, 32, height, rgb);
    }
}

// --- Encoding and measuring.

// What the program hands the compressor: a bottom-up 32-bit screen grab.
void ToScreenGrab(const Frame& bgr, int width, int height, std::vector<std::uint8_t>& grab)
{
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = bgr.data() + static_cast<std::size_t>(y) * width * 3;
        std::uint8_t* dst = grab.data() + static_cast<std::size_t>(height - 1 - y) * width * 4;
        for (int x = 0; x < width; ++x) {
            dst[x * 4] = src[x * 3];
            dst[x * 4 + 1] = src[x * 3 + 1];
            dst[x * 4 + 2] = src[x * 3 + 2];
            dst[x * 4 + 3] = 0;
        }
    }
}

// Squared error of a decoded picture (bottom-up 5-5-5 words) against the top-down input.
double SquaredError(const Frame& bgr, const std::vector<std::uint16_t>& picture, int width, int height)
{
    double total = 0;
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* row = picture.data() + static_cast<std::size_t>(height - 1 - y) * width;
        const std::uint8_t* src = bgr.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const int w = row[x];
            const int levels[3] = {w & 31, (w >> 5) & 31, (w >> 10) & 31};
            for (int ch = 0; ch < 3; ++ch) {
                const int d = src[x * 3 + ch] - ((levels[ch] << 3) | (levels[ch] >> 2));
                total += d * d;
            }
        }
    }
    return total;
}

double Psnr(double squaredError, double samples)
{
    return squaredError <= 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * samples / squaredError);
}

using DrawFrame = void (*)(Frame&, int, int, int);

int WriteSequence(DrawFrame draw, const char* path, int width, int height, int frames)
{
    RawFile out(path, "wb");
    Frame frame(static_cast<std::size_t>(width) * height * 3);
    for (int n = 0; n < frames; ++n) {
        draw(frame, width, height, n);
        if (!out || !out.write(frame)) {
            std::fprintf(stderr, "cannot write %s\n", path);
            return 1;
        }
    }
    return 0;
}

int Encode(const char* path, int width, int height, int quality, int keyInterval)
{
    RawFile in(path, "rb");
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 1;
    }
    video1::Encoder encoder;
    if (!encoder.begin(width, height, 32)) {
        return 1;
    }
    Frame frame(static_cast<std::size_t>(width) * height * 3);
    std::vector<std::uint8_t> grab(static_cast<std::size_t>(width) * height * 4);
    std::vector<std::uint8_t> out(video1::MaxFrameBytes(width, height));
    double seconds = 0;
    std::clock_t processor = 0;
    double bytes = 0;
    std::uint64_t checksum = 14695981039346656037ull; // FNV-1a: shows when a change alters the bytes
    double squaredError = 0;
    int frames = 0;
    while (in.read(frame)) {
        ToScreenGrab(frame, width, height, grab);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t processorStart = std::clock();
        const std::size_t size = encoder.encode(grab.data(), quality, frames % keyInterval == 0, out.data());
        processor += std::clock() - processorStart;
        bytes += static_cast<double>(size);
        for (std::size_t i = 0; i < size; ++i) {
            checksum = (checksum ^ out[i]) * 1099511628211ull;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        squaredError += SquaredError(frame, encoder.reconstruction(), width, height);
        ++frames;
    }
    if (frames == 0) {
        return 1;
    }
    std::printf("%.2f %.0f %.2f %d %.2f %016llx\n", 1000 * seconds / frames, bytes / frames,
                Psnr(squaredError, 3.0 * width * height * frames), frames,
                1000.0 * static_cast<double>(processor) / CLOCKS_PER_SEC / frames, static_cast<unsigned long long>(checksum));
    return 0;
}

int PsnrOfDecoded(const char* inputPath, const char* decodedPath, int width, int height)
{
    RawFile input(inputPath, "rb");
    RawFile decoded(decodedPath, "rb");
    if (!input || !decoded) {
        return 1;
    }
    Frame frame(static_cast<std::size_t>(width) * height * 3);
    Frame words(static_cast<std::size_t>(width) * height * 2);
    std::vector<std::uint16_t> picture(static_cast<std::size_t>(width) * height);
    double squaredError = 0;
    int frames = 0;
    while (input.read(frame) && decoded.read(words)) {
        // Same expansion to 8 bits as for our reconstruction; rows turned bottom-up.
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = words.data() + (static_cast<std::size_t>(y) * width + x) * 2;
                picture[static_cast<std::size_t>(height - 1 - y) * width + x] = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
            }
        }
        squaredError += SquaredError(frame, picture, width, height);
        ++frames;
    }
    std::printf("%.2f %d\n", Psnr(squaredError, 3.0 * width * height * frames), frames);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if ((command == "desktop" || command == "bars") && argc == 6) {
        return WriteSequence(command == "bars" ? DrawBars : DrawDesktop, argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                             std::atoi(argv[5]));
    }
    if (command == "encode" && argc == 7) {
        return Encode(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::max(1, std::atoi(argv[6])));
    }
    if (command == "psnr" && argc == 6) {
        return PsnrOfDecoded(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
    }
    std::fprintf(stderr, "usage: see the comment at the top of video1_bench.cpp\n");
    return 2;
}
