#include "recording/mark_drawing.h"

#include <algorithm>
#include <cmath>

namespace {
bool Drawable(const FrameRows& frame)
{
    return frame.pixels && (frame.bytesPerPixel == 3 || frame.bytesPerPixel == 4);
}

// Row y from the top lies (height - 1 - y) rows into the memory; bytes are blue, green, red.
void Blend(const FrameRows& frame, int x, int y, std::uint32_t colour, int alpha)
{
    std::uint8_t* p = frame.pixels + static_cast<std::size_t>(frame.height - 1 - y) * frame.stride +
                      static_cast<std::size_t>(x) * static_cast<std::size_t>(frame.bytesPerPixel);
    const int channels[3] = {static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                             static_cast<int>(colour & 0xFF)};
    for (int i = 0; i < 3; ++i) {
        p[i] = static_cast<std::uint8_t>((channels[i] * alpha + p[i] * (255 - alpha) + 127) / 255);
    }
}

double Clamp01(double v)
{
    return std::clamp(v, 0.0, 1.0);
}
} // namespace

void DrawRing(const FrameRows& frame, double centreX, double centreY, const RingShape& ring, std::uint32_t colour)
{
    if (!Drawable(frame) || ring.opacity <= 0) {
        return;
    }
    const double reach = ring.radius + ring.thickness / 2 + 1;
    const int left = std::max(static_cast<int>(std::floor(centreX - reach)), 0);
    const int right = std::min(static_cast<int>(std::ceil(centreX + reach)), frame.width - 1);
    const int top = std::max(static_cast<int>(std::floor(centreY - reach)), 0);
    const int bottom = std::min(static_cast<int>(std::ceil(centreY + reach)), frame.height - 1);
    // Only pixels between these distances from the centre lie on the line: the square root, which
    // every pixel of the box would cost in every frame, is taken for those alone.
    const double inner = ring.radius - ring.thickness / 2 - 0.5;
    const double innerSquared = inner > 0 ? inner * inner : -1;
    const double outerSquared = (reach - 0.5) * (reach - 0.5);
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const double squared = (x - centreX) * (x - centreX) + (y - centreY) * (y - centreY);
            if (squared <= innerSquared || squared >= outerSquared) {
                continue;
            }
            const double cover = Clamp01(ring.thickness / 2 + 0.5 - std::abs(std::sqrt(squared) - ring.radius));
            if (cover > 0) {
                Blend(frame, x, y, colour, static_cast<int>(cover * ring.opacity + 0.5));
            }
        }
    }
}

void BlendMask(const FrameRows& frame, const CoverageMask& mask, int x, int y, std::uint32_t colour, int opacity)
{
    if (!Drawable(frame) || opacity <= 0) {
        return;
    }
    const int firstX = std::max(x, 0);
    const int endX = std::min(x + mask.width, frame.width);
    const int firstY = std::max(y, 0);
    const int endY = std::min(y + mask.height, frame.height);
    for (int row = firstY; row < endY; ++row) {
        const std::uint8_t* coverage = mask.coverage.data() + static_cast<std::size_t>(row - y) * mask.width;
        for (int column = firstX; column < endX; ++column) {
            if (const int c = coverage[column - x]) {
                Blend(frame, column, row, colour, (c * opacity + 127) / 255);
            }
        }
    }
}

CoverageMask RoundedBox(int width, int height, double radius)
{
    CoverageMask box;
    box.width = std::max(width, 0);
    box.height = std::max(height, 0);
    box.coverage.resize(static_cast<std::size_t>(box.width) * static_cast<std::size_t>(box.height));
    radius = std::min({radius, box.width / 2.0, box.height / 2.0});
    for (int y = 0; y < box.height; ++y) {
        for (int x = 0; x < box.width; ++x) {
            // Distance from the pixel's centre into the nearest corner's circle, where it has one.
            const double cx = std::clamp(x + 0.5, radius, box.width - radius);
            const double cy = std::clamp(y + 0.5, radius, box.height - radius);
            const double distance = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            const double cover = distance == 0 ? 1 : Clamp01(radius + 0.5 - distance);
            box.coverage[static_cast<std::size_t>(y) * box.width + x] = static_cast<std::uint8_t>(cover * 255 + 0.5);
        }
    }
    return box;
}
