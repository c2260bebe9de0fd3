#include "options/video_options_dialog.h"

#include "options/compressor_choice.h"
#include "options/video_options_rules.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/rate_mapping.h"
#include "win/message_box.h"

namespace {
std::string FromWide(const WCHAR* text)
{
    char buffer[sizeof(ICINFO::szDescription)] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    return buffer;
}
} // namespace

CVideoOptionsDialog::CVideoOptionsDialog() : CControlsDialog(IDD_VIDEOOPTIONS) {}

void CVideoOptionsDialog::Run(HWND owner)
{
    RebuildCompressorList();
    CVideoOptionsDialog dialog;
    dialog.DoModal(owner);
}

BOOL CVideoOptionsDialog::OnInitDialog()
{
    Bind(m_compressors, IDC_COMPRESSORS);
    Bind(m_about, IDC_COMPRESSOR_ABOUT);
    Bind(m_configure, IDC_COMPRESSOR_CONFIGURE);
    Bind(m_quality, IDC_QUALITY);
    Bind(m_qualityLabel, IDC_QUALITY_VALUE);
    Bind(m_keyFrames, IDC_KEYFRAMES);
    Bind(m_captureInterval, IDC_CAPTURE_INTERVAL);
    Bind(m_playbackRate, IDC_PLAYBACK_RATE);
    Bind(m_autoAdjust, IDC_AUTO_ADJUST);
    Bind(m_timeLapse, IDC_TIME_LAPSE);

    const AppSettings& settings = Settings();
    m_playbackRate.SetNumber(settings.frames_per_second);
    m_keyFrames.SetNumber(settings.keyFramesEvery);
    m_captureInterval.SetNumber(settings.timelapse);
    m_qualityLabel.SetNumber(QualitySliderPosition(settings.compquality));
    m_quality.SetRange(1, 100);
    m_quality.SetPosition(QualitySliderPosition(settings.compquality));

    m_autoAdjustOn = settings.g_autoadjust != 0;
    m_timeLapse.SetTickFrequency(10);
    m_timeLapse.SetRange(1, 100);
    m_timeLapse.SetPosition(settings.g_valueadjust);
    m_autoAdjust.SetChecked(m_autoAdjustOn);
    ApplyAutoAdjust();
    FillCompressors();

    m_compressors.onChange = [this] { UpdateCompressorButtons(); };
    m_about.onChange = [this] {
        if (const ICINFO* entry = SelectedCompressor()) {
            ShowCompressorAbout(*entry, hwnd());
        }
    };
    m_configure.onChange = [this] {
        if (const ICINFO* entry = SelectedCompressor()) {
            ConfigureCompressor(*entry, hwnd());
        }
    };
    m_autoAdjust.onChange = [this] {
        m_autoAdjustOn = m_autoAdjust.IsChecked();
        ApplyAutoAdjust();
    };
    const auto onScroll = [this] {
        m_qualityLabel.SetNumber(m_quality.Position());
        if (m_autoAdjustOn) {
            RecomputeFromTimeLapse();
        }
    };
    m_quality.onChange = onScroll;
    m_timeLapse.onChange = onScroll;
    return TRUE;
}

void CVideoOptionsDialog::FillCompressors()
{
    const CompressorList& list = Compressors();
    if (list.count == 0) {
        return;
    }
    AppSettings& settings = Settings();
    int selected = -1;
    for (int i = 0; i < list.count; ++i) {
        const ICINFO& entry = list.entries[static_cast<size_t>(i)];
        m_compressors.Add(FromWide(entry.szDescription));
        if (entry.fccHandler == static_cast<DWORD>(settings.compfccHandler.load())) {
            selected = i;
        }
    }
    if (selected < 0) {
        // The stored compressor is not installed: the first one takes its place at once.
        selected = 0;
        settings.compfccHandler = static_cast<std::int32_t>(list.entries[0].fccHandler);
    }
    m_compressors.Select(selected);
    UpdateCompressorButtons();
}

void CVideoOptionsDialog::ApplyAutoAdjust()
{
    m_playbackRate.Enable(!m_autoAdjustOn);
    m_keyFrames.Enable(!m_autoAdjustOn);
    m_captureInterval.Enable(!m_autoAdjustOn);
    m_timeLapse.Enable(m_autoAdjustOn);
    if (m_autoAdjustOn) {
        RecomputeFromTimeLapse();
    }
}

void CVideoOptionsDialog::RecomputeFromTimeLapse()
{
    const RateMapping rate = MapRate(m_timeLapse.Position());
    m_playbackRate.SetNumber(rate.framesPerSecond);
    m_keyFrames.SetNumber(rate.framesPerSecond); // one key frame per second of playback
    m_captureInterval.SetNumber(rate.intervalMs);
}

const ICINFO* CVideoOptionsDialog::SelectedCompressor() const
{
    const int index = m_compressors.Selection();
    const CompressorList& list = Compressors();
    return index >= 0 && index < list.count ? &list.entries[static_cast<size_t>(index)] : nullptr;
}

void CVideoOptionsDialog::UpdateCompressorButtons()
{
    const ICINFO* entry = SelectedCompressor();
    if (!entry) {
        return;
    }
    if (const auto dialogs = QueryCompressorDialogs(*entry)) {
        m_about.Enable(dialogs->about);
        m_configure.Enable(dialogs->configure);
    }
}

void CVideoOptionsDialog::OnOK()
{
    VideoNumbers numbers{m_captureInterval.Number(), m_keyFrames.Number(), m_playbackRate.Number()};
    if (const auto refusal = CheckVideoNumbers(numbers)) {
        Note(LoadMessageText(*refusal, "The value is out of range."), MB_OK);
        return;
    }
    AppSettings& settings = Settings();
    settings.timelapse = *numbers.captureInterval;
    settings.frames_per_second = *numbers.playbackRate;
    settings.keyFramesEvery = *numbers.keyFrames;
    settings.compquality = QualityFromSlider(m_qualityLabel.Number().value_or(m_quality.Position()));
    if (const ICINFO* entry = SelectedCompressor()) {
        settings.compfccHandler = static_cast<std::int32_t>(entry->fccHandler);
        settings.g_compressorname = FromWide(entry->szDescription);
        Compressors().chosen = m_compressors.Selection();
    }
    settings.g_autoadjust = m_autoAdjust.IsChecked() ? 1 : 0;
    settings.g_valueadjust = m_timeLapse.Position();
    EndDialog(IDOK);
}
