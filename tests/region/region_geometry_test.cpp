#include "region/region_geometry.h"

#include <gtest/gtest.h>

TEST(RegionPlacement, FixedRectangleFollowsTheCursorAndStaysOnScreen)
{
    const ScreenRect fixed{0, 0, 319, 239};
    const PlacementOffsets offsets = OffsetsAroundCentre(fixed);
    EXPECT_EQ(offsets.left, -159);
    EXPECT_EQ(offsets.bottom, 120);
    EXPECT_EQ(PlaceAt(5, 5, offsets, fixed, ScreenRect{0, 0, 1023, 767}), (ScreenRect{0, 0, 319, 239}));
    EXPECT_EQ(PlaceAt(1023, 767, offsets, fixed, ScreenRect{0, 0, 1023, 767}), (ScreenRect{704, 528, 1023, 767}));
    EXPECT_EQ(PlaceAt(500, 400, offsets, fixed, ScreenRect{0, 0, 1023, 767}), (ScreenRect{341, 281, 660, 520}));
    // On a monitor left of the primary the rectangle stays on that monitor.
    const ScreenRect left{-1280, 0, -1, 1023};
    EXPECT_EQ(PlaceAt(-1275, 3, offsets, fixed, left), (ScreenRect{-1280, 0, -961, 239}));
    EXPECT_EQ(PlaceAt(-2, 1020, offsets, fixed, left), (ScreenRect{-320, 784, -1, 1023}));
}

TEST(RegionPlacement, OddSizesAndNegativeCentres)
{
    // Integer division truncates toward zero, also for rectangles left of the origin.
    const ScreenRect fixed{-11, -11, 0, 0};
    const PlacementOffsets offsets = OffsetsAroundCentre(fixed);
    EXPECT_EQ(offsets.left, -6);
    EXPECT_EQ(offsets.right, 5);
    EXPECT_EQ(PlaceAt(100, 100, offsets, fixed, ScreenRect{0, 0, 639, 479}), (ScreenRect{94, 94, 105, 105}));
}

TEST(RegionSelection, EmptyUnlessTwoPixelsEachWay)
{
    EXPECT_TRUE(IsEmptySelection({100, 100, 100, 200}));
    EXPECT_TRUE(IsEmptySelection({100, 100, 200, 100}));
    EXPECT_FALSE(IsEmptySelection({100, 100, 101, 101}));
}

TEST(RegionBand, FourFillsInsideTheRectangleWithPositiveExtents)
{
    const auto fills = BandFills({100, 100, 500, 400});
    EXPECT_EQ(fills[0], (Fill{100, 100, 400, 2}));
    EXPECT_EQ(fills[1], (Fill{100, 102, 2, 296}));
    EXPECT_EQ(fills[2], (Fill{498, 102, 2, 296}));
    EXPECT_EQ(fills[3], (Fill{100, 398, 400, 2}));
}

TEST(RegionLabel, TextAndPlaceAboveOrBelow)
{
    EXPECT_EQ(LabelText({100, 100, 500, 400}), "Left : 100  Top : 100  Width : 401  Height : 301 ");
    EXPECT_EQ(LabelTextTop({100, 100, 500, 400}, 13), 83);
    EXPECT_EQ(LabelTextTop({100, 17, 500, 400}, 13), 0);
    EXPECT_EQ(LabelTextTop({100, 16, 500, 400}, 13), 404);
}
