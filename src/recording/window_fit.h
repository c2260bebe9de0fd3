#pragma once
// A followed window's picture in frames of the size fixed when its recording started: shown 1:1
// while it keeps that size, and scaled to fit, its aspect kept and centred between bars, once
// it was resized. Portable arithmetic only.
#include "common/screen_rect.h"

#include <cstdint>

struct FramePlacement {
    ScreenRect source;  // the screen pixels shown
    std::int32_t x = 0; // where they go in the frame
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;

    bool Scaled() const { return width != source.Width() || height != source.Height(); }
    // Where a point of the screen lands in the frame.
    double FrameX(double screenX) const;
    double FrameY(double screenY) const;
    friend bool operator==(const FramePlacement&, const FramePlacement&) = default;
};

// The rectangle at the frame's top-left corner, pixel for pixel.
FramePlacement Unscaled(const ScreenRect& source);

// The window (at least one pixel each way) in a frame of the given size.
FramePlacement FitWindow(const ScreenRect& window, std::int32_t frameWidth, std::int32_t frameHeight);
