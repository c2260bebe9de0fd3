#pragma once
// "Video Options": the compressor and its quality, the key-frame interval, the capture interval and
// the playback rate, or the last three derived from the time-lapse slider ("Auto Adjust").
#include "win/dialog_controls.h"

#include <vfw.h>

class CVideoOptionsDialog : public CControlsDialog {
public:
    CVideoOptionsDialog();

    // Rebuilds the compressor list, then runs the dialog; the OK handler stores the settings.
    static void Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void FillCompressors();
    void ApplyAutoAdjust();
    void RecomputeFromTimeLapse();
    void UpdateCompressorButtons();
    const ICINFO* SelectedCompressor() const;

    DropDown m_compressors;
    PushButton m_about;
    PushButton m_configure;
    Trackbar m_quality;
    TextField m_qualityLabel;
    TextField m_keyFrames;
    TextField m_captureInterval;
    TextField m_playbackRate;
    CheckBox m_autoAdjust;
    Trackbar m_timeLapse;
    bool m_autoAdjustOn = false;
};
