#include "audio/merge_rules.h"

#include <gtest/gtest.h>

TEST(MergeRules, InterleavePeriodInFramesOrMilliseconds)
{
    struct Case {
        double framesPerSecond;
        int factor;
        int unit;
        int period;
    } const cases[] = {
        {5, 100, 0, 1},    // half a frame is raised to one
        {200, 100, 0, 20}, // exact
        {15, 100, 0, 1},   // 1.5 truncates
        {29.97, 1000, 0, 29},
        {0, 100, 0, 1},
        {200, 7, 1, 7}, // frames: the factor whatever the rate
        {200, 0, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InterleavePeriod(c.framesPerSecond, c.factor, c.unit), c.period)
            << c.framesPerSecond << " fps, factor " << c.factor << ", unit " << c.unit;
    }
}

TEST(MergeRules, SizeLimitHoldsBothInputsWithRoomAndNoOverflow)
{
    EXPECT_GE(MergedSizeLimit(0, 0), 1u << 20);
    EXPECT_GT(MergedSizeLimit(100u << 20, 50u << 20), 150u << 20);
    const std::uint64_t big = std::uint64_t{1} << 40;
    EXPECT_GT(MergedSizeLimit(big, big), 2 * big);
}
