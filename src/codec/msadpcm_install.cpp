#include "codec/msadpcm_install.h"

#include "codec/msadpcm_driver.h"
#include "codec/msadpcm_encoder.h"

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <vector>

namespace {

HACMDRIVERID g_msAdpcmDriver = nullptr;

bool SystemConvertsPcmToMsAdpcm()
{
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = 2;
    pcm.nSamplesPerSec = 22050;
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = 4;
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    std::vector<std::uint8_t> buffer(sizeof(WAVEFORMATEX) + msadpcm::kFormatExtraBytes);
    auto* adpcm = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
    adpcm->wFormatTag = msadpcm::kFormatTag;
    if (acmFormatSuggest(nullptr, &pcm, adpcm, static_cast<DWORD>(buffer.size()), ACM_FORMATSUGGESTF_WFORMATTAG) !=
        MMSYSERR_NOERROR) {
        return false;
    }
    HACMSTREAM stream = nullptr;
    return acmStreamOpen(&stream, nullptr, &pcm, adpcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == MMSYSERR_NOERROR;
}

// Keeps the name the user sees in the format choice the same once ours answers for the tag too.
void AdoptSystemFormatTagName()
{
    ACMFORMATTAGDETAILSW details{};
    details.cbStruct = sizeof(details);
    details.dwFormatTag = msadpcm::kFormatTag;
    if (acmFormatTagDetailsW(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR) {
        SetMsAdpcmFormatTagName(details.szFormatTag);
    }
}

} // namespace

bool InstallMsAdpcmIfNeeded()
{
    if (g_msAdpcmDriver || SystemConvertsPcmToMsAdpcm()) {
        return true;
    }
    AdoptSystemFormatTagName();
    HACMDRIVERID added = nullptr;
    if (acmDriverAdd(&added, GetModuleHandleW(nullptr), reinterpret_cast<LPARAM>(&MsAdpcmDriverProc), 0,
                     ACM_DRIVERADDF_FUNCTION | ACM_DRIVERADDF_LOCAL) != MMSYSERR_NOERROR) {
        return false;
    }
    g_msAdpcmDriver = added;
    return true;
}

void RemoveMsAdpcm()
{
    if (g_msAdpcmDriver) {
        acmDriverRemove(g_msAdpcmDriver, 0);
        g_msAdpcmDriver = nullptr;
    }
}
