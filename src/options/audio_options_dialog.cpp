#include "options/audio_options_dialog.h"

#include "audio/computer_sound.h"
#include "audio/recording_formats.h"
#include "options/volume_control.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/message_box.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>

#include <commctrl.h>

namespace {
constexpr const char* kNoneAvailable = "None Available";
constexpr UINT_PTR kLevelTimer = 1;
constexpr UINT kLevelMilliseconds = 100;
// A meter falls this much a tick, so that it does not flicker between buffers.
constexpr int kMeterFall = 8;

// Two radio buttons of which the one clicked is on and the other off.
void EitherOr(CheckBox& one, CheckBox& other)
{
    one.onChange = [&one, &other] {
        one.SetChecked(true);
        other.SetChecked(false);
    };
    other.onChange = [&one, &other] {
        one.SetChecked(false);
        other.SetChecked(true);
    };
}
} // namespace

CAudioOptionsDialog::CAudioOptionsDialog() : CControlsDialog(IDD_AUDIOOPTIONS) {}

void CAudioOptionsDialog::Run(HWND owner)
{
    if (waveInGetNumDevs() == 0) {
        return;
    }
    CAudioOptionsDialog dialog;
    dialog.m_recordAudio = Settings().recordaudio;
    if (dialog.DoModal(owner) == IDOK) {
        Settings().recordaudio = dialog.m_recordAudio;
    }
}

AudioFormatSet CAudioOptionsDialog::WorkingSet()
{
    return {m_deviceId,     m_waveinselected,  m_bits,          m_channels,           m_rate,
            m_recordFormat, m_compressed,      m_compressedSize, m_compression,       Settings().cbwfx,
            hwnd()};
}

BOOL CAudioOptionsDialog::OnInitDialog()
{
    Bind(m_recordAudioBox, IDC_RECORD_AUDIO);
    Bind(m_devices, IDC_AUDIO_DEVICES);
    Bind(m_volume, IDC_AUDIO_VOLUME);
    Bind(m_computerSound, IDC_COMPUTER_SOUND);
    Bind(m_computerOutputs, IDC_COMPUTER_OUTPUT);
    Bind(m_mixed, IDC_SOUND_MIXED);
    Bind(m_tracks, IDC_SOUND_TRACKS);

    Bind(m_formats, IDC_AUDIO_FORMATS);
    Bind(m_formatName, IDC_COMPRESSED_NAME);
    Bind(m_formatDetail, IDC_COMPRESSED_DETAIL);
    Bind(m_choose, IDC_CHOOSE_COMPRESSED);
    Bind(m_interleave, IDC_INTERLEAVE);
    Bind(m_factor, IDC_INTERLEAVE_FACTOR);
    Bind(m_frames, IDC_INTERLEAVE_FRAMES);
    Bind(m_milliseconds, IDC_INTERLEAVE_MILLISECONDS);

    const AppSettings& settings = Settings();
    m_recordAudioBox.SetChecked(m_recordAudio == 1);
    m_computerSound.SetChecked(settings.computerSound == 1);
    m_mixed.SetChecked(settings.computerSoundTracks != 1);
    m_tracks.SetChecked(settings.computerSoundTracks == 1);
    FillComputerOutputs();
    m_interleave.SetChecked(settings.interleaveFrames == 1);
    m_factor.SetNumber(settings.interleaveFactor);
    EnableInterleaveControls();
    m_frames.SetChecked(settings.interleaveUnit == kInterleaveFrames);
    m_milliseconds.SetChecked(settings.interleaveUnit != kInterleaveFrames);

    m_bits = settings.audio_bits_per_sample;
    m_rate = settings.audio_samples_per_seconds;
    m_channels = settings.audio_num_channels;
    m_compression = settings.bAudioCompression;
    m_waveinselected = settings.waveinselected;
    BuildRecordFormat(WorkingSet());

    m_devices.Add("Default input device");
    m_deviceIds = {-1};
    const UINT count = waveInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        WAVEINCAPSA caps{};
        if (waveInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR) {
            m_devices.Add(std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname))));
            m_deviceIds.push_back(static_cast<std::int32_t>(id));
        }
    }
    const auto match = std::find(m_deviceIds.rbegin(), m_deviceIds.rend(), settings.AudioDeviceID);
    m_devices.Select(match == m_deviceIds.rend() ? 0 : static_cast<int>(m_deviceIds.rend() - match) - 1);
    if (m_devices.Selection() >= 0) {
        FillFormats(SelectedDevice(), settings.waveinselected, &settings.g_audioformat);
    }
    EnableRecordingControls();

    m_recordAudioBox.onChange = [this] {
        EnableRecordingControls();
        ListenToSources();
    };
    m_computerSound.onChange = [this] {
        EnableRecordingControls();
        ListenToSources();
    };
    m_computerOutputs.onChange = [this] { ListenToSources(); };
    EitherOr(m_mixed, m_tracks);

    m_interleave.onChange = [this] { EnableInterleaveControls(); };
    EitherOr(m_frames, m_milliseconds);
    m_devices.onChange = [this] {
        if (m_devices.Selection() >= 0) {
            FillFormats(SelectedDevice(), Settings().waveinselected, nullptr);
        }
        ListenToSources();
    };
    m_formats.onChange = [this] {
        ApplyFormatSelection();
        ListenToSources();
    };
    m_choose.onChange = [this] { ChooseCompressedFormat(); };
    m_volume.onChange = [this] { LaunchVolumeControl(); };
    ListenToSources();
    SetTimer(hwnd(), kLevelTimer, kLevelMilliseconds, nullptr);
    return TRUE;
}

INT_PTR CAudioOptionsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == kLevelTimer) {
        ShowLevels();
        return TRUE;
    }
    return CControlsDialog::HandleMessage(message, wParam, lParam);
}

// What each source delivers now, in the format and from the devices chosen in the dialog.
void CAudioOptionsDialog::ListenToSources()
{
    m_levels.Listen(m_recordAudioBox.IsChecked(), SelectedDevice(), m_recordFormat, m_computerSound.IsChecked(),
                    SelectedOutput());
}

void CAudioOptionsDialog::ShowLevels()
{
    const auto show = [this](int id, float peak, int& meter) {
        meter = std::max(MeterPosition(peak), meter - kMeterFall);
        SendDlgItemMessageA(hwnd(), id, PBM_SETPOS, static_cast<WPARAM>(std::max(meter, 0)), 0);
    };
    show(IDC_MICROPHONE_LEVEL, m_levels.MicrophonePeak(), m_microphoneMeter);
    show(IDC_COMPUTER_LEVEL, m_levels.ComputerPeak(), m_computerMeter);
}

int CAudioOptionsDialog::SelectedOutput() const
{
    const int entry = m_computerOutputs.Selection();
    return entry >= 0 && entry < static_cast<int>(m_outputIds.size()) ? m_outputIds[static_cast<std::size_t>(entry)]
                                                                       : -1;
}

std::int32_t CAudioOptionsDialog::SelectedDevice() const
{
    const int entry = m_devices.Selection();
    return entry >= 0 && entry < static_cast<int>(m_deviceIds.size()) ? m_deviceIds[static_cast<size_t>(entry)] : -1;
}

void CAudioOptionsDialog::FillFormats(std::int32_t deviceId, std::int32_t wanted, const GlobalBlock* compressed)
{
    m_deviceId = deviceId;
    const std::uint32_t mask = DeviceFormatMask(deviceId);
    m_formats.Clear();
    m_formatBits.clear();
    for (const RecordingFormat& format : kRecordingFormats) {
        if (mask & static_cast<std::uint32_t>(format.bit)) {
            m_formats.Add(LoadResourceString(static_cast<UINT>(format.stringId), RecordingFormatText(format).c_str()));
            m_formatBits.push_back(format.bit);
        }
    }
    if (m_formatBits.empty()) {
        m_formats.Add(kNoneAvailable);
        m_formats.Select(0);
        m_formatName.SetText(kNoneAvailable);
        m_formatDetail.SetText(" ");
        m_choose.Enable(false);
        return;
    }
    m_choose.Enable(true);
    const auto found = std::find(m_formatBits.rbegin(), m_formatBits.rend(), wanted);
    if (found == m_formatBits.rend()) {
        m_formats.Select(0);
        ApplyFormatSelection();
        return;
    }
    if (AllocAudioFormatBuffer(WorkingSet())) {
        if (compressed && compressed->valid()) {
            LockedGlobal from(compressed->handle());
            LockedGlobal to(m_compressed.handle());
            const std::size_t bytes = std::min<std::size_t>({Settings().cbwfx, compressed->size(), m_compressed.size()});
            if (from.data() && to.data()) {
                std::memcpy(to.data(), from.data(), bytes);
            }
        } else {
            SuggestCompressedFormat(WorkingSet());
        }
    }
    ShowCompressedFormat();
    m_formats.Select(static_cast<int>(m_formatBits.rend() - found) - 1);
}

void CAudioOptionsDialog::ApplyFormatSelection()
{
    const int entry = m_formats.Selection();
    if (m_formatBits.empty() || entry < 0) {
        return;
    }
    const RecordingFormat* format = FindRecordingFormat(m_formatBits[static_cast<size_t>(entry)]);
    if (!format) {
        return;
    }
    m_bits = format->bitsPerSample;
    m_channels = format->channels;
    m_rate = format->samplesPerSecond;
    BuildRecordFormat(WorkingSet());
    SuggestCompressedFormat(WorkingSet());
    ShowCompressedFormat();
}

void CAudioOptionsDialog::ShowCompressedFormat()
{
    if (m_compression != 1) {
        m_formatName.SetText(kNoneAvailable);
        m_formatDetail.SetText(" ");
        return;
    }
    LockedGlobal block(m_compressed.handle());
    std::string name;
    std::string detail;
    if (block.data() && m_compressedSize >= sizeof(WAVEFORMATEX) &&
        DescribeAudioFormat(*block.as<WAVEFORMATEX>(), detail, &name)) {
        m_formatName.SetText(name);
        m_formatDetail.SetText(detail);
    }
}

// The loopback of the default output needs no choice; monitors (under Wine) are listed by name,
// since the system's order of them means nothing.
void CAudioOptionsDialog::FillComputerOutputs()
{
    const ComputerSoundChoices choices = ListComputerSound(Settings().computerSoundDevice);
    m_outputIds.clear();
    if (!choices.loopback.empty()) {
        m_computerOutputs.Add(choices.loopback + " (what it plays)");
    }
    for (const auto& [id, name] : choices.monitors) {
        m_computerOutputs.Add(name);
        m_outputIds.push_back(id);
        if (id == choices.recorded) {
            m_computerOutputs.Select(m_computerOutputs.Count() - 1);
        }
    }
    if (m_computerOutputs.Count() == 0) {
        m_computerOutputs.Add(kNoneAvailable);
    }
    if (m_computerOutputs.Selection() < 0) {
        m_computerOutputs.Select(0);
    }
}

void CAudioOptionsDialog::EnableRecordingControls()
{
    const bool microphone = m_recordAudioBox.IsChecked();
    const bool computer = m_computerSound.IsChecked();
    m_devices.Enable(microphone);
    m_volume.Enable(microphone);
    m_computerOutputs.Enable(computer && m_outputIds.size() > 1);
    m_mixed.Enable(computer);
    m_tracks.Enable(computer);
    for (const DialogControl* control : std::initializer_list<const DialogControl*>{
             &m_formats, &m_formatName, &m_formatDetail, &m_choose, &m_interleave, &m_factor, &m_frames,
             &m_milliseconds}) {
        control->Enable(microphone || computer);
    }
}

void CAudioOptionsDialog::EnableInterleaveControls()
{
    const bool on = m_interleave.IsChecked();
    m_factor.Enable(on);
    m_frames.Enable(on);
    m_milliseconds.Enable(on);
}

void CAudioOptionsDialog::ChooseCompressedFormat()
{
    if (!m_compressed.valid()) {
        SuggestCompressedFormat(WorkingSet());
        if (!m_compressed.valid()) {
            return;
        }
    }
    LockedGlobal block(m_compressed.handle());
    ACMFORMATCHOOSEA chooser{};
    chooser.cbStruct = sizeof(chooser);
    chooser.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
    chooser.hwndOwner = hwnd();
    chooser.pwfx = block.as<WAVEFORMATEX>();
    chooser.cbwfx = m_compressedSize;
    chooser.pszTitle = "Audio Compression Format";
    chooser.fdwEnum = ACM_FORMATENUMF_SUGGEST;
    chooser.pwfxEnum = &m_recordFormat;
    const MMRESULT result = acmFormatChooseA(&chooser);
    if (result == MMSYSERR_NOERROR) {
        ShowCompressedFormat();
    } else if (result != ACMERR_CANCELED) {
        Note("FormatChoose() failed with error = " + std::to_string(result) + "!");
    }
}

void CAudioOptionsDialog::LaunchVolumeControl()
{
    if (waveInGetNumDevs() == 0) {
        Note("Unable to detect audio input device. You need a sound card with microphone input.");
        return;
    }
    switch (OpenRecordingVolumeControl()) {
    case VolumeControl::kNone:
        Note("This system has no volume control for recording that Framelark can open.");
        break;
    case VolumeControl::kFailed:
        Note("Error launching Volume Control!");
        break;
    case VolumeControl::kOpened:
        break;
    }
}

void CAudioOptionsDialog::OnOK()
{
    m_recordAudio = m_recordAudioBox.IsChecked() ? 1 : 0;
    const std::int32_t factor = m_factor.Number().value_or(0);
    if (factor <= 0) {
        Note("Interleave factor must greater than 0");
        return;
    }
    AppSettings& settings = Settings();
    settings.computerSound = m_computerSound.IsChecked() ? 1 : 0;
    settings.computerSoundTracks = m_tracks.IsChecked() ? 1 : 0;
    if (const int output = SelectedOutput(); output >= 0) {
        settings.computerSoundDevice = output;
    }
    settings.interleaveFactor = factor;
    settings.interleaveFrames = m_interleave.IsChecked() ? 1 : 0;
    settings.interleaveUnit = m_frames.IsChecked() ? kInterleaveFrames : kInterleaveMilliseconds;

    const int formatEntry = m_formats.Selection();
    if (!m_formatBits.empty() && formatEntry >= 0 && m_compressed.valid() && m_devices.Selection() >= 0) {
        // The stored block may be smaller than the working one (a settings file of another
        // machine): it is replaced rather than the choice being dropped.
        if (!settings.g_audioformat.valid() || settings.g_audioformat.size() < m_compressedSize) {
            GlobalBlock larger(m_compressedSize);
            if (larger.valid()) {
                settings.g_audioformat = std::move(larger);
            }
        }
        if (settings.g_audioformat.size() >= m_compressedSize) {
            settings.AudioDeviceID = SelectedDevice();
            settings.cbwfx = m_compressedSize;
            settings.bAudioCompression = m_compression;
            LockedGlobal from(m_compressed.handle());
            LockedGlobal to(settings.g_audioformat.handle());
            if (from.data() && to.data()) {
                std::memcpy(to.data(), from.data(), m_compressedSize);
            }
            settings.waveinselected = m_formatBits[static_cast<size_t>(formatEntry)];
            settings.audio_bits_per_sample = m_bits;
            settings.audio_num_channels = m_channels;
            settings.audio_samples_per_seconds = m_rate;
            BuildRecordFormat();
        }
    }
    EndDialog(IDOK);
}
