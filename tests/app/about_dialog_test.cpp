#include "app/about_dialog.h"
#include "resources/resource_ids.h"
#include "browser_log.h"
#include "../controls/screen_pixels.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr uint32_t kBlue = 0x0000FF;

TEST(AboutDialog, TheWebAddressIsABlueUnderlinedLinkThatOpensTheSite)
{
    CAboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    ShowWindow(about.hwnd(), SW_SHOW);
    PumpMessages(200, about.hwnd());
    HWND line = GetDlgItem(about.hwnd(), IDC_ABOUTLINK);
    char text[128] = {};
    GetWindowTextA(line, text, sizeof(text));
    EXPECT_STREQ(text, kProductWebSite);

    // Blue text, and under it one row of blue nearly as wide as the address.
    const ScreenPixels shown = GrabClient(line);
    EXPECT_GE(shown.RowsWith(kBlue, 3).size(), 5u);
    EXPECT_FALSE(shown.RowsWith(kBlue, 100).empty());
    EXPECT_EQ(SendMessageA(line, WM_SETCURSOR, reinterpret_cast<WPARAM>(line), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINKCURSOR)));

    if (UnderWine()) {
        // Wine hands web pages to the desktop's browser, here the recording stand-in.
        ClearBrowserLog();
        SendMessageA(line, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        SendMessageA(line, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
        EXPECT_EQ(WaitForBrowserLog(), std::string(kProductWebSite) + "\n");
    }
    about.EndDialog(IDOK);
}
} // namespace
