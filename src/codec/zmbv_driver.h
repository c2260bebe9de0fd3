#pragma once
// Video for Windows driver procedure of the built-in lossless ZMBV compressor: it compresses
// 8-, 16-, 24- and 32-bit frames and decompresses to 24 or 32 bits (16 for a 16-bit movie).
#include <windows.h>

#include <vfw.h>

#include <cstdint>

#include "common/fourcc.h"

inline constexpr DWORD kFourCCZmbv = MakeFourCC('Z', 'M', 'B', 'V');
// Description reported by ICM_GETINFO, shown as the compressor's name.
inline constexpr wchar_t kZmbvDescription[] = L"ZMBV lossless screen";

// ICM_GETSTATE / ICM_SETSTATE block; anything of another size, magic or version is refused.
struct ZmbvState {
    std::uint32_t magic;
    std::uint32_t version;
    std::int32_t quality; // used when the caller asks for the default quality
};
inline constexpr std::uint32_t kZmbvStateMagic = 0x564D5A46; // "FZMV"
inline constexpr std::uint32_t kZmbvStateVersion = 1;
inline constexpr DWORD kZmbvDefaultKeyFrameRate = 300;

LRESULT CALLBACK ZmbvDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2);
