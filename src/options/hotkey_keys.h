#pragma once
// The 69 keys the Hotkeys dialog offers, by list position, and the rule that keeps the three
// hotkeys apart.
#include <cstdint>
#include <optional>

constexpr int kHotkeyListSize = 69;

// The list's text at a position (several end in a blank); null outside the list.
const char* HotkeyName(int position);

// Virtual-key code of a list position; 0 outside the list (no selection).
std::int32_t KeyOfPosition(int position);

// List position of a virtual-key code; 0 (F1) for a code not in the list.
int PositionOfKey(std::int32_t code);

enum class HotkeyRole { RecordPause, Stop, Cancel };

struct HotkeySet {
    std::int32_t recordPause = 0;
    std::int32_t stop = 0;
    std::int32_t cancel = 0;
};

// The role that already holds the code, when choosing it for the given role would share a key;
// the other two roles are asked in the order the user is told about them.
std::optional<HotkeyRole> HotkeyTakenBy(HotkeyRole choosing, std::int32_t code, const HotkeySet& keys);
