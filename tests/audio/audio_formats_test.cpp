#include "audio/audio_formats.h"

#include "audio/recording_formats.h"
#include "codec/acm_driver_messages.h"
#include "win/message_box.h"

#include <mmreg.h>
#include <msacm.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

namespace {
constexpr WORD kMpegLayer3 = 0x55;

// An audio codec of the test's own, added to the compression manager while it lives.
class AnyPcmToMpegLayer3 {
public:
    AnyPcmToMpegLayer3()
    {
        m_added = acmDriverAddA(&m_id, GetModuleHandleA(nullptr), reinterpret_cast<LPARAM>(&Procedure), 0,
                                ACM_DRIVERADDF_FUNCTION | ACM_DRIVERADDF_LOCAL) == MMSYSERR_NOERROR;
    }
    ~AnyPcmToMpegLayer3()
    {
        if (m_added) {
            acmDriverRemove(m_id, 0);
        }
    }
    bool Added() const { return m_added; }

private:
    static constexpr DWORD kFormatSize = sizeof(WAVEFORMATEX) + 12;

    static LRESULT CALLBACK Procedure(DWORD_PTR, HDRVR, UINT message, LPARAM first, LPARAM second)
    {
        switch (message) {
        case DRV_LOAD:
        case DRV_FREE:
        case DRV_ENABLE:
        case DRV_DISABLE:
        case DRV_OPEN:
        case DRV_CLOSE:
            return 1;
        case kAcmDriverDetails: {
            auto* details = reinterpret_cast<ACMDRIVERDETAILSW*>(first);
            details->fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
            details->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
            details->cFormatTags = 2;
            wcscpy(details->szShortName, L"Test MP3");
            wcscpy(details->szLongName, L"Test MPEG Layer-3 codec");
            return MMSYSERR_NOERROR;
        }
        case kAcmFormatTagDetails: {
            auto* details = reinterpret_cast<ACMFORMATTAGDETAILSW*>(first);
            const DWORD query = static_cast<DWORD>(second) & ACM_FORMATTAGDETAILSF_QUERYMASK;
            WORD tag = 0;
            if (query == ACM_FORMATTAGDETAILSF_INDEX) {
                tag = details->dwFormatTagIndex == 0 ? WAVE_FORMAT_PCM : kMpegLayer3;
            } else if (details->dwFormatTag == WAVE_FORMAT_PCM || details->dwFormatTag == kMpegLayer3 ||
                       (query == ACM_FORMATTAGDETAILSF_LARGESTSIZE && details->dwFormatTag == WAVE_FORMAT_UNKNOWN)) {
                tag = details->dwFormatTag == WAVE_FORMAT_PCM ? WAVE_FORMAT_PCM : kMpegLayer3;
            } else {
                return ACMERR_NOTPOSSIBLE;
            }
            details->dwFormatTagIndex = tag == WAVE_FORMAT_PCM ? 0 : 1;
            details->dwFormatTag = tag;
            details->cbFormatSize = tag == WAVE_FORMAT_PCM ? sizeof(PCMWAVEFORMAT) : kFormatSize;
            details->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
            details->cStandardFormats = 1;
            wcscpy(details->szFormatTag, tag == WAVE_FORMAT_PCM ? L"PCM" : L"MPEG Layer-3");
            return MMSYSERR_NOERROR;
        }
        case kAcmFormatSuggest: {
            auto* suggest = reinterpret_cast<AcmDriverFormatSuggest*>(first);
            const WAVEFORMATEX* source = suggest->pwfxSrc;
            WAVEFORMATEX* destination = suggest->pwfxDst;
            if (source->wFormatTag != WAVE_FORMAT_PCM || !(suggest->fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) ||
                destination->wFormatTag != kMpegLayer3 || suggest->cbwfxDst < kFormatSize) {
                return ACMERR_NOTPOSSIBLE;
            }
            std::memset(destination, 0, kFormatSize);
            *destination = {kMpegLayer3, source->nChannels, source->nSamplesPerSec, 4000, 1, 0, 12};
            return MMSYSERR_NOERROR;
        }
        default:
            return MMSYSERR_NOTSUPPORTED;
        }
    }

    HACMDRIVERID m_id = nullptr;
    bool m_added = false;
};

// A set of format values of its own, like a dialog's working copy.
struct WorkingFormats {
    std::int32_t deviceId = -1;
    std::int32_t waveinselected = 128;
    std::int32_t bits = 16;
    std::int32_t channels = 2;
    std::int32_t rate = 22050;
    WAVEFORMATEX record{};
    GlobalBlock compressed;
    std::uint32_t compressedSize = 0;
    std::int32_t compression = 0;

    AudioFormatSet Set(std::uint32_t minimum = 0)
    {
        return {deviceId, waveinselected, bits, channels, rate, record, compressed, compressedSize, compression, minimum,
                nullptr};
    }
    WAVEFORMATEX Compressed() const
    {
        LockedGlobal locked(compressed.handle());
        return *locked.as<WAVEFORMATEX>();
    }
    void StoreCompressed(WORD tag, WORD channelCount, DWORD samplesPerSecond, WORD bitsPerSample)
    {
        compressed = GlobalBlock(64);
        compressedSize = 64;
        LockedGlobal locked(compressed.handle());
        auto* format = locked.as<WAVEFORMATEX>();
        format->wFormatTag = tag;
        format->nChannels = channelCount;
        format->nSamplesPerSec = samplesPerSecond;
        format->wBitsPerSample = bitsPerSample;
    }
};

// What the compression manager offers for a tag, asked directly.
bool CanSuggest(WAVEFORMATEX source, WORD tag)
{
    std::uint8_t buffer[256] = {};
    auto* destination = reinterpret_cast<WAVEFORMATEX*>(buffer);
    destination->wFormatTag = tag;
    return acmFormatSuggest(nullptr, &source, destination, sizeof(buffer), ACM_FORMATSUGGESTF_WFORMATTAG) ==
           MMSYSERR_NOERROR;
}
} // namespace

TEST(AudioFormats, StringResourcesHoldTheFormatTexts)
{
    for (const RecordingFormat& format : kRecordingFormats) {
        EXPECT_EQ(LoadResourceString(format.stringId, "<missing>"), RecordingFormatText(format));
    }
}

TEST(AudioFormats, RecordFormatIsPcmOfTheThreeSettings)
{
    WorkingFormats working;
    for (const RecordingFormat& format : kRecordingFormats) {
        working.rate = format.samplesPerSecond;
        working.channels = format.channels;
        working.bits = format.bitsPerSample;
        working.record.cbSize = 99;
        BuildRecordFormat(working.Set());
        const WAVEFORMATEX& r = working.record;
        EXPECT_EQ(r.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(r.nChannels, format.channels);
        EXPECT_EQ(r.nSamplesPerSec, static_cast<DWORD>(format.samplesPerSecond));
        EXPECT_EQ(r.wBitsPerSample, format.bitsPerSample);
        EXPECT_EQ(r.nBlockAlign, format.bitsPerSample / 8 * format.channels);
        EXPECT_EQ(r.nAvgBytesPerSec, r.nSamplesPerSec * r.nBlockAlign);
        EXPECT_EQ(r.cbSize, 0);
    }
}

TEST(AudioFormats, RecordingFormatFollowsTheDevice)
{
    WorkingFormats working;
    const std::uint32_t mask = DeviceFormatMask(working.deviceId);
    const RecordingFormat& preferred = PreferredRecordingFormat(mask);

    working.waveinselected = 0;
    ChooseRecordingFormatFromDevice(working.Set());
    EXPECT_EQ(working.waveinselected, preferred.bit);
    EXPECT_EQ(working.rate, preferred.samplesPerSecond);
    EXPECT_EQ(working.record.nSamplesPerSec, static_cast<DWORD>(preferred.samplesPerSecond));

    // A supported choice is kept; an unsupported or unknown one is chosen afresh.
    for (const RecordingFormat& format : kRecordingFormats) {
        working.waveinselected = format.bit;
        working.rate = format.samplesPerSecond;
        working.channels = format.channels;
        working.bits = format.bitsPerSample;
        CheckRecordingFormat(working.Set());
        const RecordingFormat& expected = (mask & format.bit) ? format : preferred;
        EXPECT_EQ(working.waveinselected, expected.bit);
        EXPECT_EQ(working.record.nChannels, expected.channels);
    }
    working.waveinselected = 3;
    CheckRecordingFormat(working.Set());
    EXPECT_EQ(working.waveinselected, preferred.bit);
}

TEST(AudioFormats, SuggestionPrefersMpegLayer3ThenAdpcm)
{
    // A codec that makes MPEG Layer-3 from any PCM: where it is not chosen, it was not asked.
    AnyPcmToMpegLayer3 mp3;
    ASSERT_TRUE(mp3.Added());
    struct Case {
        std::int32_t rate, channels, bits;
        WORD tag;
    };
    const Case cases[] = {
        {22050, 2, 16, kMpegLayer3}, {22050, 2, 8, kMpegLayer3},      {11025, 1, 8, WAVE_FORMAT_ADPCM},
        {22050, 1, 16, WAVE_FORMAT_ADPCM}, {44100, 2, 16, WAVE_FORMAT_ADPCM},
    };
    for (const Case& c : cases) {
        WorkingFormats working;
        working.rate = c.rate;
        working.channels = c.channels;
        working.bits = c.bits;
        SuggestCompressedFormat(working.Set());
        EXPECT_EQ(working.compression, 1);
        EXPECT_EQ(working.Compressed().wFormatTag, c.tag) << c.rate << " " << c.channels << " " << c.bits;
        EXPECT_EQ(working.Compressed().nSamplesPerSec, static_cast<DWORD>(c.rate));
        EXPECT_EQ(working.Compressed().nChannels, c.channels);
    }
}

TEST(AudioFormats, SuggestionOnThisPlatform)
{
    WorkingFormats working;
    SuggestCompressedFormat(working.Set());
    DWORD largest = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(working.compressedSize, largest);
    EXPECT_EQ(working.compression, 1);
    const WAVEFORMATEX suggested = working.Compressed();
    if (!CanSuggest(working.record, kMpegLayer3)) {
        // Wine's audio compression manager has no MPEG Layer-3 encoder.
        EXPECT_EQ(suggested.wFormatTag, WAVE_FORMAT_ADPCM);
        EXPECT_EQ(suggested.wBitsPerSample, 4);
    }
    EXPECT_EQ(suggested.nSamplesPerSec, 22050u);
    EXPECT_EQ(suggested.nChannels, 2);
}

TEST(AudioFormats, ValidationKeepsAReachableFormatAndReplacesOthers)
{
    WorkingFormats reference;
    SuggestCompressedFormat(reference.Set());
    const WAVEFORMATEX suggested = reference.Compressed();

    struct Case {
        WORD tag, channels;
        DWORD rate;
        WORD bits;
        bool kept;
    };
    const Case cases[] = {
        {suggested.wFormatTag, suggested.nChannels, suggested.nSamplesPerSec, suggested.wBitsPerSample, true},
        {WAVE_FORMAT_PCM, 2, 22050, 16, true},
        {WAVE_FORMAT_ADPCM, 2, 22050, 16, false}, // ADPCM has 4-bit samples
        {0x7777, 2, 22050, 16, false},           // no codec knows the tag
    };
    for (const Case& c : cases) {
        WorkingFormats working;
        working.StoreCompressed(c.tag, c.channels, c.rate, c.bits);
        ValidateCompressedFormat(working.Set());
        EXPECT_EQ(working.compression, 1);
        const WAVEFORMATEX result = working.Compressed();
        if (c.kept) {
            EXPECT_EQ(result.wFormatTag, c.tag);
            EXPECT_EQ(result.nSamplesPerSec, c.rate);
        } else {
            EXPECT_EQ(result.wFormatTag, suggested.wFormatTag) << c.tag << " " << c.rate;
            EXPECT_EQ(result.nSamplesPerSec, suggested.nSamplesPerSec);
        }
    }
}

TEST(AudioFormats, BlockTooSmallForItsClaimedSizeIsReplaced)
{
    WorkingFormats working;
    working.compressed = GlobalBlock(4);
    working.compressedSize = 50;
    ASSERT_TRUE(AllocAudioFormatBuffer(working.Set(80)));
    EXPECT_GE(working.compressed.size(), 80u);
    EXPECT_EQ(working.compressedSize, 80u);

    // A block that holds its format stays as it is.
    const HGLOBAL kept = working.compressed.handle();
    ASSERT_TRUE(AllocAudioFormatBuffer(working.Set()));
    EXPECT_EQ(working.compressed.handle(), kept);
}

TEST(AudioFormats, DescriptionNamesKnownTagsOnly)
{
    WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    std::string detail;
    std::string name;
    ASSERT_TRUE(DescribeAudioFormat(pcm, detail, &name));
    EXPECT_EQ(name, "PCM");
    EXPECT_EQ(detail, "22050 Hz, 16 Bit, Stereo      88200 Bytes/sec");

    WAVEFORMATEX unknown{0x7777, 1, 11025, 11025, 1, 8, 0};
    detail.clear();
    EXPECT_FALSE(DescribeAudioFormat(unknown, detail, &name));
    EXPECT_TRUE(detail.empty());
    ASSERT_TRUE(DescribeAudioFormat(unknown, detail));
    EXPECT_EQ(detail, "11025 Hz, 8 Bit, Mono      11025 Bytes/sec");
}
