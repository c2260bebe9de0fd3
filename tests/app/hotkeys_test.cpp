#include "app/hotkeys.h"

#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class FakeCommands : public IMainCommands {
public:
    void RecordCommand() override { calls.push_back("record"); }
    void OnPause() override { calls.push_back("pause"); }
    void OnRecordInterrupted(int endKey) override
    {
        calls.push_back("interrupt " + std::to_string(endKey));
        Settings().g_endkey = endKey;
    }
    // The main window's state as the flags of these tests describe it.
    AppState State() const override
    {
        if (ending) {
            return AppState::Ending;
        }
        if (Settings().g_isrecording != 0) {
            return Settings().g_paused != 0 ? AppState::Paused : AppState::Recording;
        }
        return AppState::Idle;
    }

    std::vector<std::string> calls;
    bool ending = false;
};

constexpr LPARAM kPress = 0x00420001;
constexpr LPARAM kRelease = static_cast<LPARAM>(static_cast<std::int32_t>(0xC0420001u));

class Hotkeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        AppSettings& s = Settings();
        s.keyRecordStart = VK_F7;
        s.keyRecordEnd = VK_F8;
        s.keyRecordCancel = VK_F9;
        s.g_isrecording = 0;
        s.g_paused = 0;
        s.g_startkeyarmed = 1;
    }
    FakeCommands commands;
};
} // namespace

TEST_F(Hotkeys, StartKeyRecordsOnceUntilRearmed)
{
    OnHotkey(commands, VK_F7, kPress);
    EXPECT_EQ(Settings().g_startkeyarmed, 0);
    OnHotkey(commands, VK_F7, kPress); // the selection window is up: nothing
    Settings().g_startkeyarmed = 1;    // what an abandoned selection does
    OnHotkey(commands, VK_F7, kPress);
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"record", "record"}));
}

TEST_F(Hotkeys, StartKeyPausesAndResumesWhileRecording)
{
    Settings().g_isrecording = 1;
    Settings().g_startkeyarmed = 0;
    OnHotkey(commands, VK_F7, kPress);
    Settings().g_paused = 1;
    OnHotkey(commands, VK_F7, kPress);
    OnHotkey(commands, VK_F7, kRelease);
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"pause", "record"}));
    EXPECT_EQ(Settings().g_startkeyarmed, 0); // only a Record from idle touches the arming
}

TEST_F(Hotkeys, StartKeyHeldOffWhileTheLastRecordingIsSaved)
{
    commands.ending = true;
    OnHotkey(commands, VK_F7, kPress);
    EXPECT_TRUE(commands.calls.empty());
    EXPECT_EQ(Settings().g_startkeyarmed, 1); // still armed once the save is done
    commands.ending = false;
    OnHotkey(commands, VK_F7, kPress);
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"record"}));
}

TEST_F(Hotkeys, StopAndCancelPassTheirOwnCodeOnlyWhileRecording)
{
    OnHotkey(commands, VK_F8, kPress);
    OnHotkey(commands, VK_F9, kPress);
    EXPECT_TRUE(commands.calls.empty());

    Settings().g_isrecording = 1;
    OnHotkey(commands, VK_F8, kRelease);
    OnHotkey(commands, VK_F8, kPress);
    OnHotkey(commands, VK_F9, kPress);
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"interrupt 119", "interrupt 120"}));
}

TEST_F(Hotkeys, StopKeySharedWithCancelDiscards)
{
    Settings().keyRecordCancel = VK_F8;
    Settings().g_isrecording = 1;
    OnHotkey(commands, VK_F8, kPress);
    ASSERT_EQ(commands.calls, (std::vector<std::string>{"interrupt 119"}));
    // The completion discards when the ending key equals the cancel key.
    EXPECT_EQ(Settings().g_endkey, Settings().keyRecordCancel);
}

TEST_F(Hotkeys, StartKeySharedWithStopOnlyPausesAndResumes)
{
    Settings().keyRecordEnd = VK_F7;
    Settings().g_isrecording = 1;
    OnHotkey(commands, VK_F7, kPress);
    Settings().g_paused = 1;
    OnHotkey(commands, VK_F7, kPress);
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"pause", "record"}));
}
