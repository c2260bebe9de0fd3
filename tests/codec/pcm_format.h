#pragma once
// A PCM wave format header, for the tests that convert sound.
#include <windows.h>
#include <mmsystem.h>

inline WAVEFORMATEX PcmFormat(int rate, int channels, int bits)
{
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(rate);
    pcm.wBitsPerSample = static_cast<WORD>(bits);
    pcm.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    return pcm;
}
