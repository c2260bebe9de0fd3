#include "app/app_services.h"

#include "audio/audio_formats.h"
#include "codec/msadpcm_install.h"
#include "codec/video1_install.h"
#include "codec/zmbv_install.h"
#include "common/fourcc.h"
#include "messages/hook_library.h"
#include "recording/compressor_list.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "win/background_work.h"
#include "win/directories.h"
#include "win/handles.h"

SettingsFileSeam& SettingsFiles()
{
    static SettingsFileSeam seam;
    return seam;
}

void CAppServices::Start(HWND mainWindow, UINT keyMessage)
{
    AppSettings& settings = Settings();
    settings.g_mainwindow = mainWindow;
    // Wine's compression manager suggests MS ADPCM but cannot produce it: bring ours first, so that
    // the formats chosen below can be reached.
    InstallMsAdpcmIfNeeded();
    if (SettingsFiles().load) {
        SettingsFiles().load();
    } else {
        // Without settings files the device and the compression manager decide.
        ChooseDefaultAudioFormats();
    }
    Seams().audio = &m_audio;
    InstallKeyHook(mainWindow, keyMessage);
    m_regionWindow = std::make_unique<CRegionWindow>();
    if (m_regionWindow->Create()) {
        Seams().regionSelection = m_regionWindow.get();
    }
    {
        WindowDC screen(nullptr);
        settings.g_capturebits = GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
    }
    // Wine's own Video 1 only decompresses: bring ours when the system's cannot take the screen.
    InstallVideo1IfNeeded(settings.g_capturebits, settings.g_screenwidth, settings.g_screenheight);
    // Without a ZMBV compressor of the system's, ours offers lossless recording.
    InstallZmbvIfNeeded(settings.g_capturebits, settings.g_screenwidth, settings.g_screenheight);
    settings.compfccHandler = FourCCAsSigned(kFourCCVideo1);
    m_flashingFrame = std::make_unique<CFlashingFrame>();
    if (m_flashingFrame->Create()) {
        Seams().flashingFrame = m_flashingFrame.get();
    }
    settings.cursordir = GetWindowsDirectoryPath() + "\\cursors";
    settings.savedir = GetDefaultSaveDirectory();
}

void CAppServices::SaveSettings() const
{
    if (SettingsFiles().saveOrForget) {
        SettingsFiles().saveOrForget();
    }
}

void CAppServices::Stop()
{
    AppSettings& settings = Settings();
    SaveSettings();
    UninstallKeyHook();
    // The region window takes the bitmap under its label with it.
    Seams().regionSelection = nullptr;
    m_regionWindow.reset();
    Compressors().count = 0;
    Seams().flashingFrame = nullptr;
    m_flashingFrame.reset();
    Seams().audio = nullptr;
    settings.g_audioformat.reset();
    settings.g_compressorstate.reset();
    RemoveVideo1();
    RemoveZmbv();
    RemoveMsAdpcm();
    BackgroundWork().Drain();
    settings.g_mainwindow = nullptr;
}
