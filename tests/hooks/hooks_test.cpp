#include "messages/hook_library.h"

#include "messages/private_messages.h"
#include "../recording/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
class Hooks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPrivateMessages(); }
    void SetUp() override
    {
        if (UnixPath("C:\\").empty()) {
            GTEST_SKIP() << "driven with xdotool under Wine";
        }
    }
    RecordingWindow target;
};

std::vector<std::pair<WPARAM, LPARAM>> Posted(const RecordingWindow& window, UINT message)
{
    std::vector<std::pair<WPARAM, LPARAM>> found;
    for (std::size_t i = 0; i < window.messages.size(); ++i) {
        if (window.messages[i] == message) {
            found.push_back(window.parameters[i]);
        }
    }
    return found;
}
} // namespace

TEST_F(Hooks, KeysArriveWithCodeAndKeyData)
{
    // X gives keys to Wine only while the pointer is over one of its windows.
    TestPopup over("FramelarkHookKeys", RECT{100, 100, 300, 300}, nullptr, IDC_ARROW);
    PumpFor(200);
    ASSERT_EQ(RunUnixShell("xdotool mousemove 200 200"), 0);
    ASSERT_TRUE(InstallKeyHook(target.hwnd(), WM_USER_KEYSTART_MSG));
    ASSERT_EQ(RunUnixShell("xdotool key F7"), 0);
    ASSERT_TRUE(PumpUntil([&] { return Posted(target, WM_USER_KEYSTART_MSG).size() >= 2; }, 5000));
    const auto keys = Posted(target, WM_USER_KEYSTART_MSG);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].first, static_cast<WPARAM>(VK_F7));
    EXPECT_EQ(keys[1].first, static_cast<WPARAM>(VK_F7));
    const auto down = static_cast<DWORD>(keys[0].second);
    const auto up = static_cast<DWORD>(keys[1].second);
    EXPECT_EQ(down & 0xFFFF, 1u);
    EXPECT_EQ(down >> 30, 0u);
    EXPECT_EQ(up >> 30, 3u); // released, and down before
    EXPECT_NE((down >> 16) & 0xFF, 0u);
    EXPECT_EQ((down >> 16) & 0xFF, (up >> 16) & 0xFF);

    UninstallKeyHook();
    target.messages.clear();
    ASSERT_EQ(RunUnixShell("xdotool key F8"), 0);
    PumpFor(500);
    EXPECT_TRUE(Posted(target, WM_USER_KEYSTART_MSG).empty());
}

TEST_F(Hooks, KeysArriveWhileTheInstallingThreadIsBusy)
{
    // The window under the pointer has a thread of its own, which takes X's key events while this
    // thread, the one that installs the hook, sleeps as a busy program would.
    std::atomic<bool> done{false};
    std::thread other([&] {
        TestPopup over("FramelarkHookBusy", RECT{100, 100, 300, 300}, nullptr, IDC_ARROW);
        while (!done) {
            PumpFor(20);
        }
    });
    PumpFor(300);
    ASSERT_EQ(RunUnixShell("xdotool mousemove 200 200"), 0);
    ASSERT_TRUE(InstallKeyHook(target.hwnd(), WM_USER_KEYSTART_MSG));
    ASSERT_EQ(RunUnixShell("(sleep 0.5; xdotool key F7) >/dev/null 2>&1 &"), 0);
    Sleep(2500);
    // Posted after the sleep (a message this window records, unused here): the key's report must
    // come before it in the window's queue.
    const UINT awake = WM_USER_SAVECURSOR_MSG;
    PostMessageA(target.hwnd(), awake, 0, 0);
    const bool both = PumpUntil([&] { return Posted(target, WM_USER_KEYSTART_MSG).size() >= 2 && !Posted(target, awake).empty(); }, 5000);
    UninstallKeyHook();
    done = true;
    other.join();
    ASSERT_TRUE(both);
    const auto first = [&](UINT message) {
        return std::find(target.messages.begin(), target.messages.end(), message) - target.messages.begin();
    };
    EXPECT_LT(first(WM_USER_KEYSTART_MSG), first(awake));
}

TEST_F(Hooks, CursorChangesArriveAsHandles)
{
    TestPopup cross("FramelarkHookCross", RECT{100, 100, 300, 300}, nullptr, IDC_CROSS);
    TestPopup arrow("FramelarkHookArrow", RECT{400, 100, 600, 300}, nullptr, IDC_ARROW);
    PumpFor(200);
    const auto reported = [&](HCURSOR cursor) {
        for (const auto& [wParam, lParam] : Posted(target, WM_USER_SAVECURSOR_MSG)) {
            if (reinterpret_cast<HCURSOR>(wParam) == cursor) {
                return true;
            }
        }
        return false;
    };
    ASSERT_EQ(RunUnixShell("xdotool mousemove 500 200"), 0);
    PumpFor(200);
    ASSERT_TRUE(InstallMouseHook(target.hwnd(), WM_USER_SAVECURSOR_MSG));
    ASSERT_EQ(RunUnixShell("xdotool mousemove 200 200 sleep 0.2 mousemove 210 210"), 0);
    EXPECT_TRUE(PumpUntil([&] { return reported(LoadCursor(nullptr, IDC_CROSS)); }, 5000));
    ASSERT_EQ(RunUnixShell("xdotool mousemove 500 200"), 0);
    EXPECT_TRUE(PumpUntil([&] { return reported(LoadCursor(nullptr, IDC_ARROW)); }, 5000));

    UninstallMouseHook();
    PumpFor(200);
    target.messages.clear();
    target.parameters.clear();
    ASSERT_EQ(RunUnixShell("xdotool mousemove 200 200 sleep 0.2 mousemove 500 200"), 0);
    PumpFor(500);
    EXPECT_TRUE(Posted(target, WM_USER_SAVECURSOR_MSG).empty());
}

TEST_F(Hooks, ClicksArriveWithButtonAndPointOnlyWhenAsked)
{
    TestPopup under("FramelarkHookClicks", RECT{100, 100, 300, 300}, nullptr, IDC_ARROW);
    PumpFor(200);
    ASSERT_TRUE(InstallMouseHook(target.hwnd(), WM_USER_SAVECURSOR_MSG));
    ASSERT_EQ(RunUnixShell("xdotool mousemove 150 160 click 1"), 0);
    PumpFor(300);
    EXPECT_TRUE(Posted(target, kMouseClickMessage).empty()); // not asked for
    ReportMouseClicks(kMouseClickMessage);
    ASSERT_EQ(RunUnixShell("xdotool mousemove 150 160 click 1 mousemove 250 170 click 3"), 0);
    ASSERT_TRUE(PumpUntil([&] { return Posted(target, kMouseClickMessage).size() >= 2; }, 5000));
    const auto clicks = Posted(target, kMouseClickMessage);
    EXPECT_EQ(clicks[0], (std::pair<WPARAM, LPARAM>{0, MAKELPARAM(150, 160)}));
    EXPECT_EQ(clicks[1], (std::pair<WPARAM, LPARAM>{1, MAKELPARAM(250, 170)}));
    EXPECT_EQ(clicks.size(), 2u); // presses only
    ReportMouseClicks(0);
    UninstallMouseHook();
}
