#pragma once
// "General Options": how the recording region is chosen (a window to follow among them), the fixed
// region's size and corner (typed or drawn on the region selection window while the dialog stays
// open), four program options and the ffmpeg.exe that saves MP4, WebM and GIF files, and the
// countdown before a recording.
#include "win/dialog_controls.h"

class CRegionWindow;

class CGeneralOptionsDialog : public CControlsDialog {
public:
    explicit CGeneralOptionsDialog(CRegionWindow* regionWindow);

    // Runs the dialog; the region window reports to the main window again afterwards.
    static void Run(HWND owner, CRegionWindow* regionWindow);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void SetMode(int mode);
    void EnableCorner();
    void SelectFixedRegion();
    void OnRegionChosen();

    CRegionWindow* m_regionWindow;
    int m_mode = 1;
    CheckBox m_normal;
    CheckBox m_fixed;
    CheckBox m_fullScreen;
    CheckBox m_window;
    PushButton m_selectRegion;
    CheckBox m_fixedCorner;
    TextField m_left;
    TextField m_top;
    TextField m_width;
    TextField m_height;
    CheckBox m_minimize;
    CheckBox m_hideFlashing;
    CheckBox m_play;
    CheckBox m_saveSettings;
    TextField m_ffmpegPath;
    PushButton m_ffmpegBrowse;
    TextField m_countdown;
};
