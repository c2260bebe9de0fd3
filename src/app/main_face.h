#pragma once
// The main window's face: the skin, its shape and its buttons at the monitor's dpi, the title and
// the looks of the buttons that follow the program's state.
#include <windows.h>

#include "app/app_state.h"
#include "controls/image_button.h"
#include "win/handles.h"

#include <array>
#include <string>

class CMainFace {
public:
    CMainFace();

    // Takes over the dialog's buttons, icon and system menu, then lays the face out.
    void Attach(HWND window);
    // Sizes the face, its shape and its buttons for the monitor's dpi.
    void LayOut(int dpi);
    void Paint();
    // Buttons and title as the state has them; Play needs a movie saved in this run.
    void Show(AppState state, bool moviePlayable);
    // While paused the title goes blank after a moment, so that the taskbar button draws the eye.
    void BlankTitle();
    // The tips of the buttons, off while a menu stands where a tip would show.
    void ActivateTips(bool on);
    HICON icon() const { return m_icon; }

private:
    void SetTitle(const std::string& title);
    void EnableButton(int id, bool enable) const;

    HWND m_window = nullptr;
    HICON m_icon = nullptr;
    GdiBitmap m_skin;
    std::array<CImageButton, 12> m_buttons;
    std::string m_title;
};
