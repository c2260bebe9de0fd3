#pragma once
// The frame shown round the captured region while recording: a topmost window over every monitor whose
// visible shape is cut down to the border, so that it never enters the captured area.
#include <windows.h>

#include "recording/recording_seams.h"
#include "common/screen_rect.h"
#include "win/window_base.h"

class CFlashingFrame : public CWindow, public IFlashingFrame {
public:
    // Creates the window hidden, without a shape.
    bool Create();

    void SetShape(int left, int top, int width, int height, bool thin) override;
    void Paint(COLORREF color) override;
    void Invert(COLORREF color) override;
    void Show() override;
    void Hide() override;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Covers the display as it is now; again after each display change.
    void FollowDisplay();
    // The recording thread draws while the main thread may follow a display change.
    ScreenRect Screen() const;
    bool HasArea() const { return m_left < m_right && m_top < m_bottom; }

    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    ScreenRect m_screen;
    mutable SRWLOCK m_screenLock = SRWLOCK_INIT;
};
