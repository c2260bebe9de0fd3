#pragma once
// The monitors as the system has them now, the primary first.
#include "common/monitor_layout.h"

#include <windows.h>

MonitorLayout ReadMonitorLayout();

// Moves the window over every monitor (short by `shortBy` pixels right and below) and returns the
// virtual screen's rectangle; the window's client pixel (0, 0) is then its top-left corner.
ScreenRect CoverVirtualScreen(HWND window, int shortBy);
