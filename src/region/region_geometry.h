#pragma once
// Arithmetic of the region selection window: placing a fixed-size rectangle under the cursor, the
// band it draws and where its label goes.
#include "common/screen_rect.h"

#include <array>
#include <cstdint>
#include <string>

// A selection needs at least two pixels in each direction.
bool IsEmptySelection(const ScreenRect& rect);

// Edges of a fixed-size rectangle relative to its centre, so that the centre follows the cursor.
struct PlacementOffsets {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
PlacementOffsets OffsetsAroundCentre(const ScreenRect& fixed);

// The fixed rectangle centred on (x, y), pushed back into the area (the monitor under the cursor)
// with the size of fixed.
ScreenRect PlaceAt(std::int32_t x, std::int32_t y, const PlacementOffsets& offsets, const ScreenRect& fixed,
                   const ScreenRect& area);

// The four XOR fills of the band, each with positive extents.
struct Fill {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const Fill&, const Fill&) = default;
};
std::array<Fill, 4> BandFills(const ScreenRect& rect);

std::string LabelText(const ScreenRect& rect);

// Top of the label text: above the rectangle, or below it when there is no room above.
std::int32_t LabelTextTop(const ScreenRect& rect, std::int32_t textHeight);
