#include "controls/image_button.h"
#include "resources/resource_ids.h"
#include "ui_pump.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
// A top-level window that passes owner drawing on and counts the clicks of its buttons.
class CHost : public CWindow {
public:
    int clicks = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DRAWITEM && CImageButton::ReflectDrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam))) {
            return TRUE;
        }
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            ++clicks;
            return 0;
        }
        return CWindow::HandleMessage(message, wParam, lParam);
    }
};

// One host for all tests: hiding a top-level window makes Wine wait for a window manager that
// the test display does not have.
class ImageButtonTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA cls{};
        cls.lpfnWndProc = &CWindow::WindowProcedure;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "ImageButtonHost";
        cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        ASSERT_TRUE(CWindow::RegisterClassOnce(cls));
        // Left to the process's end, for the same reason.
        hostWindow = new CHost;
        ASSERT_TRUE(hostWindow->Create(WS_EX_TOPMOST, "ImageButtonHost", "host", WS_POPUP | WS_VISIBLE, 100, 100, 300,
                                       200, nullptr, nullptr));
    }

    void SetUp() override
    {
        hostWindow->clicks = 0;
        // The pointer left over the host by the test before would show the hover images.
        SetCursorPos(0, 0);
    }

    void TearDown() override
    {
        while (HWND child = GetWindow(host.hwnd(), GW_CHILD)) {
            DestroyWindow(child);
        }
    }

    HWND AddButton(int id, DWORD type, int x, int y, int w = 40, int h = 40)
    {
        return CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | type, x, y, w, h, host.hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }

    // Moves the real cursor too: the button asks the system which window is under it.
    void Mouse(HWND button, UINT message, int x, int y)
    {
        POINT p{x, y};
        ClientToScreen(button, &p);
        SetCursorPos(p.x, p.y);
        SendMessageA(button, message, message == WM_LBUTTONUP ? 0 : (message == WM_MOUSEMOVE ? 0 : MK_LBUTTON),
                     MAKELPARAM(x, y));
        PumpMessages(30);
    }

    static bool Pushed(HWND button) { return (SendMessageA(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }

    static inline CHost* hostWindow = nullptr;
    CHost& host = *hostWindow;
};
} // namespace

TEST_F(ImageButtonTest, SetBitmapsClampsDrawModeAndFocusMargin)
{
    HWND control = AddButton(10, BS_PUSHBUTTON, 0, 0);
    CImageButton button;
    ASSERT_TRUE(button.AttachTo(host.hwnd(), 10));
    EXPECT_EQ(GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(button.kind(), CImageButton::kPush);

    button.SetBitmaps(IDB_OPTION, IDB_OPTION_PRESSED, IDB_OPTION_HOVER, 0, 0, 0, 5, 0, -1);
    EXPECT_EQ(button.drawMode(), CImageButton::kDrawTile);
    EXPECT_EQ(button.focusMargin(), 0);
    button.SetBitmaps(IDB_OPTION, 0, 0, 0, 0, 0, -3, 0, 4);
    EXPECT_EQ(button.drawMode(), CImageButton::kDrawNormal);
    EXPECT_EQ(button.focusMargin(), 4);
    button.SetBitmaps(IDB_OPTION, 0, 0, 0, 0, 0, 1, 0, 0);
    EXPECT_EQ(button.drawMode(), CImageButton::kDrawStretch);
}

TEST_F(ImageButtonTest, MaskShapesAndSizesTheButton)
{
    HWND control = AddButton(11, BS_PUSHBUTTON, 10, 10, 80, 80);
    CImageButton button;
    ASSERT_TRUE(button.AttachTo(host.hwnd(), 11));
    button.SetBitmaps(IDB_RECORD, IDB_RECORD_PRESSED, IDB_RECORD_HOVER, IDB_RECORD_DISABLED, 0, IDB_RECORD_MASK,
                      CImageButton::kDrawNormal, 0, 0);
    RECT r{};
    GetWindowRect(control, &r);
    EXPECT_EQ(r.right - r.left, 33);
    EXPECT_EQ(r.bottom - r.top, 67);
    GdiRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_EQ(GetWindowRgn(control, region.get()), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(region.get(), 16, 16));   // the round face
    EXPECT_FALSE(PtInRegion(region.get(), 0, 0));    // outside the circle
    EXPECT_FALSE(PtInRegion(region.get(), 16, 50));  // the transparent lower part
}

TEST_F(ImageButtonTest, DisabledButtonWithoutDisabledImageShowsTheNormalOne)
{
    HWND control = AddButton(12, BS_PUSHBUTTON, 20, 20);
    CImageButton button;
    ASSERT_TRUE(button.AttachTo(host.hwnd(), 12));
    button.SetBitmaps(IDB_VIDEO, IDB_VIDEO_PRESSED, IDB_VIDEO_HOVER, 0, 0, 0, CImageButton::kDrawNormal, 0, 0);
    auto sample = [&] {
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        PumpMessages(50);
        HDC dc = GetDC(control);
        std::string colours;
        for (int i = 2; i < 26; i += 3) {
            colours += std::to_string(GetPixel(dc, i, i)) + ",";
        }
        ReleaseDC(control, dc);
        return colours;
    };
    const std::string enabled = sample();
    EnableWindow(control, FALSE);
    EXPECT_EQ(sample(), enabled);
    // The pressed image differs, so the comparison above can tell images apart.
    SendMessageA(control, BM_SETSTATE, TRUE, 0);
    EnableWindow(control, TRUE);
    EXPECT_NE(sample(), enabled);
}

TEST_F(ImageButtonTest, TileRepeatsAndStretchScalesTheImage)
{
    // The minimise image is 17 x 16; the buttons are twice that.
    HWND reference = AddButton(15, BS_PUSHBUTTON, 0, 0, 17, 16);
    HWND tiled = AddButton(16, BS_PUSHBUTTON, 0, 60, 34, 32);
    HWND stretched = AddButton(17, BS_PUSHBUTTON, 60, 60, 34, 32);
    CImageButton buttons[3];
    const HWND windows[3] = {reference, tiled, stretched};
    const int modes[3] = {CImageButton::kDrawNormal, CImageButton::kDrawTile, CImageButton::kDrawStretch};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(buttons[i].AttachTo(host.hwnd(), 15 + i));
        buttons[i].SetBitmaps(IDB_MIN, 0, 0, 0, 0, 0, modes[i], 0, 0);
        RedrawWindow(windows[i], nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    PumpMessages(50);
    auto pixel = [](HWND window, int x, int y) {
        HDC dc = GetDC(window);
        const COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return colour;
    };
    int differing = 0;
    for (int y = 0; y < 16; y += 3) {
        for (int x = 0; x < 17; x += 2) {
            const COLORREF original = pixel(reference, x, y);
            EXPECT_EQ(pixel(tiled, x, y), original);
            EXPECT_EQ(pixel(tiled, x + 17, y + 16), original);
            EXPECT_EQ(pixel(stretched, 2 * x, 2 * y), original);
            differing += original != pixel(reference, 8, 8);
        }
    }
    EXPECT_GT(differing, 0); // the image is not one flat colour
}

TEST_F(ImageButtonTest, PressDragOffAndBackAndReleaseOutsideSendsNoClick)
{
    HWND control = AddButton(13, BS_PUSHBUTTON, 50, 50);
    CImageButton button;
    ASSERT_TRUE(button.AttachTo(host.hwnd(), 13));
    button.SetBitmaps(IDB_HELP, IDB_HELP_PRESSED, IDB_HELP_HOVER, 0, 0, 0, CImageButton::kDrawNormal, 0, 0);

    Mouse(control, WM_LBUTTONDOWN, 10, 10);
    EXPECT_TRUE(Pushed(control));
    Mouse(control, WM_MOUSEMOVE, 150, 10);
    EXPECT_FALSE(Pushed(control));
    Mouse(control, WM_MOUSEMOVE, 12, 12);
    EXPECT_TRUE(Pushed(control));
    Mouse(control, WM_MOUSEMOVE, 150, 10);
    Mouse(control, WM_LBUTTONUP, 150, 10);
    EXPECT_EQ(host.clicks, 0);
    EXPECT_EQ(GetCapture(), nullptr);

    Mouse(control, WM_LBUTTONDOWN, 10, 10);
    Mouse(control, WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(host.clicks, 1);
}

TEST_F(ImageButtonTest, HoverSwitchesTheSkinCursorAndTheTooltipKeepsItsText)
{
    HWND control = AddButton(14, BS_PUSHBUTTON, 50, 50);
    CImageButton button;
    ASSERT_TRUE(button.AttachTo(host.hwnd(), 14));
    button.SetBitmaps(IDB_AUDIO, IDB_AUDIO_PRESSED, IDB_AUDIO_HOVER, 0, 0, 0, CImageButton::kDrawNormal, 0, 0);
    HINSTANCE self = GetModuleHandleA(nullptr);

    Mouse(control, WM_MOUSEMOVE, 5, 5);
    EXPECT_TRUE(button.hovering());
    EXPECT_EQ(g_skincursor, LoadCursorA(self, MAKEINTRESOURCEA(IDC_BUTTONCURSOR)));
    SendMessageA(control, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button.hovering());
    EXPECT_EQ(g_skincursor, LoadCursorA(self, MAKEINTRESOURCEA(IDC_SKINCURSOR)));

    auto tipText = [&] {
        char text[80] = {};
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND;
        tool.hwnd = host.hwnd();
        tool.uId = reinterpret_cast<UINT_PTR>(control);
        tool.lpszText = text;
        SendMessageA(button.tooltip(), TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
        return std::string(text);
    };
    button.SetTooltip("Audio");
    ASSERT_NE(button.tooltip(), nullptr);
    EXPECT_EQ(tipText(), "Audio");
    HWND first = button.tooltip();
    button.SetTooltip("Sound");
    EXPECT_EQ(button.tooltip(), first);
    EXPECT_EQ(tipText(), "Sound");
}

TEST_F(ImageButtonTest, CheckBoxTogglesAndRadioButtonsUncheckTheirGroup)
{
    AddButton(20, BS_AUTOCHECKBOX | WS_GROUP, 0, 0);
    HWND r1 = AddButton(21, BS_AUTORADIOBUTTON | WS_GROUP, 50, 0);
    HWND r2 = AddButton(22, BS_AUTORADIOBUTTON, 100, 0);
    HWND r3 = AddButton(23, BS_AUTORADIOBUTTON, 150, 0);
    AddButton(24, BS_PUSHBUTTON | WS_GROUP, 200, 0);
    std::unique_ptr<CImageButton> buttons[5];
    for (int i = 0; i < 5; ++i) {
        buttons[i] = std::make_unique<CImageButton>();
        ASSERT_TRUE(buttons[i]->AttachTo(host.hwnd(), 20 + i));
    }
    EXPECT_EQ(buttons[0]->kind(), CImageButton::kCheck);
    EXPECT_EQ(buttons[1]->kind(), CImageButton::kRadio);
    EXPECT_EQ(buttons[4]->kind(), CImageButton::kPush);

    HWND check = buttons[0]->hwnd();
    Mouse(check, WM_LBUTTONDOWN, 5, 5);
    Mouse(check, WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    SendMessageA(check, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    SendMessageA(r1, BM_SETCHECK, BST_CHECKED, 0);
    PumpMessages(30);
    SendMessageA(r3, BM_SETCHECK, BST_CHECKED, 0);
    PumpMessages(30);
    EXPECT_EQ(SendMessageA(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(r3, BM_GETCHECK, 0, 0), BST_CHECKED);
    Mouse(r2, WM_LBUTTONDOWN, 5, 5);
    Mouse(r2, WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(SendMessageA(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(r3, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // A push button never stays checked; the checkbox outside the group was left alone.
    SendMessageA(buttons[4]->hwnd(), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(buttons[4]->hwnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}
