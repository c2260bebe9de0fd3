#include "audio/audio_formats.h"

#include "audio/recording_formats.h"
#include "settings/app_settings.h"
#include "win/message_box.h"

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>

namespace {
constexpr WORD kTagMpegLayer3 = 0x55;
constexpr WORD kTagMsAdpcm = 2;
constexpr WORD kTagPcm = 1;
constexpr DWORD kAllSuggestConstraints = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                                         ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;

void Warn(HWND owner, const std::string& text)
{
    ShowNote(owner, text, MB_OK | MB_ICONEXCLAMATION);
}

void SetRecordingFormat(const AudioFormatSet& set, const RecordingFormat& format)
{
    set.waveinselected = format.bit;
    set.samplesPerSecond = format.samplesPerSecond;
    set.channels = format.channels;
    set.bitsPerSample = format.bitsPerSample;
    BuildRecordFormat(set);
}

// A block that a format read from elsewhere came in may be too small for the size it claims.
bool HoldsFormat(const GlobalBlock& block, std::uint32_t size)
{
    return block.valid() && size >= sizeof(WAVEFORMATEX) && block.size() >= size;
}

// Asks the compression manager for a destination format of the recording format into the block,
// whose fields named by the constraints are kept.
bool SuggestInto(const AudioFormatSet& set, DWORD constraints)
{
    LockedGlobal locked(set.compressedFormat.handle());
    auto* destination = locked.as<WAVEFORMATEX>();
    if (!destination) {
        return false;
    }
    return acmFormatSuggest(nullptr, &set.recordFormat, destination, set.compressedSize, constraints) == MMSYSERR_NOERROR;
}

bool SuggestTag(const AudioFormatSet& set, WORD tag)
{
    BuildRecordFormat(set);
    {
        LockedGlobal locked(set.compressedFormat.handle());
        if (!locked.data()) {
            return false;
        }
        locked.as<WAVEFORMATEX>()->wFormatTag = tag;
    }
    return SuggestInto(set, ACM_FORMATSUGGESTF_WFORMATTAG);
}
} // namespace

AudioFormatSet SettingsAudioFormats()
{
    AppSettings& s = Settings();
    return {s.AudioDeviceID,     s.waveinselected, s.audio_bits_per_sample, s.audio_num_channels,
            s.audio_samples_per_seconds, s.g_recordformat, s.g_audioformat,  s.cbwfx,
            s.bAudioCompression, 0,                s.g_mainwindow};
}

std::uint32_t DeviceFormatMask(std::int32_t deviceId)
{
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(static_cast<UINT_PTR>(static_cast<UINT>(deviceId)), &caps, sizeof(caps)) != MMSYSERR_NOERROR) {
        return 0;
    }
    return caps.dwFormats;
}

void BuildRecordFormat(const AudioFormatSet& set)
{
    const PcmLayout layout = PcmLayoutFor(set.samplesPerSecond, set.channels, set.bitsPerSample);
    WAVEFORMATEX& format = set.recordFormat;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(set.channels);
    format.nSamplesPerSec = static_cast<DWORD>(set.samplesPerSecond);
    format.nBlockAlign = static_cast<WORD>(layout.blockAlign);
    format.nAvgBytesPerSec = static_cast<DWORD>(layout.averageBytesPerSecond);
    format.wBitsPerSample = static_cast<WORD>(set.bitsPerSample);
    format.cbSize = 0;
}

void ChooseRecordingFormatFromDevice(const AudioFormatSet& set)
{
    SetRecordingFormat(set, PreferredRecordingFormat(DeviceFormatMask(set.deviceId)));
}

void CheckRecordingFormat(const AudioFormatSet& set)
{
    const std::uint32_t mask = DeviceFormatMask(set.deviceId);
    // Only a bit of the table names a format; another stored value is chosen afresh.
    if (const RecordingFormat* format = FindRecordingFormat(set.waveinselected);
        format && (mask & static_cast<std::uint32_t>(format->bit)) != 0) {
        BuildRecordFormat(set);
        return;
    }
    ChooseRecordingFormatFromDevice(set);
}

bool AllocAudioFormatBuffer(const AudioFormatSet& set)
{
    if (HoldsFormat(set.compressedFormat, set.compressedSize)) {
        return true;
    }
    DWORD largest = 0;
    const MMRESULT result = acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
    if (result != MMSYSERR_NOERROR) {
        Warn(set.messageOwner, "Metrics failed mmresult=" + std::to_string(result) + "!");
        return false;
    }
    const std::uint32_t size = std::max({static_cast<std::uint32_t>(largest), set.minimumBlockSize,
                                         static_cast<std::uint32_t>(sizeof(WAVEFORMATEX))});
    GlobalBlock block(size);
    if (!block.valid()) {
        Warn(set.messageOwner, "GlobalAllocPtr(" + std::to_string(size) + ") failed!");
        return false;
    }
    set.compressedFormat = std::move(block);
    set.compressedSize = size;
    return true;
}

void SuggestCompressedFormat(const AudioFormatSet& set)
{
    set.compression = 1;
    const bool haveBlock = AllocAudioFormatBuffer(set);
    BuildRecordFormat(set);
    if (haveBlock) {
        if (MpegLayer3Applies(set.samplesPerSecond, set.channels, set.bitsPerSample) && SuggestTag(set, kTagMpegLayer3)) {
            return;
        }
        if (SuggestTag(set, kTagMsAdpcm) || SuggestTag(set, kTagPcm)) {
            return;
        }
    }
    set.compression = 0;
}

void ValidateCompressedFormat(const AudioFormatSet& set)
{
    set.compression = 1;
    const bool haveBlock = AllocAudioFormatBuffer(set);
    BuildRecordFormat(set);
    if (!haveBlock || !SuggestInto(set, kAllSuggestConstraints)) {
        SuggestCompressedFormat(set);
    }
}

bool DescribeAudioFormat(const WAVEFORMATEX& format, std::string& detail, std::string* name)
{
    if (name) {
        ACMFORMATTAGDETAILSA details{};
        details.cbStruct = sizeof(details);
        details.dwFormatTag = format.wFormatTag;
        if (acmFormatTagDetailsA(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) != MMSYSERR_NOERROR) {
            return false;
        }
        *name = std::string(details.szFormatTag, strnlen(details.szFormatTag, sizeof(details.szFormatTag)));
    }
    detail = AudioFormatDetailText(format.nSamplesPerSec, format.wBitsPerSample, format.nChannels,
                                   format.nAvgBytesPerSec);
    return true;
}

void ChooseDefaultAudioFormats()
{
    ChooseRecordingFormatFromDevice();
    SuggestCompressedFormat();
}
