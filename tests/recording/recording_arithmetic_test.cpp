#include "recording/recording_arithmetic.h"

#include <gtest/gtest.h>

#include <limits>

TEST(FrameLayout, RowsArePaddedToFourBytes)
{
    const FrameLayout layout = LayoutFor(321, 240, 24);
    EXPECT_EQ(layout.rowBytes, 964u);
    EXPECT_EQ(layout.imageSize, 231360u);
    EXPECT_EQ(layout.colours, 0u);
    EXPECT_EQ(layout.pixelOffset, 40u);
    EXPECT_EQ(layout.blockSize, 231400u);

    EXPECT_EQ(LayoutFor(321, 240, 32).rowBytes, 1284u);
    EXPECT_EQ(LayoutFor(3, 1, 16).rowBytes, 8u);
}

TEST(FrameLayout, PalettedDepthsCarryAColourTable)
{
    const FrameLayout layout = LayoutFor(320, 240, 8);
    EXPECT_EQ(layout.colours, 256u);
    EXPECT_EQ(layout.pixelOffset, 1064u);
    EXPECT_EQ(LayoutFor(320, 240, 4).colours, 16u);
}

TEST(FrameLayout, ImpossibleSizesGiveAnEmptyLayout)
{
    EXPECT_EQ(LayoutFor(0, 240, 24).blockSize, 0u);
    EXPECT_EQ(LayoutFor(320, -1, 24).blockSize, 0u);
    EXPECT_EQ(LayoutFor(320, 240, 0).blockSize, 0u);
    EXPECT_EQ(LayoutFor(100000, 100000, 32).blockSize, 0u); // beyond 4 GB
}

TEST(HighlightBox, ShapesShareTheCellCentre)
{
    const HighlightBox ellipse = HighlightBoxFor(64, 1);
    EXPECT_EQ(ellipse.left, 32);
    EXPECT_EQ(ellipse.top, 48);
    EXPECT_EQ(ellipse.right, 96);
    EXPECT_EQ(ellipse.bottom, 80);
    EXPECT_TRUE(ellipse.ellipse);

    const HighlightBox circle = HighlightBoxFor(64, 0);
    EXPECT_EQ(circle.top, 32);
    EXPECT_EQ(circle.bottom, 96);

    const HighlightBox rectangle = HighlightBoxFor(65, 3);
    EXPECT_FALSE(rectangle.ellipse);
    EXPECT_EQ(rectangle.left, 31);  // 31.5 truncated
    EXPECT_EQ(rectangle.right, 96); // 96.5 truncated
    EXPECT_EQ(rectangle.top, 47);   // (128 - 32.5) / 2 = 47.75
    EXPECT_EQ(rectangle.bottom, 80);

    EXPECT_TRUE(HighlightBoxFor(64, 2).drawn);
    EXPECT_FALSE(HighlightBoxFor(64, 4).drawn);
    EXPECT_FALSE(HighlightBoxFor(64, -1).drawn);
}

TEST(HighlightBox, OversizedShapesReachPastTheCell)
{
    const HighlightBox box = HighlightBoxFor(200, 0);
    EXPECT_EQ(box.left, -36);
    EXPECT_EQ(box.right, 164);
}

TEST(SizeForMultiple, RoundsUpUnlessThatPassesTheScreen)
{
    EXPECT_EQ(SizeForMultiple(321, 2, 1024), 322);
    EXPECT_EQ(SizeForMultiple(241, 2, 768), 242);
    EXPECT_EQ(SizeForMultiple(321, 2, 321), 320);
    EXPECT_EQ(SizeForMultiple(1365, 4, 1366), 1364);
    EXPECT_EQ(SizeForMultiple(1021, 4, 1024), 1024); // equal to the screen is allowed
    EXPECT_EQ(SizeForMultiple(1024, 8, 1024), 1024);
    EXPECT_EQ(SizeForMultiple(320, 2, 320), 320);
    EXPECT_EQ(SizeForMultiple(3, 8, 1024), 8);
}

TEST(SleepPlan, IntervalSplitsIntoSlicesAndRemainder)
{
    EXPECT_EQ(SleepPlanFor(120).slices, 2);
    EXPECT_EQ(SleepPlanFor(120).remainder, 20u);
    EXPECT_EQ(SleepPlanFor(0).slices, 0);
    EXPECT_EQ(SleepPlanFor(0).remainder, 0u);
    EXPECT_EQ(SleepPlanFor(60000).slices, 1200);
    EXPECT_EQ(SleepPlanFor(49).remainder, 49u);
    EXPECT_EQ(SleepPlanFor(-5).slices, 0);
    EXPECT_EQ(SleepPlanFor(-5).remainder, 0u);
}

TEST(FrameNumber, ClockNumberingUpToOneSecond)
{
    EXPECT_EQ(NextFrameNumber(20, 0, 80), 4u);
    EXPECT_EQ(NextFrameNumber(20, 4, 79), 3u); // the clock decides, not the previous number
    EXPECT_EQ(NextFrameNumber(1000, 0, 2999), 2u);
    EXPECT_EQ(NextFrameNumber(33, 0, 1000), 30u);
    EXPECT_EQ(NextFrameNumber(1, 0, std::numeric_limits<std::uint32_t>::max()),
              std::numeric_limits<std::uint32_t>::max());
}

TEST(FrameNumber, ConsecutiveAboveOneSecondAndForZero)
{
    EXPECT_EQ(NextFrameNumber(1001, 0, 50000), 1u);
    EXPECT_EQ(NextFrameNumber(1001, 7, 0), 8u);
    EXPECT_EQ(NextFrameNumber(0, 3, 100), 4u);
    EXPECT_EQ(NextFrameNumber(-20, 3, 100), 4u);
}

TEST(FrameNumber, OnlyNewSlotsAndSlotZeroAreWritten)
{
    EXPECT_TRUE(IsWrittenSlot(0, 0));
    EXPECT_TRUE(IsWrittenSlot(0, 5));
    EXPECT_TRUE(IsWrittenSlot(6, 5));
    EXPECT_FALSE(IsWrittenSlot(5, 5));
    EXPECT_FALSE(IsWrittenSlot(4, 5));
}
