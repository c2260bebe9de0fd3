#include "region/region_geometry.h"

#include <cstdio>

bool IsEmptySelection(const ScreenRect& rect)
{
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

PlacementOffsets OffsetsAroundCentre(const ScreenRect& fixed)
{
    const std::int32_t centreX = (fixed.left + fixed.right) / 2;
    const std::int32_t centreY = (fixed.top + fixed.bottom) / 2;
    return {fixed.left - centreX, fixed.top - centreY, fixed.right - centreX, fixed.bottom - centreY};
}

ScreenRect PlaceAt(std::int32_t x, std::int32_t y, const PlacementOffsets& offsets, const ScreenRect& fixed,
                   const ScreenRect& area)
{
    ScreenRect rect{x + offsets.left, y + offsets.top, x + offsets.right, y + offsets.bottom};
    const std::int32_t w1 = fixed.right - fixed.left;
    const std::int32_t h1 = fixed.bottom - fixed.top;
    if (rect.left < area.left) {
        rect.left = area.left;
        rect.right = area.left + w1;
    }
    if (rect.top < area.top) {
        rect.top = area.top;
        rect.bottom = area.top + h1;
    }
    if (rect.right > area.right) {
        rect.right = area.right;
        rect.left = area.right - w1;
    }
    if (rect.bottom > area.bottom) {
        rect.bottom = area.bottom;
        rect.top = area.bottom - h1;
    }
    return rect;
}

namespace {
Fill Positive(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
{
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    return {x, y, width, height};
}
} // namespace

std::array<Fill, 4> BandFills(const ScreenRect& r)
{
    return {Positive(r.left, r.top, r.right - r.left, 2), Positive(r.left, r.bottom - 2, 2, r.top - r.bottom + 4),
            Positive(r.right - 2, r.top + 2, 2, r.bottom - r.top - 4),
            Positive(r.right, r.bottom - 2, r.left - r.right, 2)};
}

std::string LabelText(const ScreenRect& rect)
{
    char text[128];
    std::snprintf(text, sizeof(text), "Left : %d  Top : %d  Width : %d  Height : %d ", static_cast<int>(rect.left),
                  static_cast<int>(rect.top), static_cast<int>(rect.Width()), static_cast<int>(rect.Height()));
    return text;
}

std::int32_t LabelTextTop(const ScreenRect& rect, std::int32_t textHeight)
{
    return rect.top >= textHeight + 4 ? rect.top - textHeight - 4 : rect.bottom + 4;
}
