#pragma once
// "Audio Options": whether sound is recorded from the microphone, from which input device, and
// whether the computer's own sound too (from which output; mixed into the same track), in
// which recording format, the compressed format it becomes in the movie, and how sound and
// pictures are interleaved. The formats are edited in a working copy that only OK writes back.
#include "audio/audio_formats.h"
#include "audio/sound_levels.h"
#include "win/dialog_controls.h"

#include <vector>

class CAudioOptionsDialog : public CControlsDialog {
public:
    CAudioOptionsDialog();

    // Does nothing without a wave input device; on OK, "Record Audio" and the rest are stored.
    static void Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    AudioFormatSet WorkingSet();
    void FillFormats(std::int32_t deviceId, std::int32_t wanted, const GlobalBlock* compressed);
    void ApplyFormatSelection();
    void ShowCompressedFormat();
    void FillComputerOutputs();
    int SelectedOutput() const;
    void ListenToSources();
    void ShowLevels();
    void EnableRecordingControls();
    void EnableInterleaveControls();
    void ChooseCompressedFormat();
    void LaunchVolumeControl();
    std::int32_t SelectedDevice() const;

    std::int32_t m_recordAudio = 0;
    std::vector<std::int32_t> m_outputIds; // the wave input behind each monitor entry
    std::vector<std::int32_t> m_deviceIds;  // behind each device entry; -1 is the default device
    std::vector<std::int32_t> m_formatBits; // behind each format entry; empty for "None Available"

    // The working copy of the audio formats.
    std::int32_t m_deviceId = -1;
    std::int32_t m_waveinselected = 0;
    std::int32_t m_bits = 0;
    std::int32_t m_channels = 0;
    std::int32_t m_rate = 0;
    WAVEFORMATEX m_recordFormat{};
    GlobalBlock m_compressed;
    std::uint32_t m_compressedSize = 0;
    std::int32_t m_compression = 0;

    CheckBox m_recordAudioBox;
    DropDown m_devices;
    PushButton m_volume;
    CheckBox m_computerSound;
    DropDown m_computerOutputs;
    CheckBox m_mixed; // the computer's sound mixed into the microphone's track, or
    CheckBox m_tracks; // on a track of its own
    DropDown m_formats;
    TextField m_formatName;
    TextField m_formatDetail;
    PushButton m_choose;
    CheckBox m_interleave;
    CSoundLevels m_levels;
    int m_microphoneMeter = 0;
    int m_computerMeter = 0;
    TextField m_factor;
    CheckBox m_frames;
    CheckBox m_milliseconds;
};
