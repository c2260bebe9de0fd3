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

void FitInto(ScreenRect& rect, const ScreenRect& area)
{
    Normalise(rect);
    const std::int32_t w = rect.Width();
    const std::int32_t h = rect.Height();
    if (w > area.Width()) {
        rect.left = area.left;
        rect.right = area.right;
    } else if (rect.left < area.left) {
        rect.left = area.left;
        rect.right = area.left + w - 1;
    } else if (rect.right > area.right) {
        rect.right = area.right;
        rect.left = area.right - w + 1;
    }
    if (h > area.Height()) {
        rect.top = area.top;
        rect.bottom = area.bottom;
    } else if (rect.top < area.top) {
        rect.top = area.top;
        rect.bottom = area.top + h - 1;
    } else if (rect.bottom > area.bottom) {
        rect.bottom = area.bottom;
        rect.top = area.bottom - h + 1;
    }
}

void FitIntoScreen(ScreenRect& rect, std::int32_t screenWidth, std::int32_t screenHeight)
{
    FitInto(rect, ScreenRect{0, 0, screenWidth - 1, screenHeight - 1});
}
