#pragma once
// Which command a reported key event gives; the program's state table then decides whether it
// runs. Decided without touching any window.
#include "app/app_state.h"

#include <cstdint>
#include <optional>

struct HotkeyCodes {
    std::int32_t start = 0;
    std::int32_t stop = 0;
    std::int32_t cancel = 0;
};

// data is the keyboard hook's key message data; bit 31 set means the key is being released, bit 30
// that it was already down (a repeat). The start key pauses a running recording and records or
// resumes otherwise.
std::optional<Command> CommandForKey(std::int32_t key, std::uint32_t data, const HotkeyCodes& codes, AppState state);
