#include "recording/pixel_overlay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

namespace {

// A picture of bottom-up rows, as frames and canvases lie in memory.
struct Picture {
    int width;
    int height;
    int bytesPerPixel;
    std::size_t stride;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h, int bpp)
        : width(w), height(h), bytesPerPixel(bpp), stride((static_cast<std::size_t>(w) * bpp + 3) / 4 * 4),
          bytes(stride * static_cast<std::size_t>(h))
    {
    }
    std::uint8_t* at(int x, int y) { return bytes.data() + static_cast<std::size_t>(height - 1 - y) * stride + x * bytesPerPixel; }
};

// A drawing at (x, y), clipped to the picture: what GDI does in the real program.
using Drawing = std::function<void(Picture&, int x, int y)>;

void ForEachByte(Picture& p, int left, int top, int w, int h, const std::function<std::uint8_t(std::uint8_t, int, int, int)>& f)
{
    for (int y = std::max(top, 0); y < std::min(top + h, p.height); ++y) {
        for (int x = std::max(left, 0); x < std::min(left + w, p.width); ++x) {
            for (int b = 0; b < p.bytesPerPixel; ++b) {
                p.at(x, y)[b] = f(p.at(x, y)[b], x - left, y - top, b);
            }
        }
    }
}

// A cursor of 12 x 20 with its hot spot at (3, 2): black outline, white inside, an inverted dot.
void ArrowLike(Picture& p, int x, int y)
{
    ForEachByte(p, x - 3, y - 2, 12, 20, [](std::uint8_t d, int cx, int cy, int) -> std::uint8_t {
        if (cx > cy / 2 + 1) {
            return d; // transparent
        }
        if (cx == 5 && cy == 15) {
            return static_cast<std::uint8_t>(~d);
        }
        return cx == 0 || cx == cy / 2 + 1 || cy == 19 ? 0x00 : 0xFF;
    });
}

// A 128 x 128 cell ANDed on, centred on the point: a tinted square inside white.
void HighlightLike(Picture& p, int x, int y)
{
    ForEachByte(p, x - 64, y - 64, 128, 128, [](std::uint8_t d, int cx, int cy, int b) -> std::uint8_t {
        const bool inside = cx >= 40 && cx < 88 && cy >= 40 && cy < 88;
        return inside && b == 1 ? static_cast<std::uint8_t>(d & 0x3F) : d;
    });
}

// An 8 x 8 square of premultiplied colour over what lies under it, opaque in its middle.
void AlphaSquare(Picture& p, int x, int y)
{
    ForEachByte(p, x, y, 8, 8, [](std::uint8_t d, int cx, int cy, int b) -> std::uint8_t {
        const int alpha = cx > 1 && cx < 6 && cy > 1 && cy < 6 ? 255 : 30 * cx + 3 * cy;
        const int colour = (50 + 60 * b) * alpha / 255;
        return static_cast<std::uint8_t>(colour + (d * (255 - alpha) + 127) / 255);
    });
}

// A curve that keeps black and white: neither form, so it cannot be replayed.
void Darkened(Picture& p, int x, int y)
{
    ForEachByte(p, x, y, 8, 8, [](std::uint8_t d, int, int, int) { return static_cast<std::uint8_t>(d * d / 255); });
}

std::optional<PixelOverlay> Learn(const Drawing& draw, int bpp)
{
    constexpr int kSize = 160;
    const int origin = kSize / 2;
    std::vector<Picture> canvases(2 + kOverlayPatterns, Picture(kSize, kSize, bpp));
    for (std::size_t i = 0; i < canvases[0].bytes.size(); ++i) {
        canvases[1].bytes[i] = 0xFF;
        for (int n = 0; n < kOverlayPatterns; ++n) {
            canvases[2 + n].bytes[i] = OverlayPatternByte(n, i);
        }
    }
    OverlayProbes probes;
    for (Picture& c : canvases) {
        draw(c, origin, origin);
    }
    probes.onZeros = canvases[0].bytes.data();
    probes.onOnes = canvases[1].bytes.data();
    for (int n = 0; n < kOverlayPatterns; ++n) {
        probes.onPatterns[n] = canvases[2 + n].bytes.data();
    }
    return LearnOverlay(OverlayCanvas{kSize, bpp, canvases[0].stride}, probes, origin, origin);
}

TEST(PixelOverlay, ReplaysBitwiseDrawingsExactlyWhereverTheyLand)
{
    const Drawing both = [](Picture& p, int x, int y) {
        HighlightLike(p, x, y);
        ArrowLike(p, x, y);
    };
    struct Case {
        const char* name;
        Drawing draw;
        int bytesPerPixel;
    };
    const Case cases[] = {{"arrow", ArrowLike, 4},         {"highlight", HighlightLike, 4},
                          {"both", both, 4},               {"both, 24 bits", both, 3},
                          {"arrow, 16 bits", ArrowLike, 2}, {"alpha square", AlphaSquare, 4},
                          {"alpha square, 24 bits", AlphaSquare, 3}};
    // Inside, across each edge and corner, and wholly outside a 101 x 77 frame.
    const std::pair<int, int> points[] = {{50, 40}, {0, 0}, {-2, 30}, {100, 76}, {99, 5}, {30, 76}, {-70, 30}, {50, 150}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<PixelOverlay> overlay = Learn(c.draw, c.bytesPerPixel);
        ASSERT_TRUE(overlay);
        for (const auto& [x, y] : points) {
            SCOPED_TRACE(testing::Message() << "at " << x << ", " << y);
            Picture expected(101, 77, c.bytesPerPixel);
            for (std::uint8_t& b : expected.bytes) {
                b = static_cast<std::uint8_t>(random());
            }
            Picture replayed = expected;
            c.draw(expected, x, y);
            ApplyOverlay(*overlay, replayed.bytes.data(), replayed.stride, replayed.width, replayed.height, x, y);
            EXPECT_EQ(replayed.bytes, expected.bytes);
        }
    }
}

TEST(PixelOverlay, KeepsOnlyTheBoxItChangesAndRefusesOtherDrawings)
{
    const std::optional<PixelOverlay> arrow = Learn(ArrowLike, 4);
    ASSERT_TRUE(arrow);
    EXPECT_EQ(arrow->left, -3);
    EXPECT_EQ(arrow->top, -2);
    EXPECT_EQ(arrow->width, 11); // the widest row reaches column 10
    EXPECT_EQ(arrow->height, 20);
    EXPECT_EQ(arrow->form, PixelOverlay::Form::Bitwise);
    EXPECT_EQ(arrow->first.size(), 11u * 20u * 4u);
    const std::optional<PixelOverlay> alpha = Learn(AlphaSquare, 4);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->form, PixelOverlay::Form::Blend);
    EXPECT_EQ(alpha->width, 8);
    EXPECT_EQ(alpha->height, 8);


    const std::optional<PixelOverlay> nothing = Learn([](Picture&, int, int) {}, 4);
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->width, 0);
    Picture frame(10, 10, 4);
    const Picture before = frame;
    ApplyOverlay(*nothing, frame.bytes.data(), frame.stride, frame.width, frame.height, 5, 5);
    EXPECT_EQ(frame.bytes, before.bytes);

    EXPECT_FALSE(Learn(Darkened, 4));
}

} // namespace
