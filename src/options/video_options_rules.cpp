#include "options/video_options_rules.h"

#include "resources/resource_ids.h"

namespace {
bool InRange(const std::optional<std::int32_t>& value, std::int32_t low, std::int32_t high)
{
    return value && *value >= low && *value <= high;
}
} // namespace

std::optional<std::uint32_t> CheckVideoNumbers(const VideoNumbers& numbers)
{
    if (!numbers.captureInterval || *numbers.captureInterval < 0) {
        return ID_ERR_TIMELAPSE_MINUS;
    }
    if (*numbers.captureInterval > kLongestCaptureInterval) {
        return ID_ERR_TIMELAPSE_TOO_BIG;
    }
    if (!InRange(numbers.keyFrames, 1, 200)) {
        return ID_ERR_KEYFRAME_RANGE_FORMAT;
    }
    if (!InRange(numbers.playbackRate, 1, 200)) {
        return ID_ERR_PLAYBACKRATE_RANGE_FORMAT;
    }
    return std::nullopt;
}
