#include "controls/link_label.h"
#include "resources/resource_ids.h"
#include "screen_pixels.h"
#include "ui_pump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
constexpr int kLabelId = 1083;
constexpr uint32_t kBlue = 0x0000FF;

// Keeps what a click would hand to the shell.
class CTestLabel : public CLinkLabel {
public:
    std::vector<std::string> opened;

protected:
    void Open(const std::string& target) override { opened.push_back(target); }
};

// The label's parent: keeps the notifications it receives.
class CParent : public CWindow {
public:
    std::vector<NMHDR> notifications;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NOTIFY) {
            notifications.push_back(*reinterpret_cast<const NMHDR*>(lParam));
            return 0;
        }
        return CWindow::HandleMessage(message, wParam, lParam);
    }
};

// One parent for all tests: hiding a top-level window makes Wine wait for a window manager that the
// test display does not have.
class LinkLabelTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA cls{};
        cls.lpfnWndProc = &CWindow::WindowProcedure;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "LinkLabelParent";
        cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        ASSERT_TRUE(CWindow::RegisterClassOnce(cls));
        parent = new CParent; // left to the process's end, for the same reason
        ASSERT_TRUE(parent->Create(WS_EX_TOPMOST, "LinkLabelParent", "parent", WS_POPUP | WS_VISIBLE, 120, 120, 320,
                                   120, nullptr, nullptr));
    }

    void SetUp() override { parent->notifications.clear(); }

    void TearDown() override
    {
        label.Detach();
        while (HWND child = GetWindow(parent->hwnd(), GW_CHILD)) {
            DestroyWindow(child);
        }
    }

    void AddLabel(const char* text, DWORD style = SS_LEFT)
    {
        HWND control = CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 10, 10, 280, 80,
                                       parent->hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)),
                                       GetModuleHandleA(nullptr), nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        ASSERT_TRUE(label.AttachTo(parent->hwnd(), kLabelId));
    }

    void ClickLabel()
    {
        SendMessageA(label.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(label.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    }

    static inline CParent* parent = nullptr;
    CTestLabel label;
};

TEST_F(LinkLabelTest, ClickOpensTheTargetOrTheTextOrTellsTheParent)
{
    struct Case {
        const char* name;
        bool link, notify;
        const char* target;
        std::vector<std::string> opened;
        bool parentTold;
    };
    const Case cases[] = {
        {"link with a target", true, false, "https://target.example/", {"https://target.example/"}, false},
        {"link without a target opens its text", true, false, "", {"https://text.example/"}, false},
        {"notify opens nothing, even as a link", true, true, "https://target.example/", {}, true},
        {"plain label", false, false, "https://target.example/", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AddLabel("https://text.example/");
        label.SetLinkTarget(c.target);
        label.SetLink(c.link, c.notify);
        parent->notifications.clear();
        ClickLabel();
        EXPECT_EQ(label.opened, c.opened);
        ASSERT_EQ(parent->notifications.size(), c.parentTold ? 1u : 0u);
        if (c.parentTold) {
            EXPECT_EQ(parent->notifications[0].hwndFrom, label.hwnd());
            EXPECT_EQ(parent->notifications[0].idFrom, static_cast<UINT_PTR>(kLabelId));
            EXPECT_EQ(parent->notifications[0].code, kLinkLabelClicked);
        }
        // Only a link takes the mouse.
        EXPECT_EQ((GetWindowLongPtrA(label.hwnd(), GWL_STYLE) & SS_NOTIFY) != 0, c.link);
        TearDown();
        label.opened.clear();
    }
}

TEST_F(LinkLabelTest, TextLayoutFollowsTheAlignmentStyle)
{
    struct Case {
        LONG style;
        const char* text;
        UINT format;
    };
    const Case cases[] = {
        {SS_LEFT, "plain", DT_LEFT | DT_WORDBREAK},
        {SS_CENTER, "plain", DT_CENTER | DT_WORDBREAK},
        {SS_RIGHT, "plain", DT_RIGHT | DT_WORDBREAK},
        {SS_LEFTNOWORDWRAP, "plain", DT_LEFT},
        {SS_LEFT, "a\tb", DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS},
        {SS_LEFT | SS_CENTERIMAGE, "one line", DT_CENTER | DT_VCENTER | DT_SINGLELINE},
        {SS_RIGHT | SS_CENTERIMAGE, "two\r\nlines", DT_CENTER | DT_WORDBREAK},
        {SS_LEFTNOWORDWRAP | SS_CENTERIMAGE, "two\r\nlines", DT_CENTER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LinkLabelTextFormat(c.style, c.text), c.format) << c.style << " " << c.text;
    }
}

TEST_F(LinkLabelTest, VerticalCentringDrawsOneLineMidwayAndSeveralFromTheTop)
{
    int firstRow[2] = {};
    const char* texts[2] = {"Centred", "First\r\nSecond"};
    for (int i = 0; i < 2; ++i) {
        AddLabel(texts[i], SS_CENTER | SS_CENTERIMAGE);
        label.SetColour(RGB(0, 0, 255));
        PumpMessages(50);
        const ScreenPixels shown = GrabClient(label.hwnd());
        const std::vector<int> rows = shown.RowsWith(kBlue);
        ASSERT_FALSE(rows.empty()) << texts[i];
        firstRow[i] = rows.front();
        // Centred across in both cases: as much face left of the text as right of it.
        int left = shown.width, right = 0;
        for (int y : rows) {
            for (int x = 0; x < shown.width; ++x) {
                if (ScreenPixels::Near(shown.at(x, y), kBlue)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        EXPECT_NEAR(left, shown.width - 1 - right, 8) << texts[i];
        TearDown();
    }
    EXPECT_GT(firstRow[0], 25); // 80 pixels high: one line sits near the middle
    EXPECT_LT(firstRow[1], 8);  // several lines start at the top
}

TEST_F(LinkLabelTest, ColourUnderlineAndCursorShowOnTheControl)
{
    AddLabel("https://framelark.example/");
    label.SetColour(RGB(0, 0, 255));
    const int plainRows = static_cast<int>(GrabClient(label.hwnd()).RowsWith(kBlue, 60).size());
    label.SetUnderline(true);
    EXPECT_TRUE(label.underlined());
    // The underline is one long run of the text's colour under the whole address.
    EXPECT_GT(static_cast<int>(GrabClient(label.hwnd()).RowsWith(kBlue, 60).size()), plainRows);

    HCURSOR link = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINKCURSOR));
    ASSERT_NE(link, nullptr);
    label.SetLinkCursor(link);
    EXPECT_EQ(SendMessageA(label.hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(label.hwnd()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), link);

    // A new system colour scheme: the face follows it.
    SendMessageA(label.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    const ScreenPixels shown = GrabClient(label.hwnd());
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(shown.at(shown.width - 1, shown.height - 1),
              static_cast<uint32_t>(GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face)));
}
} // namespace
