#pragma once
// The autopan step: where a region that follows the cursor goes on the next frame.
#include "common/screen_rect.h"

#include <cstdint>

struct PanLimits {
    std::int32_t maxpan = 20; // pixels per axis and frame
    ScreenRect area; // the monitor the recording started on
};

// The pan rectangle after one step: the region re-centres on a cursor outside its inner band,
// stays within the area and moves at most maxpan per axis.
ScreenRect PanStep(const ScreenRect& pan, std::int32_t width, std::int32_t height, std::int32_t cursorX,
                   std::int32_t cursorY, const PanLimits& limits);

// Only a region smaller than the screen on both axes is panned.
bool PansRegion(std::int32_t autopan, std::int32_t width, std::int32_t height, std::int32_t screenWidth,
                std::int32_t screenHeight);
