#include "options/hotkey_keys.h"

#include <array>

namespace {
struct ListedKey {
    const char* name;
    std::int32_t code;
};

constexpr std::array<ListedKey, kHotkeyListSize> kKeys = {{
    {"F1", 112}, {"F2", 113}, {"F3", 114}, {"F4", 115}, {"F5", 116}, {"F6", 117},
    {"F7", 118}, {"F8", 119}, {"F9", 120}, {"F10", 121}, {"F11", 122}, {"F12", 123},
    {"A", 65}, {"B", 66}, {"C", 67}, {"D", 68}, {"E", 69}, {"F", 70}, {"G", 71}, {"H", 72}, {"I", 73},
    {"J", 74}, {"K", 75}, {"L", 76}, {"M", 77}, {"N", 78}, {"O", 79}, {"P", 80}, {"Q", 81}, {"R", 82},
    {"S", 83}, {"T", 84}, {"U", 85}, {"V", 86}, {"W", 87}, {"X", 88}, {"Y", 89}, {"Z", 90},
    {"1", 49}, {"2", 50}, {"3", 51}, {"4", 52}, {"5", 53}, {"6", 54}, {"7", 55}, {"8", 56}, {"9", 57}, {"0", 48},
    {"NUMPAD0 ", 96}, {"NUMPAD1 ", 97}, {"NUMPAD2 ", 98}, {"NUMPAD3 ", 99}, {"NUMPAD4 ", 100},
    {"NUMPAD5 ", 101}, {"NUMPAD6 ", 102}, {"NUMPAD7 ", 103}, {"NUMPAD8 ", 104}, {"NUMPAD9 ", 105},
    {"ALT ", 18}, {"SHIFT ", 16}, {"CONTROL ", 17}, {"ESCAPE ", 27}, {"HOME ", 36}, {"INSERT ", 45},
    {"DELETE ", 46}, {"END ", 35}, {"ENTER ", 13}, {"SPACE ", 32}, {"TAB ", 9},
}};

bool InList(int position) { return position >= 0 && position < kHotkeyListSize; }
} // namespace

const char* HotkeyName(int position)
{
    return InList(position) ? kKeys[static_cast<std::size_t>(position)].name : nullptr;
}

std::int32_t KeyOfPosition(int position)
{
    return InList(position) ? kKeys[static_cast<std::size_t>(position)].code : 0;
}

int PositionOfKey(std::int32_t code)
{
    for (int i = 0; i < kHotkeyListSize; ++i) {
        if (kKeys[static_cast<std::size_t>(i)].code == code) {
            return i;
        }
    }
    return 0;
}

std::optional<HotkeyRole> HotkeyTakenBy(HotkeyRole choosing, std::int32_t code, const HotkeySet& keys)
{
    struct Holder {
        HotkeyRole role;
        std::int32_t code;
    };
    std::array<Holder, 2> others{};
    switch (choosing) {
    case HotkeyRole::RecordPause:
        others = {{{HotkeyRole::Cancel, keys.cancel}, {HotkeyRole::Stop, keys.stop}}};
        break;
    case HotkeyRole::Stop:
        others = {{{HotkeyRole::RecordPause, keys.recordPause}, {HotkeyRole::Cancel, keys.cancel}}};
        break;
    case HotkeyRole::Cancel:
        others = {{{HotkeyRole::RecordPause, keys.recordPause}, {HotkeyRole::Stop, keys.stop}}};
        break;
    }
    for (const Holder& other : others) {
        if (other.code == code) {
            return other.role;
        }
    }
    return std::nullopt;
}
