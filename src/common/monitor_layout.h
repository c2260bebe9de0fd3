#pragma once
// Where the monitors are on the virtual screen, and the rules that keep a rectangle on them. The
// primary monitor comes first; coordinates may be negative (a monitor left of or above it).
#include "common/screen_rect.h"

#include <cstdint>
#include <optional>
#include <vector>

using MonitorLayout = std::vector<ScreenRect>;

// The rectangle that holds every monitor.
ScreenRect VirtualScreen(const MonitorLayout& monitors);

// The monitor holding the point, else the nearest one (0 for an empty layout).
std::size_t MonitorForPoint(const MonitorLayout& monitors, std::int32_t x, std::int32_t y);

// The monitor sharing most pixels with the rectangle, else the one nearest its centre.
std::size_t MonitorForRect(const MonitorLayout& monitors, const ScreenRect& rect);

// The part of the rectangle inside the span of the monitors it touches; none when it touches none.
std::optional<ScreenRect> ClipToMonitors(const ScreenRect& rect, const MonitorLayout& monitors);

// A stored rectangle as it can be used now: unchanged where it lies on the monitors, clipped where
// it overhangs them, and moved onto the primary monitor (cut to its size) when it touches none.
ScreenRect BringOntoMonitors(const ScreenRect& rect, const MonitorLayout& monitors);

// Whether every pixel of the rectangle lies on some monitor.
bool LiesOnMonitors(const ScreenRect& rect, const MonitorLayout& monitors);
