#include "win/top_windows.h"

#include <dwmapi.h>

namespace {
struct Search {
    POINT point;
    DWORD ownProcess;
    HWND found = nullptr;
};

bool Cloaked(HWND window)
{
    // Windows of other virtual desktops and suspended apps count as visible, but are not shown.
    DWORD cloaked = 0;
    return SUCCEEDED(DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) && cloaked != 0;
}

// Windows come front to back.
BOOL CALLBACK Visit(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search.ownProcess || Cloaked(window)) {
        return TRUE;
    }
    const std::optional<ScreenRect> rect = ShownWindowRect(window);
    if (rect && search.point.x >= rect->left && search.point.x <= rect->right && search.point.y >= rect->top &&
        search.point.y <= rect->bottom) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND TopLevelWindowAt(POINT p)
{
    Search search{p, GetCurrentProcessId()};
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<ScreenRect> ShownWindowRect(HWND window)
{
    if (!IsWindow(window) || !IsWindowVisible(window) || IsIconic(window)) {
        return std::nullopt;
    }
    RECT r{};
    if (FAILED(DwmGetWindowAttribute(window, DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof(r))) || r.right <= r.left ||
        r.bottom <= r.top) {
        if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) {
            return std::nullopt;
        }
    }
    return ScreenRect{r.left, r.top, r.right - 1, r.bottom - 1};
}
