#pragma once
// Video for Windows driver procedure of the built-in Video 1 compressor (compression only).
#include <windows.h>

#include <vfw.h>

#include <cstdint>

// Description reported by ICM_GETINFO, shown as the compressor's name.
inline constexpr wchar_t kVideo1Description[] = L"MS Video 1";

// ICM_GETSTATE / ICM_SETSTATE block; anything of another size, magic or version is refused.
struct Video1State {
    std::uint32_t magic;
    std::uint32_t version;
    std::int32_t quality; // used when the caller asks for the default quality
};
inline constexpr std::uint32_t kVideo1StateMagic = 0x31564C46; // "FLV1"
inline constexpr std::uint32_t kVideo1StateVersion = 1;
inline constexpr DWORD kVideo1DefaultKeyFrameRate = 15;

// Header of an uncompressed bottom-up RGB frame, the input the compressor takes.
BITMAPINFOHEADER UncompressedFrameHeader(int width, int height, int bitsPerPixel);

LRESULT CALLBACK Video1DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2);
