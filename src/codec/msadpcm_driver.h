#pragma once
// Audio compression driver procedure of the built-in MS ADPCM converter: 8- or 16-bit PCM to
// MS ADPCM with the standard coefficients, at the block size the platform suggests.
#include <windows.h>

#include <mmsystem.h>

inline constexpr wchar_t kMsAdpcmShortName[] = L"MS ADPCM";

// The name ours gives format tag 2 (until set: "MS ADPCM"); an empty name keeps the current one.
void SetMsAdpcmFormatTagName(const wchar_t* name);
inline constexpr wchar_t kMsAdpcmLongName[] = L"MS ADPCM encoder (built in)";

LRESULT CALLBACK MsAdpcmDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2);
