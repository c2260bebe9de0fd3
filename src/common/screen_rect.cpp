#include "common/screen_rect.h"

#include <utility>

void Normalise(ScreenRect& rect)
{
    if (rect.right < rect.left) {
        std::swap(rect.left, rect.right);
    }
    if (rect.bottom < rect.top) {
        std::swap(rect.top, rect.bottom);
    }
}

namespace {
// One axis of FitInto: [low, high] shifted into [areaLow, areaHigh], or cut to it when longer.
void FitAxis(std::int32_t& low, std::int32_t& high, std::int32_t areaLow, std::int32_t areaHigh)
{
    const std::int32_t size = high - low;
    if (size > areaHigh - areaLow) {
        low = areaLow;
        high = areaHigh;
    } else if (low < areaLow) {
        low = areaLow;
        high = areaLow + size;
    } else if (high > areaHigh) {
        high = areaHigh;
        low = areaHigh - size;
    }
}
} // namespace

void FitInto(ScreenRect& rect, const ScreenRect& area)
{
    Normalise(rect);
    FitAxis(rect.left, rect.right, area.left, area.right);
    FitAxis(rect.top, rect.bottom, area.top, area.bottom);
}

void FitIntoScreen(ScreenRect& rect, std::int32_t screenWidth, std::int32_t screenHeight)
{
    FitInto(rect, ScreenRect{0, 0, screenWidth - 1, screenHeight - 1});
}
