#include "recording/pixel_overlay.h"

#include <algorithm>

namespace {
using Form = PixelOverlay::Form;

std::uint8_t Replay(Form form, std::uint8_t under, std::uint8_t first, std::uint8_t second)
{
    if (form == Form::Bitwise) {
        return static_cast<std::uint8_t>((under & first) ^ second);
    }
    return static_cast<std::uint8_t>(second + (under * first + 127) / 255);
}

// The form's two bytes for what the drawing did to 0x00 and 0xFF; false when it cannot be that form.
bool Fit(Form form, std::uint8_t onZero, std::uint8_t onOne, std::uint8_t& first, std::uint8_t& second)
{
    if (form == Form::Bitwise) {
        first = static_cast<std::uint8_t>(onZero ^ onOne);
        second = onZero;
        return true;
    }
    if (onOne < onZero) {
        return false;
    }
    first = static_cast<std::uint8_t>(onOne - onZero);
    second = onZero;
    return true;
}

// A mask of all ones, or keeping all of the byte, and nothing added: in both forms the byte stays.
bool Unchanged(std::uint8_t first, std::uint8_t second)
{
    return second == 0 && first == 0xFF;
}

std::optional<PixelOverlay> LearnAs(Form form, const OverlayCanvas& canvas, const OverlayProbes& probes, int originX, int originY)
{
    const std::size_t rowBytes = static_cast<std::size_t>(canvas.size) * static_cast<std::size_t>(canvas.bytesPerPixel);
    int left = canvas.size;
    int right = -1;
    int top = canvas.size;
    int bottom = -1;
    for (int y = 0; y < canvas.size; ++y) {
        // Row y from the top lies (size - 1 - y) rows into the memory.
        const std::size_t row = static_cast<std::size_t>(canvas.size - 1 - y) * canvas.stride;
        for (std::size_t i = row; i < row + rowBytes; ++i) {
            std::uint8_t first = 0;
            std::uint8_t second = 0;
            if (!Fit(form, probes.onZeros[i], probes.onOnes[i], first, second)) {
                return std::nullopt;
            }
            for (int n = 0; n < kOverlayPatterns; ++n) {
                if (probes.onPatterns[n][i] != Replay(form, OverlayPatternByte(n, i), first, second)) {
                    return std::nullopt;
                }
            }
            if (!Unchanged(first, second)) {
                const int x = static_cast<int>(i - row) / canvas.bytesPerPixel;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    PixelOverlay overlay;
    overlay.form = form;
    overlay.bytesPerPixel = canvas.bytesPerPixel;
    if (right < 0) {
        return overlay; // the drawing changes nothing
    }
    overlay.left = left - originX;
    overlay.top = top - originY;
    overlay.width = right - left + 1;
    overlay.height = bottom - top + 1;
    const std::size_t boxRowBytes = static_cast<std::size_t>(overlay.width) * static_cast<std::size_t>(canvas.bytesPerPixel);
    overlay.first.resize(boxRowBytes * static_cast<std::size_t>(overlay.height));
    overlay.second.resize(overlay.first.size());
    std::size_t at = 0;
    for (int y = top; y <= bottom; ++y) {
        const std::size_t start = static_cast<std::size_t>(canvas.size - 1 - y) * canvas.stride +
                                  static_cast<std::size_t>(left) * static_cast<std::size_t>(canvas.bytesPerPixel);
        for (std::size_t i = start; i < start + boxRowBytes; ++i, ++at) {
            Fit(form, probes.onZeros[i], probes.onOnes[i], overlay.first[at], overlay.second[at]);
        }
    }
    return overlay;
}
} // namespace

std::uint8_t OverlayPatternByte(int n, std::size_t i)
{
    const std::uint32_t x = (static_cast<std::uint32_t>(i) + 0x9E37u * static_cast<std::uint32_t>(n + 1)) * 2654435761u;
    return static_cast<std::uint8_t>((x >> 13) ^ (x >> 24));
}

std::optional<PixelOverlay> LearnOverlay(const OverlayCanvas& canvas, const OverlayProbes& probes, int originX, int originY)
{
    if (std::optional<PixelOverlay> bitwise = LearnAs(Form::Bitwise, canvas, probes, originX, originY)) {
        return bitwise;
    }
    return LearnAs(Form::Blend, canvas, probes, originX, originY);
}

void ApplyOverlay(const PixelOverlay& overlay, std::uint8_t* pixels, std::size_t stride, int width, int height, int x, int y)
{
    const int left = x + overlay.left;
    const int top = y + overlay.top;
    const int firstX = std::max(left, 0);
    const int endX = std::min(left + overlay.width, width);
    const int firstY = std::max(top, 0);
    const int endY = std::min(top + overlay.height, height);
    if (firstX >= endX || firstY >= endY) {
        return;
    }
    const auto bpp = static_cast<std::size_t>(overlay.bytesPerPixel);
    const std::size_t boxRowBytes = static_cast<std::size_t>(overlay.width) * bpp;
    const std::size_t count = static_cast<std::size_t>(endX - firstX) * bpp;
    for (int frameY = firstY; frameY < endY; ++frameY) {
        std::uint8_t* target = pixels + static_cast<std::size_t>(height - 1 - frameY) * stride + static_cast<std::size_t>(firstX) * bpp;
        const std::size_t from = static_cast<std::size_t>(frameY - top) * boxRowBytes + static_cast<std::size_t>(firstX - left) * bpp;
        const std::uint8_t* first = overlay.first.data() + from;
        const std::uint8_t* second = overlay.second.data() + from;
        for (std::size_t i = 0; i < count; ++i) {
            target[i] = Replay(overlay.form, target[i], first[i], second[i]);
        }
    }
}
