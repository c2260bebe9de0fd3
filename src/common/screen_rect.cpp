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

void FitIntoScreen(ScreenRect& rect, std::int32_t screenWidth, std::int32_t screenHeight)
{
    Normalise(rect);
    const std::int32_t w = rect.Width();
    const std::int32_t h = rect.Height();
    if (w > screenWidth) {
        rect.left = 0;
        rect.right = screenWidth - 1;
    }
    if (h > screenHeight) {
        rect.top = 0;
        rect.bottom = screenHeight - 1;
    }
    if (rect.left < 0) {
        rect.left = 0;
        rect.right = w - 1;
    }
    if (rect.top < 0) {
        rect.top = 0;
        rect.bottom = h - 1;
    }
    if (rect.right > screenWidth - 1) {
        rect.right = screenWidth - 1;
        rect.left = screenWidth - w;
    }
    if (rect.bottom > screenHeight - 1) {
        rect.bottom = screenHeight - 1;
        rect.top = screenHeight - h;
    }
}
