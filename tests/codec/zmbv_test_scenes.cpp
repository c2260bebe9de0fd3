#include "zmbv_test_scenes.h"

#include "codec/zmbv_encoder.h"

#include <algorithm>

namespace {

// An RGB picture drawn top-down, turned into the DIB of the sequence's depth at the end.
struct Canvas {
    int width;
    int height;
    std::vector<std::uint32_t> rgb;

    Canvas(int w, int h, std::uint32_t fill) : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
    void fill(int x0, int y0, int w, int h, std::uint32_t colour)
    {
        for (int y = std::max(0, y0); y < std::min(height, y0 + h); ++y) {
            for (int x = std::max(0, x0); x < std::min(width, x0 + w); ++x) {
                rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = colour;
            }
        }
    }
    // A letter-sized glyph whose strokes follow from its code.
    void glyph(int x0, int y0, unsigned code, std::uint32_t ink)
    {
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 6; ++x) {
                if (((code * 2654435761u) >> ((x + y * 6) % 31)) & 1 && (x % 5 != 0 || y % 4 == 0)) {
                    fill(x0 + x, y0 + y, 1, 1, ink);
                }
            }
        }
    }
    void text(int x0, int y0, int w, int h, unsigned seed, int letters, std::uint32_t ink)
    {
        int drawn = 0;
        for (int line = 0; line * 12 + 9 <= h && drawn < letters; ++line) {
            for (int column = 0; column * 7 + 6 <= w && drawn < letters; ++column, ++drawn) {
                const unsigned code = seed * 31u + static_cast<unsigned>(line * 97 + column);
                if (code % 9 != 0) { // spaces
                    glyph(x0 + column * 7, y0 + line * 12, code, ink);
                }
            }
        }
    }
};

constexpr std::uint32_t Rgb(int r, int g, int b)
{
    return static_cast<std::uint32_t>((r << 16) | (g << 8) | b);
}

// 3-3-2 colours, so that a canvas colour has an index; shifted palettes recolour the picture.
std::vector<std::uint8_t> Palette(int shift)
{
    std::vector<std::uint8_t> palette(1024, 0);
    for (int i = 0; i < 256; ++i) {
        const int j = (i + shift) & 0xFF;
        palette[static_cast<std::size_t>(i) * 4] = static_cast<std::uint8_t>((j & 3) * 85);
        palette[static_cast<std::size_t>(i) * 4 + 1] = static_cast<std::uint8_t>(((j >> 2) & 7) * 36);
        palette[static_cast<std::size_t>(i) * 4 + 2] = static_cast<std::uint8_t>((j >> 5) * 36);
    }
    return palette;
}

std::vector<std::uint8_t> ToDib(const Canvas& canvas, int bits)
{
    const std::size_t stride = zmbv::InputStride(canvas.width, bits);
    std::vector<std::uint8_t> dib(stride * static_cast<std::size_t>(canvas.height), 0);
    for (int y = 0; y < canvas.height; ++y) {
        std::uint8_t* p = dib.data() + stride * static_cast<std::size_t>(canvas.height - 1 - y);
        for (int x = 0; x < canvas.width; ++x) {
            const std::uint32_t c = canvas.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) + static_cast<std::size_t>(x)];
            const int r = static_cast<int>(c >> 16);
            const int g = static_cast<int>((c >> 8) & 0xFF);
            const int b = static_cast<int>(c & 0xFF);
            switch (bits) {
            case 8:
                *p++ = static_cast<std::uint8_t>(((r >> 5) << 5) | ((g >> 5) << 2) | (b >> 6));
                break;
            case 16: {
                const int word = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
                *p++ = static_cast<std::uint8_t>(word & 0xFF);
                *p++ = static_cast<std::uint8_t>(word >> 8);
                break;
            }
            default:
                *p++ = static_cast<std::uint8_t>(b);
                *p++ = static_cast<std::uint8_t>(g);
                *p++ = static_cast<std::uint8_t>(r);
                if (bits == 32) {
                    *p++ = 0;
                }
            }
        }
    }
    return dib;
}

Canvas Desktop(int width, int height)
{
    Canvas canvas(width, height, Rgb(40, 90, 140));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((x / 40 + y / 40) % 3 == 0) {
                canvas.fill(x, y, 1, 1, Rgb((x * 5) & 0xFF, (y * 3) & 0xFF, ((x ^ y) * 7) & 0xFF));
            }
        }
    }
    for (int i = 0; i * 70 + 40 < height; ++i) { // icons
        canvas.fill(10, 10 + i * 70, 32, 32, Rgb(200, 180 - i * 10, 40));
        canvas.text(6, 46 + i * 70, 40, 12, 7u + static_cast<unsigned>(i), 6, Rgb(255, 255, 255));
    }
    return canvas;
}

void Window(Canvas& canvas, int x, int y, int w, int h)
{
    canvas.fill(x, y, w, h, Rgb(230, 230, 230));
    canvas.fill(x, y, w, 18, Rgb(0, 60, 160));
    canvas.text(x + 4, y + 5, w - 8, 9, 3u, 20, Rgb(255, 255, 255));
    canvas.text(x + 6, y + 24, w - 12, h - 30, 11u, 10000, Rgb(20, 20, 20));
}

// 32-pixel bars whose colours follow from their place in the band, shifted right.
void Bars(Canvas& canvas, int shift)
{
    for (int x = -64; x < canvas.width; x += 32) {
        const int band = (x + shift) / 32;
        canvas.fill(x + shift % 32, 0, 32, canvas.height, Rgb(band * 53 % 256, band * 97 % 256, band * 31 % 256));
    }
}

} // namespace

const char* SceneName(Scene scene)
{
    switch (scene) {
    case Scene::Typing:
        return "typing";
    case Scene::Scrolling:
        return "scrolling";
    case Scene::Dragging:
        return "dragging";
    case Scene::Recolour:
        return "recolour";
    case Scene::Bars:
        return "bars";
    case Scene::FarBars:
        return "far bars";
    }
    return "";
}

Sequence MakeSequence(Scene scene, int width, int height, int bits, int frames)
{
    Sequence sequence{width, height, bits, {}, {}};
    const int toolbar = std::min(24, height / 4);
    const int sidebar = std::min(60, width / 5);
    for (int n = 0; n < frames; ++n) {
        Canvas canvas(width, height, Rgb(255, 255, 255));
        switch (scene) {
        case Scene::Typing:
        case Scene::Recolour:
            canvas.fill(0, 0, width, toolbar, Rgb(200, 200, 210));
            canvas.text(4, toolbar + 4, width - 8, height - toolbar - 4, 5u, 40 + n, Rgb(0, 0, 0));
            if (n % 2 == 0) { // the cursor
                const int letter = 40 + n;
                const int perLine = std::max(1, (width - 8) / 7);
                canvas.fill(4 + (letter % perLine) * 7, toolbar + 4 + (letter / perLine) * 12, 1, 10, Rgb(0, 0, 0));
            }
            break;
        case Scene::Scrolling: {
            const int offset = n * 3;
            Canvas page(width, height + offset, Rgb(255, 255, 250));
            page.text(sidebar + 4, 0, width - sidebar - 8, height + offset, 9u, 1000000, Rgb(30, 30, 30));
            for (int y = 0; y < height + offset; y += 150) {
                page.fill(sidebar + 20, y + 60, (width - sidebar) / 2, 30, Rgb(180, 60, 60));
            }
            std::copy(page.rgb.begin() + static_cast<std::ptrdiff_t>(offset) * width, page.rgb.end(), canvas.rgb.begin());
            canvas.fill(0, 0, width, toolbar, Rgb(200, 200, 210));
            canvas.fill(0, toolbar, sidebar, height - toolbar, Rgb(220, 225, 240));
            canvas.text(2, toolbar + 2, sidebar - 4, height - toolbar - 4, 4u, 200, Rgb(0, 0, 90));
            break;
        }
        case Scene::Dragging:
            canvas = Desktop(width, height);
            Window(canvas, width / 6 + n * 5, height / 6 + n * 3, std::max(8, width / 3), std::max(8, height / 3));
            break;
        case Scene::Bars:
        case Scene::FarBars:
            Bars(canvas, n * (scene == Scene::Bars ? 7 : 100));
            break;
        }
        sequence.frames.push_back(ToDib(canvas, bits));
        if (bits == 8) {
            sequence.palettes.push_back(Palette(scene == Scene::Recolour ? (n / 3) * 17 : 0));
        }
    }
    return sequence;
}

std::vector<std::uint8_t> CodedPicture(const Sequence& sequence, std::size_t n)
{
    const std::size_t stride = zmbv::InputStride(sequence.width, sequence.bits);
    const std::size_t pixel = sequence.bits == 24 ? 4 : static_cast<std::size_t>(sequence.bits / 8);
    const std::size_t width = static_cast<std::size_t>(sequence.width);
    std::vector<std::uint8_t> picture(width * pixel * static_cast<std::size_t>(sequence.height), 0);
    for (int y = 0; y < sequence.height; ++y) {
        const std::uint8_t* from = sequence.frames[n].data() + stride * static_cast<std::size_t>(sequence.height - 1 - y);
        std::uint8_t* to = picture.data() + static_cast<std::size_t>(y) * width * pixel;
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t in = sequence.bits == 24 ? 3 : pixel;
            std::copy_n(from + x * in, in, to + x * pixel);
        }
    }
    return picture;
}

std::vector<std::uint8_t> ShownPicture(const Sequence& sequence, std::size_t n)
{
    const std::vector<std::uint8_t> coded = CodedPicture(sequence, n);
    if (sequence.bits != 8) {
        return coded;
    }
    std::vector<std::uint8_t> picture(coded.size() * 4, 0);
    for (std::size_t i = 0; i < coded.size(); ++i) {
        std::copy_n(sequence.palettes[n].data() + coded[i] * 4u, 3, picture.data() + i * 4);
    }
    return picture;
}
