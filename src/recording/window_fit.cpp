#include "recording/window_fit.h"

#include <algorithm>

double FramePlacement::FrameX(double screenX) const
{
    return x + (screenX - source.left) * width / source.Width();
}

double FramePlacement::FrameY(double screenY) const
{
    return y + (screenY - source.top) * height / source.Height();
}

FramePlacement Unscaled(const ScreenRect& source)
{
    return {source, 0, 0, source.Width(), source.Height()};
}

FramePlacement FitWindow(const ScreenRect& window, std::int32_t frameWidth, std::int32_t frameHeight)
{
    const std::int64_t w = window.Width();
    const std::int64_t h = window.Height();
    if (w == frameWidth && h == frameHeight) {
        return Unscaled(window);
    }
    std::int64_t width = frameWidth;
    std::int64_t height = frameHeight;
    // Rounded to the nearest pixel along the axis that does not fill the frame.
    if (w * frameHeight < h * frameWidth) {
        width = std::clamp<std::int64_t>((2 * w * frameHeight + h) / (2 * h), 1, frameWidth);
    } else {
        height = std::clamp<std::int64_t>((2 * h * frameWidth + w) / (2 * w), 1, frameHeight);
    }
    const auto placedWidth = static_cast<std::int32_t>(width);
    const auto placedHeight = static_cast<std::int32_t>(height);
    return {window, (frameWidth - placedWidth) / 2, (frameHeight - placedHeight) / 2, placedWidth, placedHeight};
}
