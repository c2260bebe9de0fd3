#pragma once
// The full-screen window on which the user drags or places the region to record, or picks the
// window to follow. It never paints: what was on the screen stays visible, and only the XOR band
// and the position label are drawn.
#include <windows.h>

#include "recording/recording_seams.h"
#include "region/region_geometry.h"
#include "win/handles.h"
#include "win/window_base.h"

// The one selection window, for the Record command and the General Options dialog.
extern HWND g_regionwindow;

class CRegionWindow : public CWindow, public IRegionSelection {
public:
    ~CRegionWindow() override;

    // Registers the class, reads the screen size into the settings and creates the window hidden.
    bool Create();

    void ShowForSelection() override;
    void BeginPlacement() override;
    void SetCurrentRectangle(const RECT& rect) override;

    // While a dialog waits for a selection, the result goes to it instead of starting a recording.
    void SetDialogRequest(bool requested, HWND dialog);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnMouseMove(POINT p);
    void OnLeftButtonDown(POINT p);
    void OnLeftButtonUp();
    // The window mode: the window under the pointer outlined.
    void OutlineWindowAt(POINT p);
    void Abandon();
    void TellAbandoned() const;
    void Draw(const ScreenRect& rect, bool erase);

    ScreenRect m_current;
    ScreenRect m_new;
    ScreenRect m_screen; // the virtual screen the window covers
    POINT m_anchor{};
    PlacementOffsets m_offsets;
    bool m_dragging = false;
    HWND m_outlined = nullptr; // the window mode's window under the pointer
    bool m_pressed = false;    // the window mode: the button went down on this window
    bool m_dialogRequested = false;
    HWND m_requestingDialog = nullptr;
    GdiBitmap m_labelBackground;
};
