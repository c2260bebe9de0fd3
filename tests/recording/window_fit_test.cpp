#include "recording/window_fit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

TEST(WindowFit, AResizedWindowIsFittedCentredBetweenBars)
{
    struct Row {
        ScreenRect window;
        std::int32_t frameWidth, frameHeight;
        FramePlacement expected;
    };
    const Row rows[] = {
        // Its own size: pixel for pixel, wherever it is, negative coordinates included.
        {{-800, -20, -481, 219}, 320, 240, {{-800, -20, -481, 219}, 0, 0, 320, 240}},
        // Twice as large: halved; wider: bars above and below; taller: bars left and right.
        {{0, 0, 639, 479}, 320, 240, {{0, 0, 639, 479}, 0, 0, 320, 240}},
        {{10, 10, 649, 249}, 320, 240, {{10, 10, 649, 249}, 0, 60, 320, 120}},
        {{0, 0, 99, 299}, 320, 240, {{0, 0, 99, 299}, 120, 0, 80, 240}},
        // Smaller: scaled up to fill the frame's height.
        {{5, 5, 164, 64}, 320, 240, {{5, 5, 164, 64}, 0, 60, 320, 120}},
        // Rounded to the nearest pixel; never thinner than one.
        {{0, 0, 2, 0}, 320, 240, {{0, 0, 2, 0}, 0, 66, 320, 107}},
        {{0, 0, 9999, 0}, 320, 240, {{0, 0, 9999, 0}, 0, 119, 320, 1}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FitWindow(row.window, row.frameWidth, row.frameHeight), row.expected)
            << row.window.Width() << "x" << row.window.Height();
    }
}

// Any size into any frame: inside the frame, touching two opposite edges, centred, the window's
// aspect kept to within a pixel, and the window's corners landing on the picture's.
TEST(WindowFit, SeededSizesStayInsideAndKeepTheirAspect)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::int32_t> size(1, 4000);
    std::uniform_int_distribution<std::int32_t> place(-5000, 5000);
    for (int i = 0; i < 20000; ++i) {
        const std::int32_t left = place(random);
        const std::int32_t top = place(random);
        const ScreenRect window{left, top, left + size(random) - 1, top + size(random) - 1};
        const std::int32_t fw = size(random);
        const std::int32_t fh = size(random);
        const FramePlacement p = FitWindow(window, fw, fh);
        SCOPED_TRACE(testing::Message() << window.Width() << "x" << window.Height() << " into " << fw << "x" << fh);
        ASSERT_EQ(p.source, window);
        ASSERT_GE(p.width, 1);
        ASSERT_GE(p.height, 1);
        ASSERT_TRUE(p.width == fw || p.height == fh);
        ASSERT_EQ(p.x, (fw - p.width) / 2);
        ASSERT_EQ(p.y, (fh - p.height) / 2);
        ASSERT_LE(p.x + p.width, fw);
        ASSERT_LE(p.y + p.height, fh);
        // Aspect: the free axis is the other scaled by the same factor, to within rounding.
        const double scale = p.width == fw ? static_cast<double>(fw) / window.Width()
                                           : static_cast<double>(fh) / window.Height();
        ASSERT_LE(std::abs(p.width - window.Width() * scale), 1.0);
        ASSERT_LE(std::abs(p.height - window.Height() * scale), 1.0);
        ASSERT_DOUBLE_EQ(p.FrameX(window.left), p.x);
        ASSERT_DOUBLE_EQ(p.FrameY(window.bottom + 1), p.y + p.height);
    }
}
