#include "recording/click_ring.h"

namespace {
// At 96 dpi: the ring grows from 8 to 30 pixels and is drawn 4 pixels wide.
constexpr double kFirstRadius = 8;
constexpr double kLastRadius = 30;
constexpr double kThickness = 4;
} // namespace

std::optional<RingShape> RingAt(std::int32_t ageMs, int dpi)
{
    if (ageMs < 0 || ageMs >= kClickRingMs) {
        return std::nullopt;
    }
    const double scale = (dpi > 0 ? dpi : 96) / 96.0;
    const double progress = static_cast<double>(ageMs) / kClickRingMs;
    RingShape ring;
    ring.radius = (kFirstRadius + (kLastRadius - kFirstRadius) * progress) * scale;
    ring.thickness = kThickness * scale;
    ring.opacity = progress <= 0.5 ? 255 : static_cast<int>(255 * (1 - progress) * 2);
    return ring;
}

std::uint32_t ClickColour(MouseButton button, std::uint32_t leftColour)
{
    const std::uint32_t r = leftColour & 0xFF;
    const std::uint32_t g = (leftColour >> 8) & 0xFF;
    const std::uint32_t b = (leftColour >> 16) & 0xFF;
    switch (button) {
    case MouseButton::Right:
        return b | (r << 8) | (g << 16);
    case MouseButton::Middle:
        return g | (b << 8) | (r << 16);
    default:
        return r | (g << 8) | (b << 16);
    }
}
