#include "recording/recording_arithmetic.h"

#include <cmath>
#include <limits>

FrameLayout LayoutFor(std::int32_t width, std::int32_t height, std::int32_t bits)
{
    FrameLayout layout;
    if (width <= 0 || height <= 0 || bits <= 0 || bits > 32) {
        return layout;
    }
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(bits) * static_cast<std::uint64_t>(width) + 31) / 32 * 4;
    const std::uint64_t imageSize = rowBytes * static_cast<std::uint64_t>(height);
    const std::uint64_t colours = bits <= 8 ? (1u << bits) : 0;
    const std::uint64_t pixelOffset = kBitmapHeaderSize + 4 * colours;
    if (imageSize + pixelOffset > std::numeric_limits<std::uint32_t>::max()) {
        return layout;
    }
    layout.rowBytes = static_cast<std::uint32_t>(rowBytes);
    layout.imageSize = static_cast<std::uint32_t>(imageSize);
    layout.colours = static_cast<std::uint32_t>(colours);
    layout.pixelOffset = static_cast<std::uint32_t>(pixelOffset);
    layout.blockSize = static_cast<std::uint32_t>(imageSize + pixelOffset);
    return layout;
}

HighlightBox HighlightBoxFor(std::int32_t size, std::int32_t shape, std::int32_t cell)
{
    HighlightBox box;
    const double s = size;
    const double half = shape == 1 || shape == 3 ? s * 0.5 : s;
    box.left = static_cast<std::int32_t>((cell - s) * 0.5);
    box.right = static_cast<std::int32_t>((cell + s) * 0.5);
    box.top = static_cast<std::int32_t>((cell - half) * 0.5);
    box.bottom = static_cast<std::int32_t>((cell + half) * 0.5);
    box.ellipse = shape == 0 || shape == 1;
    box.drawn = shape >= 0 && shape <= 3;
    return box;
}

std::int32_t SizeForMultiple(std::int32_t size, std::int32_t n, std::int32_t screen)
{
    const std::int32_t rest = size % n;
    if (rest == 0) {
        return size;
    }
    const std::int64_t up = static_cast<std::int64_t>(size) + n - rest;
    return up > screen ? size - rest : static_cast<std::int32_t>(up);
}

SleepPlan SleepPlanFor(std::int32_t timelapse)
{
    // A negative interval from a hand-edited settings file would become a sleep of 49 days.
    const std::uint32_t interval = timelapse > 0 ? static_cast<std::uint32_t>(timelapse) : 0;
    return {static_cast<std::int32_t>(interval / kSleepSlice), interval % kSleepSlice};
}

std::uint32_t NextFrameNumber(std::int32_t timelapse, std::uint32_t previous, std::uint32_t elapsedMs)
{
    if (timelapse > kConsecutiveAbove || timelapse <= 0) {
        return previous + 1;
    }
    const double number = elapsedMs * 0.001 * (1000.0 / timelapse);
    constexpr double kLast = std::numeric_limits<std::uint32_t>::max();
    return number >= kLast ? std::numeric_limits<std::uint32_t>::max() : static_cast<std::uint32_t>(number);
}
