#include "app/hotkeys_rules.h"

std::optional<Command> CommandForKey(std::int32_t key, std::uint32_t data, const HotkeyCodes& codes, AppState state)
{
    // Releases carry bit 31 and so read as negative. A held key's repeats are dropped: otherwise
    // holding the start key would pause and resume by turns.
    constexpr std::uint32_t kRepeat = 1u << 30;
    if (static_cast<std::int32_t>(data) <= 0 || (data & kRepeat) != 0) {
        return std::nullopt;
    }
    // The roles are tried in this order: a code given to two roles acts only in the first.
    if (key == codes.start) {
        return state == AppState::Recording ? Command::Pause : Command::Record;
    }
    if (key == codes.stop) {
        return Command::Stop;
    }
    if (key == codes.cancel) {
        return Command::Cancel;
    }
    return std::nullopt;
}
