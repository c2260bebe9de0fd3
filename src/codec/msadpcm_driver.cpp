#include "codec/msadpcm_driver.h"

#include "codec/acm_driver_messages.h"
#include "codec/msadpcm_encoder.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr DWORD kDriverId = 1;
constexpr DWORD kAdpcmFormatSize = sizeof(WAVEFORMATEX) + msadpcm::kFormatExtraBytes;

bool IsPcmSource(const WAVEFORMATEX& pcm)
{
    return pcm.wFormatTag == WAVE_FORMAT_PCM && pcm.nChannels >= 1 && pcm.nChannels <= msadpcm::kMaxChannels &&
           (pcm.wBitsPerSample == 8 || pcm.wBitsPerSample == 16) && pcm.nSamplesPerSec > 0 &&
           pcm.nBlockAlign == pcm.nChannels * pcm.wBitsPerSample / 8;
}

// Only the standard coefficients are produced, so a format must list exactly those.
bool IsAdpcmFor(const WAVEFORMATEX& adpcm, const WAVEFORMATEX& pcm)
{
    if (adpcm.wFormatTag != msadpcm::kFormatTag || adpcm.nChannels != pcm.nChannels ||
        adpcm.nSamplesPerSec != pcm.nSamplesPerSec || adpcm.wBitsPerSample != msadpcm::kBitsPerSample ||
        adpcm.cbSize < msadpcm::kFormatExtraBytes) {
        return false;
    }
    const int samplesPerBlock = msadpcm::SamplesPerBlock(adpcm.nBlockAlign, adpcm.nChannels);
    std::uint8_t expected[msadpcm::kFormatExtraBytes];
    msadpcm::WriteFormatExtra(samplesPerBlock, expected);
    return samplesPerBlock > 0 &&
           std::memcmp(reinterpret_cast<const std::uint8_t*>(&adpcm) + sizeof(WAVEFORMATEX), expected,
                       sizeof(expected)) == 0;
}

void FillAdpcmFormat(const WAVEFORMATEX& pcm, WAVEFORMATEX& adpcm)
{
    const int blockAlign = msadpcm::SuggestedBlockAlign(static_cast<int>(pcm.nSamplesPerSec), pcm.nChannels);
    const int samplesPerBlock = msadpcm::SamplesPerBlock(blockAlign, pcm.nChannels);
    adpcm.wFormatTag = msadpcm::kFormatTag;
    adpcm.nChannels = pcm.nChannels;
    adpcm.nSamplesPerSec = pcm.nSamplesPerSec;
    adpcm.nAvgBytesPerSec = static_cast<DWORD>(
        msadpcm::AverageBytesPerSecond(static_cast<int>(pcm.nSamplesPerSec), blockAlign, samplesPerBlock));
    adpcm.nBlockAlign = static_cast<WORD>(blockAlign);
    adpcm.wBitsPerSample = msadpcm::kBitsPerSample;
    adpcm.cbSize = msadpcm::kFormatExtraBytes;
    msadpcm::WriteFormatExtra(samplesPerBlock, reinterpret_cast<std::uint8_t*>(&adpcm) + sizeof(WAVEFORMATEX));
}

struct Stream {
    msadpcm::Encoder encoder;
    int bytesPerFrame = 0;
    bool eightBit = false;
    std::vector<std::int16_t> widened; // 8-bit input as 16-bit samples, kWidenedBlocks blocks at a time
};
// The encoder codes many blocks at once; 8-bit input is widened for as many.
constexpr DWORD kWidenedBlocks = 16;

LRESULT DriverDetails(ACMDRIVERDETAILSW& details)
{
    ACMDRIVERDETAILSW filled{};
    filled.cbStruct = std::min<DWORD>(details.cbStruct, sizeof(filled));
    filled.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
    filled.vdwACM = 0x03320000;
    filled.vdwDriver = 0x01000000;
    filled.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    filled.cFormatTags = 2;
    std::wcscpy(filled.szShortName, kMsAdpcmShortName);
    std::wcscpy(filled.szLongName, kMsAdpcmLongName);
    std::memcpy(&details, &filled, filled.cbStruct);
    return MMSYSERR_NOERROR;
}

// Name of format tag 2 as the user sees it in the format choice; where the system names it, ours
// answers with the same name.
wchar_t g_adpcmTagName[ACMFORMATTAGDETAILS_FORMATTAG_CHARS] = L"MS ADPCM";

LRESULT FormatTagDetails(ACMFORMATTAGDETAILSW& details, DWORD flags)
{
    DWORD tag = 0;
    switch (flags & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
        if (details.dwFormatTagIndex > 1) {
            return ACMERR_NOTPOSSIBLE;
        }
        tag = details.dwFormatTagIndex == 0 ? WAVE_FORMAT_PCM : msadpcm::kFormatTag;
        break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
        tag = details.dwFormatTag;
        break;
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
        tag = details.dwFormatTag == WAVE_FORMAT_PCM ? WAVE_FORMAT_PCM : msadpcm::kFormatTag;
        break;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
    if (tag != WAVE_FORMAT_PCM && tag != msadpcm::kFormatTag) {
        return ACMERR_NOTPOSSIBLE;
    }
    const bool pcm = tag == WAVE_FORMAT_PCM;
    details.dwFormatTagIndex = pcm ? 0 : 1;
    details.dwFormatTag = tag;
    details.cbFormatSize = pcm ? sizeof(PCMWAVEFORMAT) : kAdpcmFormatSize;
    details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    details.cStandardFormats = 0; // the system's own drivers list the formats
    std::wcscpy(details.szFormatTag, pcm ? L"PCM" : g_adpcmTagName);
    return MMSYSERR_NOERROR;
}

LRESULT FormatSuggest(AcmDriverFormatSuggest& suggest)
{
    const WAVEFORMATEX& pcm = *suggest.pwfxSrc;
    WAVEFORMATEX& adpcm = *suggest.pwfxDst;
    const DWORD constraints = suggest.fdwSuggest & ACM_FORMATSUGGESTF_TYPEMASK;
    if (!IsPcmSource(pcm) || suggest.cbwfxDst < kAdpcmFormatSize ||
        ((constraints & ACM_FORMATSUGGESTF_WFORMATTAG) && adpcm.wFormatTag != msadpcm::kFormatTag) ||
        ((constraints & ACM_FORMATSUGGESTF_NCHANNELS) && adpcm.nChannels != pcm.nChannels) ||
        ((constraints & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && adpcm.nSamplesPerSec != pcm.nSamplesPerSec) ||
        ((constraints & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && adpcm.wBitsPerSample != msadpcm::kBitsPerSample)) {
        return ACMERR_NOTPOSSIBLE;
    }
    FillAdpcmFormat(pcm, adpcm);
    return MMSYSERR_NOERROR;
}

LRESULT StreamOpen(AcmDriverStreamInstance& instance)
{
    const WAVEFORMATEX& pcm = *instance.pwfxSrc;
    const WAVEFORMATEX& adpcm = *instance.pwfxDst;
    if (instance.pwfltr || !IsPcmSource(pcm) || !IsAdpcmFor(adpcm, pcm)) {
        return ACMERR_NOTPOSSIBLE;
    }
    if (instance.fdwOpen & ACM_STREAMOPENF_QUERY) {
        return MMSYSERR_NOERROR;
    }
    std::unique_ptr<Stream> stream;
    try {
        stream = std::make_unique<Stream>();
        stream->encoder.begin(adpcm.nChannels, adpcm.nBlockAlign);
        stream->bytesPerFrame = pcm.nBlockAlign;
        stream->eightBit = pcm.wBitsPerSample == 8;
        if (stream->eightBit) {
            stream->widened.resize(kWidenedBlocks * static_cast<std::size_t>(stream->encoder.samplesPerBlock()) *
                                   adpcm.nChannels);
        }
    } catch (const std::bad_alloc&) {
        // No exception may cross into the system that called the driver.
        return MMSYSERR_NOMEM;
    }
    instance.dwDriver = reinterpret_cast<DWORD_PTR>(stream.release());
    return MMSYSERR_NOERROR;
}

Stream& StreamOf(const AcmDriverStreamInstance& instance) { return *reinterpret_cast<Stream*>(instance.dwDriver); }

// Source bytes a destination of this size can take, or the other way round; a last partial block
// counts only where the caller does not ask for whole blocks.
LRESULT StreamSize(const AcmDriverStreamInstance& instance, AcmDriverStreamSize& size)
{
    const int channels = instance.pwfxDst->nChannels;
    const DWORD blockAlign = instance.pwfxDst->nBlockAlign;
    const DWORD framesPerBlock = static_cast<DWORD>(msadpcm::SamplesPerBlock(static_cast<int>(blockAlign), channels));
    const DWORD bytesPerFrame = instance.pwfxSrc->nBlockAlign;
    switch (size.fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE: {
        const DWORD frames = size.cbSrcLength / bytesPerFrame;
        if (frames == 0) {
            return ACMERR_NOTPOSSIBLE;
        }
        const DWORD rest = frames % framesPerBlock;
        size.cbDstLength = frames / framesPerBlock * blockAlign +
                           (rest ? static_cast<DWORD>(msadpcm::BlockBytes(static_cast<int>(rest), channels)) : 0);
        return MMSYSERR_NOERROR;
    }
    case ACM_STREAMSIZEF_DESTINATION: {
        const DWORD blocks = size.cbDstLength / blockAlign;
        if (blocks == 0) {
            return ACMERR_NOTPOSSIBLE;
        }
        size.cbSrcLength = blocks * framesPerBlock * bytesPerFrame;
        return MMSYSERR_NOERROR;
    }
    default:
        return MMSYSERR_INVALFLAG;
    }
}

LRESULT StreamConvert(const AcmDriverStreamInstance& instance, AcmDriverStreamHeader& header)
{
    Stream& stream = StreamOf(instance);
    msadpcm::Encoder& encoder = stream.encoder;
    const int channels = encoder.channels();
    const DWORD framesPerBlock = static_cast<DWORD>(encoder.samplesPerBlock());
    const DWORD blockAlign = static_cast<DWORD>(encoder.blockAlign());
    const DWORD frames = header.cbSrcLength / static_cast<DWORD>(stream.bytesPerFrame);
    // Whole blocks while both the source and the destination last, then a last short block where
    // the caller takes one and it fits.
    const DWORD wholeBlocks = std::min(frames / framesPerBlock, header.cbDstLength / blockAlign);
    DWORD taken = wholeBlocks * framesPerBlock;
    const DWORD rest = frames - taken;
    if (rest > 0 && rest < framesPerBlock && (header.fdwConvert & ACM_STREAMCONVERTF_BLOCKALIGN) == 0 &&
        header.cbDstLength - wholeBlocks * blockAlign >= msadpcm::BlockBytes(static_cast<int>(rest), channels)) {
        taken += rest;
    }
    const DWORD chunkFrames = stream.eightBit ? kWidenedBlocks * framesPerBlock : std::max<DWORD>(taken, 1);
    const std::uint8_t* source = header.pbSrc;
    DWORD written = 0;
    for (DWORD done = 0; done < taken;) {
        const DWORD count = std::min(taken - done, chunkFrames);
        const std::int16_t* pcm = reinterpret_cast<const std::int16_t*>(source);
        if (stream.eightBit) {
            for (DWORD i = 0; i < count * channels; ++i) {
                stream.widened[i] = static_cast<std::int16_t>((source[i] - 128) * 256);
            }
            pcm = stream.widened.data();
        }
        written += static_cast<DWORD>(encoder.encode(pcm, static_cast<int>(count), header.pbDst + written));
        source += count * static_cast<DWORD>(stream.bytesPerFrame);
        done += count;
    }
    header.cbSrcLengthUsed = static_cast<DWORD>(source - header.pbSrc);
    header.cbDstLengthUsed = written;
    return MMSYSERR_NOERROR;
}

} // namespace

void SetMsAdpcmFormatTagName(const wchar_t* name)
{
    if (name[0] != L'\0') {
        std::wcsncpy(g_adpcmTagName, name, ACMFORMATTAGDETAILS_FORMATTAG_CHARS - 1);
    }
}

LRESULT CALLBACK MsAdpcmDriverProc(DWORD_PTR driverId, HDRVR, UINT message, LPARAM param1, LPARAM param2)
{
    switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE:
        return 1;
    case DRV_OPEN: {
        auto* open = reinterpret_cast<AcmDriverOpenDesc*>(param2);
        if (open && open->fccType != ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC) {
            return 0;
        }
        if (open) {
            open->dwError = MMSYSERR_NOERROR;
        }
        return kDriverId;
    }
    case DRV_QUERYCONFIGURE:
        return 0;
    case kAcmDriverDetails:
        return DriverDetails(*reinterpret_cast<ACMDRIVERDETAILSW*>(param1));
    case kAcmFormatTagDetails:
        return FormatTagDetails(*reinterpret_cast<ACMFORMATTAGDETAILSW*>(param1), static_cast<DWORD>(param2));
    case kAcmFormatSuggest:
        return FormatSuggest(*reinterpret_cast<AcmDriverFormatSuggest*>(param1));
    case kAcmStreamOpen:
        return StreamOpen(*reinterpret_cast<AcmDriverStreamInstance*>(param1));
    case kAcmStreamClose: {
        auto& instance = *reinterpret_cast<AcmDriverStreamInstance*>(param1);
        delete &StreamOf(instance);
        instance.dwDriver = 0;
        return MMSYSERR_NOERROR;
    }
    case kAcmStreamSize:
        return StreamSize(*reinterpret_cast<AcmDriverStreamInstance*>(param1),
                          *reinterpret_cast<AcmDriverStreamSize*>(param2));
    case kAcmStreamConvert:
        return StreamConvert(*reinterpret_cast<AcmDriverStreamInstance*>(param1),
                             *reinterpret_cast<AcmDriverStreamHeader*>(param2));
    default:
        return message >= ACMDM_BASE ? MMSYSERR_NOTSUPPORTED : DefDriverProc(driverId, nullptr, message, param1, param2);
    }
}
