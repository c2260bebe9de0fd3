#pragma once
// The settings files in the settings folder (GetSettingsDirectory): CS.ini and Cdata.ini hold the
// settings, CCursor.ini a copy of the chosen cursor file, NoSave.ini marks "Save Settings on Exit"
// turned off. They are read once at start and written once at exit.
#include "settings/app_settings.h"

#include <string>

// The audio format choices the loader makes; the program hands in the real ones.
class IAudioFormatOperations {
public:
    virtual ~IAudioFormatOperations() = default;
    virtual void ChooseRecordingFormatFromDevice() = 0;
    virtual void CheckRecordingFormat() = 0;
    virtual void SuggestCompressedFormat() = 0;
    virtual void ValidateCompressedFormat() = 0;
    virtual bool AllocAudioFormatBuffer() = 0; // true when g_audioformat exists
};

// Never fails: what cannot be read keeps its value. Also completes a save that was cut short.
void LoadSettings(AppSettings& settings, IAudioFormatOperations& audio, const std::string& folder);

// Saves when savesettings is 1; otherwise leaves only the NoSave.ini marker.
void SaveOrForgetSettings(const AppSettings& settings, const std::string& folder);

// CS.ini and Cdata.ini are replaced together or not at all; false (after telling the user) when the
// previous files stay.
bool SaveSettings(const AppSettings& settings, const std::string& folder);
