#include "audio/merge_rules.h"

int InterleavePeriod(double framesPerSecond, int factor, int unit)
{
    if (unit == 1) {
        return factor > 0 ? factor : 1;
    }
    const double frames = framesPerSecond * factor * 0.001;
    return frames >= 1.0 ? static_cast<int>(frames) : 1;
}

std::uint64_t MergedSizeLimit(std::uint64_t videoBytes, std::uint64_t audioBytes)
{
    constexpr std::uint64_t kHeadroom = 4u << 20;
    return 2 * (videoBytes + audioBytes) + kHeadroom;
}
