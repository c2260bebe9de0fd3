#pragma once
// What a reported key event asks of the main window, decided without touching any window.
#include <cstdint>

struct HotkeyCodes {
    std::int32_t start = 0;
    std::int32_t stop = 0;
    std::int32_t cancel = 0;
};

struct HotkeyState {
    bool recording = false;
    bool paused = false;
    bool startKeyArmed = false;
    // Neither idle nor recording: a region being chosen, a recording being finished or saved, a
    // question or a dialog. The start key waits for the program to be idle.
    bool busy = false;
};

enum class HotkeyAction {
    None,
    RecordFromIdle, // disarms the start key, then Record
    Resume,         // Record while paused
    Pause,
    Interrupt,      // stop with the key's code, which tells save from discard
};

// data is the keyboard hook's key message data; bit 31 set means the key is being released, bit 30
// that it was already down (a repeat).
HotkeyAction DecideHotkey(std::int32_t key, std::uint32_t data, const HotkeyCodes& codes, const HotkeyState& state);
