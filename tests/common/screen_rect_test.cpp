#include "common/screen_rect.h"

#include <gtest/gtest.h>

TEST(ScreenRect, NormaliseSwapsReversedEdges)
{
    ScreenRect rect{500, 400, 100, 100};
    Normalise(rect);
    EXPECT_EQ(rect, (ScreenRect{100, 100, 500, 400}));
    EXPECT_EQ(rect.Width(), 401);
    EXPECT_EQ(rect.Height(), 301);
}

TEST(ScreenRect, FitShiftsOntoTheScreenKeepingTheSize)
{
    ScreenRect leftTop{-10, -5, 309, 234};
    FitIntoScreen(leftTop, 1024, 768);
    EXPECT_EQ(leftTop, (ScreenRect{0, 0, 319, 239}));

    ScreenRect rightBottom{900, 700, 1219, 939};
    FitIntoScreen(rightBottom, 1024, 768);
    EXPECT_EQ(rightBottom, (ScreenRect{704, 528, 1023, 767}));
}

TEST(ScreenRect, FitCutsAnAxisLargerThanTheScreen)
{
    ScreenRect wide{-50, 10, 2000, 109};
    FitIntoScreen(wide, 1024, 768);
    EXPECT_EQ(wide, (ScreenRect{0, 10, 1023, 109}));

    ScreenRect reversed{1100, 800, 1000, 700};
    FitIntoScreen(reversed, 1024, 768);
    EXPECT_EQ(reversed, (ScreenRect{923, 667, 1023, 767}));
}
