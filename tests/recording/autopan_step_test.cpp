#include "recording/autopan_step.h"

#include <gtest/gtest.h>

namespace {
const PanLimits kScreen{20, ScreenRect{0, 0, 1023, 767}};

ScreenRect Region(int left, int top, int width, int height)
{
    return ScreenRect{left, top, left + width - 1, top + height - 1};
}
} // namespace

TEST(AutopanStep, WorkedExampleApproachesTheLeftEdge)
{
    // The target is 0, but at left 20 the cursor (110) is inside the band from 99 to 259 again.
    ScreenRect pan = Region(100, 100, 320, 240);
    const int expected[] = {80, 60, 40, 20, 20};
    for (const int left : expected) {
        pan = PanStep(pan, 320, 240, 110, 200, kScreen);
        EXPECT_EQ(pan.left, left);
        EXPECT_EQ(pan.top, 100);
        EXPECT_EQ(pan.Width(), 320);
        EXPECT_EQ(pan.Height(), 240);
    }
}

TEST(AutopanStep, CursorNearTheScreenEdgeReachesIt)
{
    ScreenRect pan = Region(100, 100, 320, 240);
    for (int step = 0; step < 5; ++step) {
        pan = PanStep(pan, 320, 240, 10, 200, kScreen);
    }
    EXPECT_EQ(pan.left, 0);
}

TEST(AutopanStep, InnerBandHoldsStill)
{
    const ScreenRect start = Region(100, 100, 320, 240);
    ScreenRect pan = start;
    for (int step = 0; step < 10; ++step) {
        pan = PanStep(pan, 320, 240, 179, 279, kScreen); // both band edges
        pan = PanStep(pan, 320, 240, 339, 159, kScreen);
    }
    EXPECT_EQ(pan, start);
    // Just outside the band moves.
    EXPECT_NE(PanStep(start, 320, 240, 178, 200, kScreen), start);
    EXPECT_NE(PanStep(start, 320, 240, 340, 200, kScreen), start);
}

TEST(AutopanStep, ZeroOrNegativeLimitNeverMoves)
{
    const ScreenRect start = Region(100, 100, 320, 240);
    EXPECT_EQ(PanStep(start, 320, 240, 0, 0, PanLimits{0, ScreenRect{0, 0, 1023, 767}}), start);
    EXPECT_EQ(PanStep(start, 320, 240, 1000, 700, PanLimits{-20, ScreenRect{0, 0, 1023, 767}}), start);
}

TEST(AutopanStep, FarTargetsMoveDiagonallyByTheLimit)
{
    const ScreenRect pan = PanStep(Region(100, 100, 320, 240), 320, 240, 900, 700, kScreen);
    EXPECT_EQ(pan.left, 120);
    EXPECT_EQ(pan.top, 120);
}

TEST(AutopanStep, NearTargetsAreReachedWithoutOvershoot)
{
    // Cursor at 350: target left 190, 90 away; with a limit of 100 it is reached at once.
    const ScreenRect pan = PanStep(Region(100, 100, 320, 240), 320, 240, 350, 200, PanLimits{100, ScreenRect{0, 0, 1023, 767}});
    EXPECT_EQ(pan.left, 190);
    const ScreenRect exact = PanStep(Region(100, 100, 320, 240), 320, 240, 350, 200, PanLimits{90, ScreenRect{0, 0, 1023, 767}});
    EXPECT_EQ(exact.left, 190);
}

TEST(AutopanStep, RegionStaysOnTheScreen)
{
    ScreenRect pan = Region(600, 400, 320, 240);
    for (int step = 0; step < 50; ++step) {
        pan = PanStep(pan, 320, 240, 1023, 767, kScreen);
        EXPECT_LE(pan.right, 1023);
        EXPECT_LE(pan.bottom, 767);
    }
    EXPECT_EQ(pan.left, 1024 - 320);
    EXPECT_EQ(pan.top, 768 - 240);
}

TEST(AutopanStep, OnlyRegionsSmallerThanTheScreenPan)
{
    EXPECT_TRUE(PansRegion(1, 320, 240, 1024, 768));
    EXPECT_FALSE(PansRegion(0, 320, 240, 1024, 768));
    EXPECT_FALSE(PansRegion(1, 1024, 240, 1024, 768));
    EXPECT_FALSE(PansRegion(1, 320, 768, 1024, 768));
}

TEST(AutopanStep, StaysWithinAMonitorLeftOfThePrimary)
{
    const PanLimits left{1000, ScreenRect{-1280, 0, -1, 1023}};
    struct Row {
        int cursorX, cursorY;
        ScreenRect pan;
    };
    const Row rows[] = {
        {-1270, 5, Region(-1280, 0, 320, 240)},
        {-2, 1020, Region(-320, 784, 320, 240)},
        {500, 500, Region(-320, 400, 320, 240)}, // the cursor on the primary: the region stays on its own monitor
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PanStep(Region(-800, 400, 320, 240), 320, 240, row.cursorX, row.cursorY, left), row.pan)
            << row.cursorX;
    }
}
