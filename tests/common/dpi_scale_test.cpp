#include "common/dpi_scale.h"

#include <gtest/gtest.h>

TEST(DpiScale, LayoutAndImageSetFollowTheDpi)
{
    struct Row {
        int dpi;
        PixelBox record; // the Record button, 20, 60, 33 x 67 at 96 dpi
        int faceWidth;   // 390 at 96 dpi
        ImageSet set;
    };
    const Row rows[] = {
        {96, {20, 60, 33, 67}, 390, {96, 0}},
        {72, {15, 45, 25, 50}, 293, {96, 0}},        // halves round away from zero: 24.75 -> 25, 292.5 -> 293
        {120, {25, 75, 41, 84}, 488, {144, 1000}},   // 41.25, 83.75, 487.5
        {144, {30, 90, 50, 101}, 585, {144, 1000}},  // 49.5 -> 50, 100.5 -> 101
        {168, {35, 105, 58, 117}, 683, {192, 2000}}, // 57.75, 117.25, 682.5
        {192, {40, 120, 66, 134}, 780, {192, 2000}},
        {288, {60, 180, 99, 201}, 1170, {192, 2000}}, // beyond the largest set, that set is stretched
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        EXPECT_EQ(ScaleForDpi(PixelBox{20, 60, 33, 67}, row.dpi), row.record);
        EXPECT_EQ(ScaleForDpi(390, row.dpi), row.faceWidth);
        EXPECT_EQ(ImageSetForDpi(row.dpi), row.set);
    }
    EXPECT_EQ(ScaleForDpi(-11, 144), -17); // positions left of a monitor's origin round the same way
}

TEST(DpiScale, APictureShrinksOnlyWhereItWouldNotFit)
{
    struct Row {
        int length, space, dpi, fit;
    };
    const Row rows[] = {
        {326, 331, 96, 96},   // room enough: its own dpi
        {326, 900, 144, 144}, // never enlarged beyond the dpi
        {326, 279, 96, 82},   // 326 * 82 / 96 = 278.46 -> 278; at 83 it would be 282
        {326, 418, 144, 123}, // 417.7 at 123
        {326, 0, 96, 1},      // nothing fits: the smallest dpi, not zero or less
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DpiToFit(row.length, row.space, row.dpi), row.fit) << row.length << " in " << row.space;
    }
}

TEST(DpiScale, ImageFromAnySetMatchesTheScaledLayout)
{
    // Whatever set an image is taken from, stretched for the dpi it must fill the box that the
    // layout scaled from the same 96 dpi length, or a pixel row of the face goes unpainted.
    for (int set : {96, 144, 192}) {
        for (int dpi : {96, 110, 120, 144, 168, 192, 240}) {
            for (int length = 1; length <= 800; ++length) {
                ASSERT_EQ(ImageLengthForDpi(ScaleForDpi(length, set), set, dpi), ScaleForDpi(length, dpi))
                    << "length " << length << " set " << set << " dpi " << dpi;
            }
        }
    }
}
