#include "recording/autopan_step.h"

#include <cstdlib>

namespace {
// Target start of one axis: unchanged while the cursor is inside the middle half of the span.
std::int64_t AxisTarget(std::int64_t low, std::int64_t high, std::int64_t cursor, std::int64_t size,
                        std::int64_t areaLow, std::int64_t areaHigh)
{
    const std::int64_t bandLow = low + (high - low) / 4;
    const std::int64_t bandHigh = low + 3 * (high - low) / 4;
    if (cursor < bandLow) {
        const std::int64_t target = cursor - size / 2;
        return target < areaLow ? areaLow : target;
    }
    if (cursor > bandHigh) {
        const std::int64_t target = cursor - size / 2;
        return target + size - 1 > areaHigh ? areaHigh - size + 1 : target;
    }
    return low;
}

std::int64_t LimitedMove(std::int64_t from, std::int64_t target, std::int64_t maxpan)
{
    const std::int64_t delta = target - from;
    if (std::llabs(delta) < maxpan) {
        return target;
    }
    if (delta < 0) {
        return from - maxpan;
    }
    return delta > 0 ? from + maxpan : from;
}
} // namespace

ScreenRect PanStep(const ScreenRect& pan, std::int32_t width, std::int32_t height, std::int32_t cursorX,
                   std::int32_t cursorY, const PanLimits& limits)
{
    // A negative limit from the settings file would push the region away from its target.
    const std::int64_t maxpan = limits.maxpan > 0 ? limits.maxpan : 0;
    const std::int64_t left = LimitedMove(pan.left, AxisTarget(pan.left, pan.right, cursorX, width, limits.area.left, limits.area.right), maxpan);
    const std::int64_t top = LimitedMove(pan.top, AxisTarget(pan.top, pan.bottom, cursorY, height, limits.area.top, limits.area.bottom), maxpan);
    ScreenRect next;
    next.left = static_cast<std::int32_t>(left);
    next.top = static_cast<std::int32_t>(top);
    next.right = static_cast<std::int32_t>(left + width - 1);
    next.bottom = static_cast<std::int32_t>(top + height - 1);
    return next;
}

bool PansRegion(std::int32_t autopan, std::int32_t width, std::int32_t height, std::int32_t screenWidth,
                std::int32_t screenHeight)
{
    return autopan != 0 && width < screenWidth && height < screenHeight;
}
