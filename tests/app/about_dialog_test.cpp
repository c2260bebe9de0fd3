#include "app/about_dialog.h"
#include "resources/resource_ids.h"
#include "browser_log.h"
#include "../controls/screen_pixels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr uint32_t kBlue = 0x0000FF;

// "1.2.3" from a binary's version resource: its fixed numbers and its two version texts must agree.
std::string ResourceVersion(const std::string& file)
{
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoA(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        return "no version resource in " + file;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size) || fixed->dwFileVersionLS & 0xFFFF) {
        return "no fixed version in " + file;
    }
    const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    for (const char* key : {"FileVersion", "ProductVersion"}) {
        char* text = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &size) || numbers != text) {
            return std::string(key) + " of " + file + " is not " + numbers;
        }
    }
    return numbers;
}

std::string AboutVersionLine(HWND about)
{
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char text[128] = {};
        GetWindowTextA(child, text, sizeof(text));
        if (std::string(text).starts_with("Version ")) {
            return text;
        }
    }
    return {};
}

TEST(AboutDialog, ShowsTheVersionOfTheProgramAndItsLibrariesUnderABannerWithinItsMargins)
{
    const std::string folder = WindowsPath(FRAMELARK_PROGRAM_DIR) + "\\";
    const std::string version = ResourceVersion(folder + "framelark.exe");
    ASSERT_TRUE(isdigit(version.front())) << version;
    EXPECT_EQ(ResourceVersion(folder + "hook.dll"), version);
    EXPECT_EQ(ResourceVersion(folder + "hookkey.dll"), version);

    CAboutDialog about;
    ASSERT_TRUE(about.CreateModeless(nullptr));
    EXPECT_EQ(AboutVersionLine(about.hwnd()), "Version " + version);

    // The banner, drawn 326 pixels wide, ran past the right edge of a dialog that a small font made
    // 300 wide: it keeps within the dialog's margins.
    RECT client{};
    RECT banner{};
    GetClientRect(about.hwnd(), &client);
    GetWindowRect(GetDlgItem(about.hwnd(), IDC_ABOUTBANNER), &banner);
    MapWindowPoints(nullptr, about.hwnd(), reinterpret_cast<POINT*>(&banner), 2);
    EXPECT_LE(banner.right, client.right - banner.left);
    EXPECT_GT(banner.right - banner.left, client.right * 3 / 4);
    EXPECT_GT(banner.bottom - banner.top, 40);
    about.EndDialog(IDOK);
}

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
