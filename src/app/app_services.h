#pragma once
// What the program sets up at start and takes down at shutdown, in that order: the settings, the
// built-in compressors, the keyboard hook, the region and flashing windows, the sound capture.
#include <windows.h>

#include "recording/recording_audio.h"
#include "region/flashing_frame.h"
#include "region/region_window.h"

#include <memory>

// Reading and writing the settings files; the program connects them at start, tests may leave them empty.
struct SettingsFileSeam {
    void (*load)() = nullptr;
    void (*saveOrForget)() = nullptr;
};
SettingsFileSeam& SettingsFiles();

class CAppServices {
public:
    void Start(HWND mainWindow, UINT keyMessage);
    void SaveSettings() const;
    // Saves the settings and takes everything down; the temporary files still being deleted are
    // finished first.
    void Stop();
    CRegionWindow* regionWindow() const { return m_regionWindow.get(); }

private:
    std::unique_ptr<CRegionWindow> m_regionWindow;
    std::unique_ptr<CFlashingFrame> m_flashingFrame;
    CAudioCapture m_audio;
};
