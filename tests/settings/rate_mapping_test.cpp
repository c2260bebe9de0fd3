#include "settings/rate_mapping.h"

#include <gtest/gtest.h>

namespace {
void ExpectRate(std::int32_t slider, std::int32_t rate, std::int32_t interval)
{
    const RateMapping mapped = MapRate(slider);
    EXPECT_EQ(mapped.framesPerSecond, rate) << "slider " << slider;
    EXPECT_EQ(mapped.intervalMs, interval) << "slider " << slider;
}
} // namespace

TEST(RateMapping, EachBandAndItsEdges)
{
    ExpectRate(1, 200, 5);
    ExpectRate(17, 40, 25);
    ExpectRate(18, 39, 25);
    ExpectRate(56, 1, 1000);
    ExpectRate(57, 20, 1000);
    ExpectRate(86, 20, 30000);
    ExpectRate(87, 20, 32000);
    ExpectRate(99, 20, 56000);
    ExpectRate(100, 20, 60000);
    ExpectRate(150, 20, 60000);
}

TEST(RateMapping, HandEditedValuesBelowTheSliderStayUsable)
{
    ExpectRate(0, 210, 4);
    ExpectRate(-79, 1000, 1);
    const RateMapping extreme = MapRate(INT32_MIN);
    EXPECT_GT(extreme.framesPerSecond, 0);
    EXPECT_GE(extreme.intervalMs, 1);
}
