#include "region/region_window.h"

#include "messages/private_messages.h"
#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
// Stands in for the main window and for a dialog waiting for a selection: records what is posted.
std::vector<UINT> g_received;

LRESULT CALLBACK RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER_RECORDSTART_MSG || message == kSelectionDoneMessage || message == kSelectionAbandonedMessage) {
        EXPECT_EQ(wParam, 0u);
        EXPECT_EQ(lParam, 0);
        g_received.push_back(message);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecordingWindow()
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = &RecordingProcedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "RegionTestReceiver";
    RegisterClassA(&cls);
    return CreateWindowA("RegionTestReceiver", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, cls.hInstance, nullptr);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&msg);
    }
}

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

bool IsWhite(COLORREF c)
{
    return c == RGB(255, 255, 255);
}

class RegionWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPrivateMessages(); }

    void SetUp() override
    {
        ASSERT_TRUE(window.Create());
        EXPECT_EQ(g_regionwindow, window.hwnd());
        EXPECT_FALSE(IsWindowVisible(window.hwnd()));
        AppSettings& s = Settings();
        s.g_screenwidth = 1024;
        s.g_screenheight = 768;
        s.keyRecordCancel = VK_F9;
        s.keyRecordStart = VK_F7;
        s.g_isrecording = 0;
        s.g_capturerect = {};
        receiver = CreateRecordingWindow();
        s.g_mainwindow = receiver;
        g_received.clear();
    }

    void TearDown() override
    {
        DestroyWindow(receiver);
        Settings().g_mainwindow = nullptr;
    }

    // Shows the window on a black screen, as the Record command does.
    void Show(std::int32_t mode)
    {
        Settings().MouseCaptureMode = mode;
        window.ShowForSelection();
        ASSERT_TRUE(IsWindowVisible(window.hwnd()));
        WindowDC dc(window.hwnd());
        PatBlt(dc.get(), 0, 0, 1024, 768, BLACKNESS);
    }

    void Send(UINT message, LPARAM point, WPARAM wParam = 0) { SendMessageA(window.hwnd(), message, wParam, point); }

    void Drag(int fromX, int fromY, int toX, int toY)
    {
        Send(WM_LBUTTONDOWN, At(fromX, fromY), MK_LBUTTON);
        Send(WM_MOUSEMOVE, At(toX, toY), MK_LBUTTON);
        Send(WM_LBUTTONUP, At(toX, toY));
        Pump();
    }

    COLORREF Pixel(int x, int y)
    {
        WindowDC dc(window.hwnd());
        return GetPixel(dc.get(), x, y);
    }

    // Rows of the given column that show the label's white fill.
    int WhiteRowsIn(int x, int fromY, int toY)
    {
        int count = 0;
        for (int y = fromY; y < toY; ++y) {
            count += IsWhite(Pixel(x, y)) ? 1 : 0;
        }
        return count;
    }

    CRegionWindow window;
    HWND receiver = nullptr;
};
} // namespace

TEST_F(RegionWindow, DragInAnyDirectionGivesTheNormalisedRectangleAndStarts)
{
    Show(kCaptureNormal);
    Drag(500, 400, 100, 100);
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{100, 100, 500, 400}));
    EXPECT_EQ(g_received, std::vector<UINT>{WM_USER_RECORDSTART_MSG});

    g_received.clear();
    Show(kCaptureNormal);
    Drag(100, 100, 101, 101);
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{100, 100, 101, 101}));
    EXPECT_EQ(g_received, std::vector<UINT>{WM_USER_RECORDSTART_MSG});
}

TEST_F(RegionWindow, EmptyDragOrStrayReleaseStartsNothingAndRearms)
{
    Settings().g_capturerect = {1, 2, 3, 4};
    Show(kCaptureNormal);
    Drag(100, 100, 100, 200);
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(g_received, std::vector<UINT>{kSelectionAbandonedMessage});
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{1, 2, 3, 4}));

    // A good selection, then a release that had no press in the window: not a second selection.
    Show(kCaptureNormal);
    Drag(100, 100, 300, 300);
    g_received.clear();
    Show(kCaptureNormal);
    Send(WM_LBUTTONUP, At(300, 300));
    Pump();
    EXPECT_EQ(g_received, std::vector<UINT>{kSelectionAbandonedMessage});
}

TEST_F(RegionWindow, SelectionForADialogGoesToTheDialog)
{
    const HWND dialog = CreateRecordingWindow();
    window.SetDialogRequest(true, dialog);
    Show(kCaptureNormal);
    Drag(10, 20, 330, 260);
    EXPECT_EQ(g_received, std::vector<UINT>{kSelectionDoneMessage});
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{10, 20, 330, 260}));

    g_received.clear();
    window.SetDialogRequest(false, nullptr);
    Show(kCaptureNormal);
    Drag(10, 20, 330, 260);
    EXPECT_EQ(g_received, std::vector<UINT>{WM_USER_RECORDSTART_MSG});
    DestroyWindow(dialog);
}

TEST_F(RegionWindow, RightButtonAbandonsWithoutStarting)
{
    Show(kCaptureNormal);
    Send(WM_LBUTTONDOWN, At(50, 50), MK_LBUTTON);
    Send(WM_MOUSEMOVE, At(200, 200), MK_LBUTTON);
    Send(WM_RBUTTONDOWN, At(200, 200));
    Pump();
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(g_received, std::vector<UINT>{kSelectionAbandonedMessage});
}

TEST_F(RegionWindow, CancelKeyWhileDraggingAbandons)
{
    Show(kCaptureNormal);

    Send(WM_LBUTTONDOWN, At(50, 50), MK_LBUTTON);
    Send(WM_MOUSEMOVE, At(200, 200), MK_LBUTTON);
    Send(WM_KEYDOWN, 0x00430001, VK_F8); // not the cancel key
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    Send(WM_KEYDOWN, 0x00430001, VK_F9);
    Pump();
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(g_received, std::vector<UINT>{kSelectionAbandonedMessage});

    // F10 or Alt as the Cancel key comes as a system key; Alt+F4 or the taskbar's Close closes the
    // window: each abandons the selection, and the window stays for the next Record.
    g_received.clear();
    Settings().keyRecordCancel = VK_F10;
    Show(kCaptureNormal);
    Send(WM_SYSKEYDOWN, 0x00440001, VK_F10);
    Show(kCaptureNormal);
    Send(WM_CLOSE, 0, 0);
    Pump();
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    EXPECT_EQ(g_received, (std::vector<UINT>{kSelectionAbandonedMessage, kSelectionAbandonedMessage}));
    Settings().keyRecordCancel = VK_F9;
}

TEST_F(RegionWindow, FixedSizePlacementIsClampedToTheScreen)
{
    Settings().g_fixedrect = {0, 0, 319, 239};
    Show(kCaptureFixed);
    window.BeginPlacement();
    Send(WM_MOUSEMOVE, At(5, 5));
    Send(WM_LBUTTONUP, At(5, 5));
    Pump();
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{0, 0, 319, 239}));
    EXPECT_EQ(g_received, std::vector<UINT>{WM_USER_RECORDSTART_MSG});

    Show(kCaptureFixed);
    window.BeginPlacement();
    Send(WM_MOUSEMOVE, At(1023, 767));
    Send(WM_LBUTTONUP, At(1023, 767));
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{704, 528, 1023, 767}));
}

TEST_F(RegionWindow, PlacementIsFittedAndLeftButtonDownDoesNotDrag)
{
    Settings().g_fixedrect = {-50, -50, 1999, 99}; // wider than the screen
    Show(kCaptureFixed);
    window.BeginPlacement();
    EXPECT_EQ(Settings().g_fixedrect, (ScreenRect{0, 0, 1023, 149}));
    Send(WM_LBUTTONDOWN, At(400, 400), MK_LBUTTON);
    Send(WM_MOUSEMOVE, At(400, 400), MK_LBUTTON);
    Send(WM_LBUTTONUP, At(400, 400));
    EXPECT_EQ(Settings().g_capturerect, (ScreenRect{0, 326, 1023, 475}));
}

TEST_F(RegionWindow, UnchangedPlacementRedrawsNothingAndErasingRestoresTheScreen)
{
    Settings().g_fixedrect = {0, 0, 319, 239};
    Show(kCaptureFixed);
    window.BeginPlacement();
    // Band drawn, label below the rectangle (no room above): its box starts at (6, 239).
    EXPECT_NE(Pixel(0, 0), RGB(0, 0, 0));
    EXPECT_GT(WhiteRowsIn(10, 240, 280), 0);

    // The label box corner is outside its rounded outline: only a redraw would touch it.
    {
        WindowDC dc(window.hwnd());
        SetPixel(dc.get(), 6, 239, RGB(255, 0, 0));
    }
    Send(WM_MOUSEMOVE, At(5, 5));
    EXPECT_EQ(Pixel(6, 239), RGB(255, 0, 0));
    Send(WM_MOUSEMOVE, At(100, 60)); // still the same clamped rectangle
    EXPECT_EQ(Pixel(6, 239), RGB(255, 0, 0));
    Send(WM_MOUSEMOVE, At(400, 300));
    EXPECT_EQ(Pixel(6, 239), RGB(0, 0, 0)); // the old label's background came back

    // Abandoning erases band and label: the screen is black again.
    Send(WM_RBUTTONDOWN, At(400, 300));
    EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    ShowWindow(window.hwnd(), SW_SHOWNA);
    for (int y = 150; y < 460; y += 3) {
        for (int x = 230; x < 600; x += 7) {
            ASSERT_EQ(Pixel(x, y), RGB(0, 0, 0)) << x << "," << y;
        }
    }
    ShowWindow(window.hwnd(), SW_HIDE);
    EXPECT_TRUE(g_received.empty());
}

TEST_F(RegionWindow, LabelGoesAboveOrBelowTheDraggedRectangle)
{
    Show(kCaptureNormal);
    Send(WM_LBUTTONDOWN, At(200, 300), MK_LBUTTON);
    Send(WM_MOUSEMOVE, At(400, 400), MK_LBUTTON);
    EXPECT_GT(WhiteRowsIn(208, 260, 297), 0);
    EXPECT_EQ(WhiteRowsIn(208, 401, 440), 0);

    Send(WM_MOUSEMOVE, At(400, 5), MK_LBUTTON); // now (200, 5, 400, 300): no room above
    EXPECT_EQ(WhiteRowsIn(208, 0, 5), 0);
    EXPECT_GT(WhiteRowsIn(208, 301, 340), 0);
    EXPECT_EQ(WhiteRowsIn(208, 260, 297), 0); // the first label was erased
    Send(WM_RBUTTONDOWN, At(400, 5));
}

TEST_F(RegionWindow, ScreenStaysVisibleUnderTheWindow)
{
    GdiBrush green(CreateSolidBrush(RGB(10, 200, 30)));
    WNDCLASSA cls{};
    cls.lpfnWndProc = &DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = green.get();
    cls.lpszClassName = "RegionTestBackdrop";
    RegisterClassA(&cls);
    const HWND backdrop = CreateWindowA("RegionTestBackdrop", "", WS_POPUP | WS_VISIBLE, 600, 500, 100, 100, nullptr,
                                        nullptr, cls.hInstance, nullptr);
    UpdateWindow(backdrop);
    Pump();

    Settings().MouseCaptureMode = kCaptureNormal;
    window.ShowForSelection();
    EXPECT_EQ(Pixel(650, 550), RGB(10, 200, 30));
    Send(WM_RBUTTONDOWN, At(0, 0));
    DestroyWindow(backdrop);
}
