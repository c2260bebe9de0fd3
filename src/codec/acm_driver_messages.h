#pragma once
// The audio compression manager's driver-side messages and records. MinGW-w64 ships only the
// client side (msacm.h); these follow the documented driver interface.
#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

constexpr UINT kAcmDriverDetails = ACMDM_BASE + 10;
constexpr UINT kAcmFormatTagDetails = ACMDM_BASE + 25;
constexpr UINT kAcmFormatSuggest = ACMDM_BASE + 27;
constexpr UINT kAcmStreamOpen = ACMDM_BASE + 76;
constexpr UINT kAcmStreamClose = ACMDM_BASE + 77;
constexpr UINT kAcmStreamSize = ACMDM_BASE + 78;
constexpr UINT kAcmStreamConvert = ACMDM_BASE + 79;

struct AcmDriverOpenDesc {
    DWORD cbStruct;
    FOURCC fccType;
    FOURCC fccComp;
    DWORD dwVersion;
    DWORD dwFlags;
    DWORD dwError;
    LPCWSTR pszSectionName;
    LPCWSTR pszAliasName;
    DWORD dnDevNode;
};

struct AcmDriverStreamInstance {
    DWORD cbStruct;
    LPWAVEFORMATEX pwfxSrc;
    LPWAVEFORMATEX pwfxDst;
    LPWAVEFILTER pwfltr;
    DWORD_PTR dwCallback;
    DWORD_PTR dwInstance;
    DWORD fdwOpen;
    DWORD fdwDriver;
    DWORD_PTR dwDriver;
    HACMSTREAM has;
};

// Leading part of the stream header the driver sees; the manager's own fields follow it.
struct AcmDriverStreamHeader {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    LPBYTE pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    LPBYTE pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD fdwConvert;
};

struct AcmDriverStreamSize {
    DWORD cbStruct;
    DWORD fdwSize;
    DWORD cbSrcLength;
    DWORD cbDstLength;
};

struct AcmDriverFormatSuggest {
    DWORD cbStruct;
    DWORD fdwSuggest;
    LPWAVEFORMATEX pwfxSrc;
    DWORD cbwfxSrc;
    LPWAVEFORMATEX pwfxDst;
    DWORD cbwfxDst;
};
