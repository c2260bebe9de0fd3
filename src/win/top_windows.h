#pragma once
// Other programs' top-level windows as the user sees them: the one under a point, and where one
// stands now.
#include "common/screen_rect.h"

#include <windows.h>

#include <optional>

// The front-most visible, not minimised top-level window of another process that covers the point;
// null when there is none.
HWND TopLevelWindowAt(POINT p);

// The window's rectangle on the screen, without the invisible resizing border that newer systems
// add around it; empty when the window is gone, minimised or hidden.
std::optional<ScreenRect> ShownWindowRect(HWND window);
