#include "app/hotkeys.h"

#include "settings/app_settings.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
class FakeCommands : public IMainCommands {
public:
    void Run(Command command) override { calls.push_back(command); }
    AppState State() const override { return state; }

    std::vector<Command> calls;
    AppState state = AppState::Idle;
};

constexpr LPARAM kPress = 0x00420001;
constexpr LPARAM kRelease = static_cast<LPARAM>(static_cast<std::int32_t>(0xC0420001u));
} // namespace

// The keys the settings name reach the main window's commands, decided by its state.
TEST(Hotkeys, KeysOfTheSettingsGiveTheMainWindowsCommands)
{
    AppSettings& s = Settings();
    s.keyRecordStart = 'R';
    s.keyRecordEnd = 'S';
    s.keyRecordCancel = 'C';
    FakeCommands commands;
    OnHotkey(commands, 'R', kPress);
    commands.state = AppState::Recording;
    OnHotkey(commands, 'R', kPress);
    OnHotkey(commands, 'R', kRelease);
    OnHotkey(commands, VK_F7, kPress);
    OnHotkey(commands, 'S', kPress);
    OnHotkey(commands, 'C', kPress);
    EXPECT_EQ(commands.calls, (std::vector<Command>{Command::Record, Command::Pause, Command::Stop, Command::Cancel}));
    s.keyRecordStart = VK_F7;
    s.keyRecordEnd = VK_F8;
    s.keyRecordCancel = VK_F9;
}
