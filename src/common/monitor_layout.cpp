#include "common/monitor_layout.h"

#include <algorithm>

namespace {
std::optional<ScreenRect> Intersection(const ScreenRect& a, const ScreenRect& b)
{
    const ScreenRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                       std::min(a.bottom, b.bottom)};
    if (r.left > r.right || r.top > r.bottom) {
        return std::nullopt;
    }
    return r;
}

std::int64_t Area(const ScreenRect& r)
{
    return static_cast<std::int64_t>(r.Width()) * r.Height();
}

// Squared distance from the point to the nearest pixel of the rectangle.
std::int64_t DistanceSquared(const ScreenRect& r, std::int32_t x, std::int32_t y)
{
    const std::int64_t dx = x < r.left ? r.left - x : (x > r.right ? x - r.right : 0);
    const std::int64_t dy = y < r.top ? r.top - y : (y > r.bottom ? y - r.bottom : 0);
    return dx * dx + dy * dy;
}
} // namespace

ScreenRect VirtualScreen(const MonitorLayout& monitors)
{
    if (monitors.empty()) {
        return ScreenRect{};
    }
    ScreenRect all = monitors.front();
    for (const ScreenRect& m : monitors) {
        all = ScreenRect{std::min(all.left, m.left), std::min(all.top, m.top), std::max(all.right, m.right),
                         std::max(all.bottom, m.bottom)};
    }
    return all;
}

std::size_t MonitorForPoint(const MonitorLayout& monitors, std::int32_t x, std::int32_t y)
{
    std::size_t best = 0;
    for (std::size_t i = 1; i < monitors.size(); ++i) {
        if (DistanceSquared(monitors[i], x, y) < DistanceSquared(monitors[best], x, y)) {
            best = i;
        }
    }
    return best;
}

std::size_t MonitorForRect(const MonitorLayout& monitors, const ScreenRect& rect)
{
    std::size_t best = 0;
    std::int64_t bestArea = 0;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (const auto common = Intersection(monitors[i], rect); common && Area(*common) > bestArea) {
            best = i;
            bestArea = Area(*common);
        }
    }
    if (bestArea > 0) {
        return best;
    }
    const std::int64_t cx = (static_cast<std::int64_t>(rect.left) + rect.right) / 2;
    const std::int64_t cy = (static_cast<std::int64_t>(rect.top) + rect.bottom) / 2;
    return MonitorForPoint(monitors, static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy));
}

std::optional<ScreenRect> ClipToMonitors(const ScreenRect& rect, const MonitorLayout& monitors)
{
    ScreenRect normal = rect;
    Normalise(normal);
    MonitorLayout touched;
    for (const ScreenRect& m : monitors) {
        if (Intersection(m, normal)) {
            touched.push_back(m);
        }
    }
    if (touched.empty()) {
        return std::nullopt;
    }
    return Intersection(normal, VirtualScreen(touched));
}

ScreenRect BringOntoMonitors(const ScreenRect& rect, const MonitorLayout& monitors)
{
    if (monitors.empty()) {
        return rect;
    }
    if (const auto clipped = ClipToMonitors(rect, monitors)) {
        return *clipped;
    }
    const ScreenRect& primary = monitors.front();
    ScreenRect moved = rect;
    FitInto(moved, primary);
    return moved;
}

bool LiesOnMonitors(const ScreenRect& rect, const MonitorLayout& monitors)
{
    ScreenRect normal = rect;
    Normalise(normal);
    std::int64_t covered = 0;
    // Monitors do not overlap, so the covered parts add up.
    for (const ScreenRect& m : monitors) {
        if (const auto common = Intersection(m, normal)) {
            covered += Area(*common);
        }
    }
    return covered == Area(normal);
}
