#include "recording/recording_audio.h"

#include "audio/audio_capture.h"
#include "settings/app_settings.h"

void CAudioCapture::Start()
{
    StartAudioRecording();
    if (Settings().recordaudio != 0) {
        OpenWaveInput(&Settings().g_recordformat);
    }
}

void CAudioCapture::Stop()
{
    StopWaveInput();
    FinishSoundMixing();
    ReleaseWaveFile();
}

bool CAudioCapture::Failed() const
{
    return SoundFileFailed();
}
