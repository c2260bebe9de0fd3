#include "app/hotkeys_rules.h"

#include <gtest/gtest.h>

namespace {
constexpr std::int32_t F7 = 118, F8 = 119, F9 = 120;
constexpr std::uint32_t kPress = 0x00410001;   // repeat 1, scan code 0x41
constexpr std::uint32_t kRepeat = 0x40410001;  // auto-repeat: previous state down
constexpr std::uint32_t kRelease = 0xC0410001; // transition bit set

const HotkeyCodes kDefaults{F7, F8, F9};

struct Row {
    const char* state;
    HotkeyState flags;
    HotkeyAction start, stop, cancel;
};

// recording, paused, armed, ending/completing
const Row kTable[] = {
    {"idle armed", {false, false, true, false}, HotkeyAction::RecordFromIdle, HotkeyAction::None, HotkeyAction::None},
    {"idle not armed", {false, false, false, false}, HotkeyAction::None, HotkeyAction::None, HotkeyAction::None},
    {"recording", {true, false, false, false}, HotkeyAction::Pause, HotkeyAction::Interrupt, HotkeyAction::Interrupt},
    {"paused", {true, true, true, false}, HotkeyAction::Resume, HotkeyAction::Interrupt, HotkeyAction::Interrupt},
    {"ending or completing", {false, false, true, true}, HotkeyAction::None, HotkeyAction::None, HotkeyAction::None},
};
} // namespace

TEST(HotkeyRules, TableOfKeysByState)
{
    for (const Row& row : kTable) {
        SCOPED_TRACE(row.state);
        EXPECT_EQ(DecideHotkey(F7, kPress, kDefaults, row.flags), row.start);
        EXPECT_EQ(DecideHotkey(F8, kPress, kDefaults, row.flags), row.stop);
        EXPECT_EQ(DecideHotkey(F9, kPress, kDefaults, row.flags), row.cancel);
        EXPECT_EQ(DecideHotkey(0x41, kPress, kDefaults, row.flags), HotkeyAction::None);
    }
}

TEST(HotkeyRules, ReleasesRepeatsAndEmptyReportsAreIgnored)
{
    const HotkeyState recording{true, false, false, false};
    EXPECT_EQ(DecideHotkey(F7, kRelease, kDefaults, recording), HotkeyAction::None);
    EXPECT_EQ(DecideHotkey(F8, kRelease, kDefaults, recording), HotkeyAction::None);
    EXPECT_EQ(DecideHotkey(F7, 0, kDefaults, recording), HotkeyAction::None);
    // A held start key must not pause and resume by turns.
    EXPECT_EQ(DecideHotkey(F7, kRepeat, kDefaults, recording), HotkeyAction::None);
    EXPECT_EQ(DecideHotkey(F7, kRepeat, kDefaults, {true, true, false, false}), HotkeyAction::None);
    EXPECT_EQ(DecideHotkey(F7, kRepeat, kDefaults, {false, false, true, false}), HotkeyAction::None);
}

TEST(HotkeyRules, SharedCodeActsInTheFirstRoleOnly)
{
    const HotkeyCodes startIsStop{F7, F7, F9};
    EXPECT_EQ(DecideHotkey(F7, kPress, startIsStop, {true, false, false, false}), HotkeyAction::Pause);
    EXPECT_EQ(DecideHotkey(F7, kPress, startIsStop, {true, true, false, false}), HotkeyAction::Resume);

    const HotkeyCodes stopIsCancel{F7, F8, F8};
    EXPECT_EQ(DecideHotkey(F8, kPress, stopIsCancel, {true, false, false, false}), HotkeyAction::Interrupt);
    EXPECT_EQ(DecideHotkey(F9, kPress, stopIsCancel, {true, false, false, false}), HotkeyAction::None);
}
