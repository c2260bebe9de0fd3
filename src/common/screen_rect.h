#pragma once
// Rectangles of screen pixels with right and bottom inclusive (width = right - left + 1).
#include <cstdint>

struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    std::int32_t Width() const { return right - left + 1; }
    std::int32_t Height() const { return bottom - top + 1; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Swaps left with right and top with bottom where they are out of order.
void Normalise(ScreenRect& rect);

// Shifts the rectangle into the area keeping its size; an axis larger than the area is cut to it.
void FitInto(ScreenRect& rect, const ScreenRect& area);

// FitInto a screen of the given size at the origin.
void FitIntoScreen(ScreenRect& rect, std::int32_t screenWidth, std::int32_t screenHeight);
