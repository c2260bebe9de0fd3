#include "region/flashing_frame.h"

#include "settings/app_settings.h"
#include "win/handles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <thread>

namespace {
GdiRegion Union(std::initializer_list<RECT> rects)
{
    GdiRegion result(CreateRectRgn(0, 0, 0, 0));
    for (const RECT& r : rects) {
        GdiRegion piece(CreateRectRgn(r.left, r.top, r.right, r.bottom));
        CombineRgn(result.get(), result.get(), piece.get(), RGN_OR);
    }
    return result;
}

bool Overlaps(HRGN region, RECT area)
{
    GdiRegion box(CreateRectRgn(area.left, area.top, area.right, area.bottom));
    GdiRegion common(CreateRectRgn(0, 0, 0, 0));
    return CombineRgn(common.get(), region, box.get(), RGN_AND) != NULLREGION;
}

class FlashingFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings().g_screenwidth = GetSystemMetrics(SM_CXSCREEN);
        Settings().g_screenheight = GetSystemMetrics(SM_CYSCREEN);
        ASSERT_TRUE(frame.Create());
        EXPECT_FALSE(IsWindowVisible(frame.hwnd()));
    }

    GdiRegion Shape()
    {
        GdiRegion region(CreateRectRgn(0, 0, 0, 0));
        EXPECT_NE(GetWindowRgn(frame.hwnd(), region.get()), ERROR);
        return region;
    }

    COLORREF Pixel(int x, int y)
    {
        WindowDC dc(frame.hwnd());
        return GetPixel(dc.get(), x, y);
    }

    CFlashingFrame frame;
};
} // namespace

TEST_F(FlashingFrame, BracketsAreFourCornersRoundTheRegion)
{
    frame.SetShape(100, 100, 320, 240, false);
    const GdiRegion shape = Shape();
    RECT box{};
    GetRgnBox(shape.get(), &box);
    EXPECT_EQ(box.left, 94);
    EXPECT_EQ(box.top, 94);
    EXPECT_EQ(box.right, 425);
    EXPECT_EQ(box.bottom, 345);
    // 6 pixels thick at the left and top, 5 at the right and bottom; arms of 24 and 23 pixels.
    const GdiRegion expected = Union({{94, 94, 118, 100},
                                      {94, 94, 100, 118},
                                      {402, 94, 425, 100},
                                      {420, 94, 425, 118},
                                      {94, 340, 118, 345},
                                      {94, 322, 100, 345},
                                      {402, 340, 425, 345},
                                      {420, 322, 425, 345}});
    EXPECT_TRUE(EqualRgn(shape.get(), expected.get()));
}

TEST_F(FlashingFrame, ThinBorderClosesRoundTheRegion)
{
    frame.SetShape(100, 100, 320, 240, true);
    const GdiRegion shape = Shape();
    const GdiRegion expected = Union({{96, 96, 423, 100}, {96, 340, 423, 343}, {96, 100, 100, 340}, {420, 100, 423, 340}});
    EXPECT_TRUE(EqualRgn(shape.get(), expected.get()));
}

TEST_F(FlashingFrame, NeverInsideTheCapturedArea)
{
    struct Case {
        int left, top, width, height;
    };
    const int sw = Settings().g_screenwidth;
    const int sh = Settings().g_screenheight;
    for (const Case& c : {Case{0, 0, 320, 240}, Case{50, 60, 20, 10}, Case{7, 9, 2, 2}, Case{0, 0, sw, sh}}) {
        for (const bool thin : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.width << "x" << c.height << " thin "
                                            << thin);
            frame.SetShape(c.left, c.top, c.width, c.height, thin);
            const GdiRegion shape = Shape();
            EXPECT_FALSE(Overlaps(shape.get(), {c.left, c.top, c.left + c.width, c.top + c.height}));
            // Touches the region on its left, so a small region is still framed.
            EXPECT_TRUE(PtInRegion(shape.get(), c.left - 1, c.top));
        }
    }
    // A full-screen region leaves nothing of the frame on the window.
    RECT window{};
    GetWindowRect(frame.hwnd(), &window);
    EXPECT_FALSE(Overlaps(Shape().get(), window));
}

TEST_F(FlashingFrame, PaintAndInvertColourTheBorderFromTheRecordingThread)
{
    std::atomic<bool> done{false};
    std::thread recording([this, &done] {
        frame.SetShape(100, 100, 320, 240, false);
        frame.Show();
        frame.Paint(RGB(0, 255, 80));
        done = true;
    });
    // The window belongs to this thread: serve its messages while the other thread calls.
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
        }
    }
    recording.join();
    EXPECT_TRUE(IsWindowVisible(frame.hwnd()));
    EXPECT_NE(GetForegroundWindow(), frame.hwnd());
    EXPECT_EQ(Pixel(95, 95), RGB(0, 255, 80));
    EXPECT_EQ(Pixel(424, 344), RGB(0, 255, 80));

    frame.Paint(RGB(255, 255, 180));
    EXPECT_EQ(Pixel(95, 95), RGB(255, 255, 180));
    frame.Invert(RGB(0, 255, 80));
    EXPECT_EQ(Pixel(95, 95), RGB(255, 0, 228));
    frame.Invert(RGB(0, 255, 80));
    EXPECT_EQ(Pixel(95, 95), RGB(255, 255, 180));

    // Degenerate regions are neither painted nor inverted.
    frame.SetShape(100, 100, 1, 240, false);
    frame.Paint(RGB(0, 0, 255));
    frame.Invert(RGB(0, 255, 80));
    frame.SetShape(100, 100, 320, 1, true);
    frame.Paint(RGB(0, 0, 255));
    EXPECT_EQ(Pixel(97, 97), RGB(255, 255, 180));

    frame.Hide();
    EXPECT_FALSE(IsWindowVisible(frame.hwnd()));
}
