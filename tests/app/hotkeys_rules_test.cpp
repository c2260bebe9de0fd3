#include "app/hotkeys_rules.h"

#include <gtest/gtest.h>

#include <optional>

namespace {
constexpr std::int32_t F7 = 118, F8 = 119, F9 = 120;
constexpr std::uint32_t kPress = 0x00410001;   // repeat 1, scan code 0x41
constexpr std::uint32_t kRepeat = 0x40410001;  // auto-repeat: previous state down
constexpr std::uint32_t kRelease = 0xC0410001; // transition bit set

const HotkeyCodes kDefaults{F7, F8, F9};
} // namespace

// The keys give commands; whether they run is the state table's to say.
TEST(HotkeyRules, KeysGiveCommandsByRoleAndOnlyWhenPressed)
{
    struct Row {
        HotkeyCodes codes;
        std::int32_t key;
        std::uint32_t data;
        AppState state;
        std::optional<Command> command;
    };
    const Row rows[] = {
        {kDefaults, F7, kPress, AppState::Idle, Command::Record},
        {kDefaults, F7, kPress, AppState::Recording, Command::Pause},
        {kDefaults, F7, kPress, AppState::Paused, Command::Record},
        {kDefaults, F8, kPress, AppState::Paused, Command::Stop},
        {kDefaults, F9, kPress, AppState::Recording, Command::Cancel},
        {kDefaults, 0x41, kPress, AppState::Recording, std::nullopt},
        // Releases, repeats and empty reports: a held start key must not pause and resume by turns.
        {kDefaults, F7, kRelease, AppState::Recording, std::nullopt},
        {kDefaults, F8, kRelease, AppState::Recording, std::nullopt},
        {kDefaults, F7, kRepeat, AppState::Recording, std::nullopt},
        {kDefaults, F7, kRepeat, AppState::Paused, std::nullopt},
        {kDefaults, F7, 0, AppState::Idle, std::nullopt},
        // A code given to two roles acts only in the first.
        {{F7, F7, F9}, F7, kPress, AppState::Recording, Command::Pause},
        {{F7, F8, F8}, F8, kPress, AppState::Recording, Command::Stop},
        {{F7, F8, F8}, F9, kPress, AppState::Recording, std::nullopt},
        // A cancel key of 0 (a hand-edited file) never turns a stop into a cancel.
        {{F7, F8, 0}, F8, kPress, AppState::Recording, Command::Stop},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.key << " " << std::hex << row.data << " state "
                                        << static_cast<int>(row.state));
        EXPECT_EQ(CommandForKey(row.key, row.data, row.codes, row.state), row.command);
    }
}
