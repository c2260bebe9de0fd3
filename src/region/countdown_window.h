#pragma once
// The countdown before a recording: the seconds left, large, in the middle of the chosen region.
// It is hidden a moment before the recording starts, so that no frame shows it.
#include <windows.h>

#include "common/screen_rect.h"
#include "win/window_base.h"

// Longer countdowns read from a settings file are cut to this.
constexpr int kLongestCountdown = 10;

class CCountdownWindow : public CWindow {
public:
    // Counts `seconds` down over the region; once the window is hidden after the last second,
    // posts `doneMessage` to `owner`. False, with nothing shown, when the window cannot be had.
    bool Start(const ScreenRect& region, int seconds, HWND owner, UINT doneMessage);
    // Hides the window; no message follows.
    void Stop();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();

    // Shows the number for the time left and sets the timer for the next change, all against the
    // deadline, so that late timer messages add nothing to the countdown's length.
    void Tick();

    DWORD m_deadline = 0;
    int m_left = 0;
    int m_dpi = 96;
    HWND m_owner = nullptr;
    UINT m_doneMessage = 0;
};
