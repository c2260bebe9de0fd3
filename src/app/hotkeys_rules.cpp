#include "app/hotkeys_rules.h"

HotkeyAction DecideHotkey(std::int32_t key, std::uint32_t data, const HotkeyCodes& codes, const HotkeyState& state)
{
    // Releases carry bit 31 and so read as negative. A held key's repeats are dropped: otherwise
    // holding the start key would pause and resume by turns.
    constexpr std::uint32_t kRepeat = 1u << 30;
    if (static_cast<std::int32_t>(data) <= 0 || (data & kRepeat) != 0) {
        return HotkeyAction::None;
    }
    // The roles are tried in this order: a code given to two roles acts only in the first.
    if (key == codes.start) {
        if (!state.recording) {
            return state.startKeyArmed && !state.busy ? HotkeyAction::RecordFromIdle
                                                                     : HotkeyAction::None;
        }
        return state.paused ? HotkeyAction::Resume : HotkeyAction::Pause;
    }
    if (key == codes.stop || key == codes.cancel) {
        return state.recording ? HotkeyAction::Interrupt : HotkeyAction::None;
    }
    return HotkeyAction::None;
}
