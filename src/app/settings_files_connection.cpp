#include "app/settings_files_connection.h"

#include "app/main_dialog.h"
#include "audio/audio_formats.h"
#include "settings/settings_files.h"
#include "win/directories.h"

namespace {
class SettingsAudioFormatOperations final : public IAudioFormatOperations {
public:
    void ChooseRecordingFormatFromDevice() override { ::ChooseRecordingFormatFromDevice(m_set); }
    void CheckRecordingFormat() override { ::CheckRecordingFormat(m_set); }
    void SuggestCompressedFormat() override { ::SuggestCompressedFormat(m_set); }
    void ValidateCompressedFormat() override { ::ValidateCompressedFormat(m_set); }
    bool AllocAudioFormatBuffer() override { return ::AllocAudioFormatBuffer(m_set); }

private:
    AudioFormatSet m_set = SettingsAudioFormats();
};
} // namespace

void ConnectSettingsFiles()
{
    SettingsFiles().load = [] {
        SettingsAudioFormatOperations audio;
        LoadSettings(Settings(), audio, GetSettingsDirectory());
    };
    SettingsFiles().saveOrForget = [] { SaveOrForgetSettings(Settings(), GetSettingsDirectory()); };
}
