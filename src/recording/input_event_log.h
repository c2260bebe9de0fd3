#pragma once
// The clicks and keys of a recording, from the main window (which the hook libraries post to) to
// the recording thread, which draws them into the frames whose time covers them. Times are on the
// recording's millisecond clock.
#include "recording/click_ring.h"
#include "recording/key_caption.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

struct InputEvent {
    enum class Kind : std::uint8_t { Key, Click };
    Kind kind = Kind::Key;
    KeyStroke key;
    ClickMark click;
};

class CInputEventLog {
public:
    void Add(const InputEvent& event);
    // Where the next event will go: a reader starting there sees only what comes after.
    std::uint64_t End() const;
    // Appends the events from `next` on, oldest first, and moves `next` past them. A reader that
    // fell further behind than the log holds loses the oldest.
    void TakeSince(std::uint64_t& next, std::vector<InputEvent>& out) const;

private:
    static constexpr std::size_t kHeld = 512;
    mutable std::mutex m_lock;
    std::array<InputEvent, kHeld> m_events{};
    std::uint64_t m_end = 0;
};

// The program's one log.
CInputEventLog& InputEvents();
