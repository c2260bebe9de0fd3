#pragma once
// The window a recording follows: where it stands at each frame, in frames of the size it had when
// it was chosen; how long it was not shown; and whether it is gone.
#include <windows.h>

#include "recording/window_fit.h"

#include <cstdint>

class CWindowFollower {
public:
    CWindowFollower(HWND window, const ScreenRect& chosen);

    struct View {
        FramePlacement placement;
        bool held = false; // minimised, hidden or closed: the last picture stands
    };
    View Next(std::uint32_t now);
    // The time since the last frame was a pause's, not the window's.
    void Resumed() { m_wasHeld = false; }
    bool Gone() const { return m_gone; }
    // The times the movie held its last frame until the window showed again; a stretch still
    // going at the end is not in the movie.
    std::uint32_t HeldMs() const { return m_heldMs; }

private:
    HWND m_window;
    std::int32_t m_width;
    std::int32_t m_height;
    FramePlacement m_last;
    bool m_gone = false;
    bool m_wasHeld = false;
    std::uint32_t m_checked = 0;
    std::uint32_t m_stretchMs = 0; // of the time the window is not shown now
    std::uint32_t m_heldMs = 0;
};
