#include "win/monitors.h"

#include <windows.h>

namespace {
BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoA(monitor, &info)) {
        auto& layout = *reinterpret_cast<MonitorLayout*>(data);
        const RECT& r = info.rcMonitor;
        const ScreenRect rect{r.left, r.top, r.right - 1, r.bottom - 1};
        if (info.dwFlags & MONITORINFOF_PRIMARY) {
            layout.insert(layout.begin(), rect);
        } else {
            layout.push_back(rect);
        }
    }
    return TRUE;
}
} // namespace

MonitorLayout ReadMonitorLayout()
{
    MonitorLayout layout;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&layout));
    if (layout.empty()) {
        layout.push_back(ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1});
    }
    return layout;
}

ScreenRect CoverVirtualScreen(HWND window, int shortBy)
{
    const ScreenRect all = VirtualScreen(ReadMonitorLayout());
    if (window) {
        SetWindowPos(window, nullptr, all.left, all.top, all.Width() - shortBy, all.Height() - shortBy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return all;
}
