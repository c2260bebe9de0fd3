#include "controls/window_region.h"
#include "resources/resource_ids.h"
#include "win/dib_header.h"
#include "win/handles.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A 24-bit bitmap from rows of '#' (black) and '.' (white), top row first.
GdiBitmap MakeMask(const std::vector<std::string>& rows)
{
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows[0].size());
    const BITMAPINFO info = TopDownDibHeader(w, h, 24);
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    auto* bytes = static_cast<unsigned char*>(bits);
    const int stride = (w * 3 + 3) & ~3;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const unsigned char v = rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '.' ? 255 : 0;
            for (int c = 0; c < 3; ++c) {
                bytes[y * stride + x * 3 + c] = v;
            }
        }
    }
    GdiFlush();
    return bitmap;
}

using Pixels = std::set<std::pair<int, int>>;

Pixels PixelsOf(HRGN region, int width, int height)
{
    Pixels out;
    for (int y = -2; y < height + 2; ++y) {
        for (int x = -2; x < width + 2; ++x) {
            if (PtInRegion(region, x, y)) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

Pixels Rect(int left, int top, int right, int bottom)
{
    Pixels out;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            out.insert({x, y});
        }
    }
    return out;
}

HDC ScreenDC()
{
    static WindowDC screen(nullptr);
    return screen.get();
}
} // namespace

TEST(RegionFromMask, CoversExactlyTheOpaquePixels)
{
    EXPECT_EQ(RegionFromMask(nullptr, kWhite), nullptr);

    GdiBitmap solid = MakeMask({"####", "####", "####"});
    GdiRegion full(RegionFromMask(solid.get(), kWhite));
    EXPECT_EQ(PixelsOf(full.get(), 4, 3), Rect(0, 0, 4, 3));

    GdiBitmap blank = MakeMask({"...", "..."});
    GdiRegion empty(RegionFromMask(blank.get(), kWhite));
    ASSERT_TRUE(empty);
    RECT box{};
    EXPECT_EQ(GetRgnBox(empty.get(), &box), NULLREGION);
}

TEST(RegionFromMask, RunsEndAtTheRowEdgeAndAtWhitePixels)
{
    // A lone opaque last column, a run stopped by a white last pixel, two runs in one row.
    GdiBitmap mask = MakeMask({"...#", "###.", "....", "#.##"});
    GdiRegion region(RegionFromMask(mask.get(), kWhite));
    Pixels expected = {{3, 0}, {0, 1}, {1, 1}, {2, 1}, {0, 3}, {2, 3}, {3, 3}};
    EXPECT_EQ(PixelsOf(region.get(), 4, 4), expected);
}

TEST(WindowRegionFromMask, CutsWhitePixelsAndKeepsWhatLiesBeyondTheBitmap)
{
    GdiBitmap solid = MakeMask({"###", "###"});
    GdiRegion full(WindowRegionFromMask(solid.get(), ScreenDC(), 3, 2, kWhite));
    EXPECT_EQ(PixelsOf(full.get(), 3, 2), Rect(0, 0, 3, 2));

    // All white, smaller than the window: only the window's pixels right of and below it remain.
    GdiBitmap blank = MakeMask({"..", ".."});
    GdiRegion rest(WindowRegionFromMask(blank.get(), ScreenDC(), 4, 3, kWhite));
    Pixels expected = Rect(0, 0, 4, 3);
    for (const auto& p : Rect(0, 0, 2, 2)) {
        expected.erase(p);
    }
    EXPECT_EQ(PixelsOf(rest.get(), 4, 3), expected);

    GdiBitmap mask = MakeMask({"#.#", "..#"});
    GdiRegion shaped(WindowRegionFromMask(mask.get(), ScreenDC(), 3, 2, kWhite));
    EXPECT_EQ(PixelsOf(shaped.get(), 3, 2), (Pixels{{0, 0}, {2, 0}, {2, 1}}));

    EXPECT_EQ(WindowRegionFromMask(nullptr, ScreenDC(), 3, 2, kWhite), nullptr);
}

TEST(SetRegionFromBitmap, ShapesAWindowByTheSkinMask)
{
    OwnedWindow window(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 390, 146, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(window);
    ASSERT_TRUE(SetRegionFromBitmap(window.get(), ScreenDC(), IDB_SKINMASK, kWhite));
    GdiRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window.get(), region.get()), ERROR);
    // Rounded corners are cut; the face and its edges are kept.
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0));
    EXPECT_FALSE(PtInRegion(region.get(), 389, 145));
    EXPECT_TRUE(PtInRegion(region.get(), 195, 73));
    EXPECT_TRUE(PtInRegion(region.get(), 2, 73));
    EXPECT_TRUE(PtInRegion(region.get(), 195, 2));
    EXPECT_FALSE(SetRegionFromBitmap(window.get(), ScreenDC(), 9999, kWhite));
}
