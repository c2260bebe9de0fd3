#include "app/system_tray.h"
#include "messages/private_messages.h"
#include "resources/resource_ids.h"
#include "win/window_base.h"
#include "../controls/ui_pump.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr UINT kIconId = IDR_TRAYMENU;

// The icon's owner: passes its messages to the tray, as the main window does, and keeps the
// commands it receives.
class COwner : public CWindow {
public:
    CSystemTray tray;
    std::vector<WORD> commands;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (tray.HandleOwnerMessage(message, wParam, lParam)) {
            return 0;
        }
        if (message == WM_COMMAND) {
            commands.push_back(LOWORD(wParam));
            return 0;
        }
        return CWindow::HandleMessage(message, wParam, lParam);
    }
};

// Whether the shell still knows the icon: only a known icon can be modified.
bool ShellKnows(HWND owner)
{
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner;
    record.uID = kIconId;
    record.uFlags = NIF_TIP;
    return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

// One owner for all tests: hiding a top-level window makes Wine wait for a window manager that the
// test display does not have.
class SystemTrayTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA cls{};
        cls.lpfnWndProc = &CWindow::WindowProcedure;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "SystemTrayOwner";
        cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        ASSERT_TRUE(CWindow::RegisterClassOnce(cls));
        owner = new COwner; // left to the process's end, for the same reason
        ASSERT_TRUE(owner->Create(0, "SystemTrayOwner", "Tray owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300,
                                  240, 120, nullptr, nullptr));
    }

    void SetUp() override
    {
        owner->commands.clear();
        ASSERT_TRUE(owner->tray.AddToTray(owner->hwnd(), kTrayIconMessage, "Framelark", nullptr, kIconId));
        owner->tray.ChangeTrayIcon(IDI_TRAY);
    }

    void TearDown() override
    {
        owner->tray.RemoveFromTray();
        ShowWindow(owner->hwnd(), SW_RESTORE);
        PumpMessages(50);
    }

    // The icon's callback, as the shell sends it.
    static void Click(UINT mouseMessage)
    {
        SendMessageA(owner->hwnd(), kTrayIconMessage, kIconId, mouseMessage);
        PumpMessages(100);
    }

    static inline COwner* owner = nullptr;
};

TEST_F(SystemTrayTest, IconIsAddedChangedAndRemovedThroughTheShell)
{
    EXPECT_TRUE(owner->tray.enabled());
    EXPECT_TRUE(ShellKnows(owner->hwnd()));
    EXPECT_TRUE(owner->tray.ChangeTrayIcon(IDI_TRAY));
    EXPECT_TRUE(owner->tray.ChangeTrayTip("A tooltip longer than the sixty-three bytes that the first form of the "
                                          "record can hold is cut, not overrun"));

    EXPECT_TRUE(owner->tray.RemoveFromTray());
    EXPECT_FALSE(ShellKnows(owner->hwnd()));
    // Not shown: every operation does nothing.
    EXPECT_FALSE(owner->tray.RemoveFromTray());
    EXPECT_FALSE(owner->tray.ChangeTrayTip("Framelark"));
    EXPECT_FALSE(owner->tray.ChangeTrayIcon(IDI_TRAY));
}

TEST_F(SystemTrayTest, WithoutALiveOwnerNothingIsAdded)
{
    CSystemTray tray;
    EXPECT_FALSE(tray.AddToTray(nullptr, kTrayIconMessage, "Framelark", nullptr, kIconId));
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_FALSE(tray.AddToTray(gone, kTrayIconMessage, "Framelark", nullptr, kIconId));
    EXPECT_FALSE(tray.enabled());
    EXPECT_FALSE(tray.ChangeTrayTip("Framelark"));
}

TEST_F(SystemTrayTest, ReportsOfOtherIconsAndMovementChangeNothing)
{
    ShowWindow(owner->hwnd(), SW_MINIMIZE);
    PumpMessages(100);
    ASSERT_TRUE(IsIconic(owner->hwnd()));

    EXPECT_FALSE(owner->tray.OnTrayEvent(kIconId + 1, WM_LBUTTONDOWN));
    EXPECT_FALSE(owner->tray.OnTrayEvent(kIconId + 1, WM_RBUTTONUP));
    EXPECT_TRUE(owner->tray.OnTrayEvent(kIconId, WM_MOUSEMOVE));
    EXPECT_TRUE(owner->tray.OnTrayEvent(kIconId, WM_LBUTTONUP));
    PumpMessages(100);
    EXPECT_TRUE(IsIconic(owner->hwnd()));
    EXPECT_TRUE(owner->commands.empty());
}

TEST_F(SystemTrayTest, LeftClickAndDoubleClickRestoreWithoutACommand)
{
    for (int clicks : {1, 2}) {
        ShowWindow(owner->hwnd(), SW_MINIMIZE);
        PumpMessages(100);
        ASSERT_TRUE(IsIconic(owner->hwnd()));
        for (int i = 0; i < clicks; ++i) {
            Click(WM_LBUTTONDOWN);
            Click(WM_LBUTTONUP);
        }
        EXPECT_FALSE(IsIconic(owner->hwnd())) << clicks << " click(s)";
        EXPECT_TRUE(IsWindowVisible(owner->hwnd()));
    }
    // Already open: a click leaves it open.
    Click(WM_LBUTTONDOWN);
    EXPECT_FALSE(IsIconic(owner->hwnd()));
    EXPECT_TRUE(owner->commands.empty());
}

// While the menu is open: what it shows, then "&Record Now!" chosen with its access key.
struct OpenMenu {
    static inline UINT defaultItem = 0;
    static inline bool defaultIsBold = false;
    static inline bool seen = false;

    static void CALLBACK Inspect(HWND, UINT, UINT_PTR timer, DWORD)
    {
        HWND menuWindow = FindWindowA("#32768", nullptr);
        if (!menuWindow) {
            return;
        }
        KillTimer(nullptr, timer);
        seen = true;
        auto menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
        defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
        MENUITEMINFOA item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE;
        defaultIsBold = GetMenuItemInfoA(menu, 0, TRUE, &item) && (item.fState & MFS_DEFAULT);
        PostMessageA(menuWindow, WM_CHAR, 'r', 0);
    }
};

TEST_F(SystemTrayTest, RightClickOpensTheMenuWithRecordNowAsDefault)
{
    SetTimer(nullptr, 0, 100, &OpenMenu::Inspect);
    Click(WM_RBUTTONUP); // returns when the menu closes

    ASSERT_TRUE(OpenMenu::seen);
    EXPECT_EQ(OpenMenu::defaultItem, static_cast<UINT>(ID_RECORD_NOW));
    EXPECT_TRUE(OpenMenu::defaultIsBold);
    EXPECT_EQ(owner->commands, std::vector<WORD>{ID_RECORD_NOW});
}

TEST_F(SystemTrayTest, TaskbarCreatedAddsTheForgottenIconAgain)
{
    // A restarted taskbar knows no icons.
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner->hwnd();
    record.uID = kIconId;
    ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &record));
    ASSERT_FALSE(ShellKnows(owner->hwnd()));

    SendMessageA(owner->hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellKnows(owner->hwnd()));

    // A removed icon stays removed.
    ASSERT_TRUE(owner->tray.RemoveFromTray());
    SendMessageA(owner->hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_FALSE(ShellKnows(owner->hwnd()));
}
} // namespace
