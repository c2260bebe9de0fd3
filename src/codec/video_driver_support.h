#pragma once
// What the drivers of the built-in video compressors share: the driver procedure around one
// compressor object per open, the state block of magic, version and default quality, and the
// small answers every message handler gives.
#include <windows.h>

#include <vfw.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

template <std::size_t N, std::size_t M> void CopyText(WCHAR (&to)[N], const wchar_t (&from)[M])
{
    static_assert(M <= N);
    std::copy(from, from + M, to);
}

inline LRESULT WriteDword(LPARAM param, DWORD value)
{
    if (!param) {
        return ICERR_BADPARAM;
    }
    *reinterpret_cast<DWORD*>(param) = value;
    return ICERR_OK;
}

// ICM_GETINFO for one of our compressors (quality, temporal, no previous frame needed).
template <std::size_t N, std::size_t M>
LRESULT WriteInfo(ICINFO* info, DWORD size, DWORD handler, const wchar_t (&name)[N], const wchar_t (&description)[M])
{
    if (!info || size < sizeof(ICINFO)) {
        return 0;
    }
    std::memset(info, 0, sizeof(ICINFO));
    info->dwSize = sizeof(ICINFO);
    info->fccType = ICTYPE_VIDEO;
    info->fccHandler = handler;
    info->dwFlags = VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC;
    info->dwVersion = 1;
    info->dwVersionICM = ICVERSION;
    CopyText(info->szName, name);
    CopyText(info->szDescription, description);
    return sizeof(ICINFO);
}

// ICM_GETSTATE: the block's size when no block is given.
template <typename State> LRESULT GetStateBlock(const State& state, void* block, DWORD size)
{
    if (!block) {
        return sizeof(State);
    }
    if (size < sizeof(State)) {
        return ICERR_BADSIZE;
    }
    std::memcpy(block, &state, sizeof(State));
    return ICERR_OK;
}

// ICM_SETSTATE: the bytes taken, 0 for a refused block (ICSetState's convention); no block brings
// back the defaults. A block of another size, magic or version, or a quality out of range, is refused.
template <typename State> LRESULT SetStateBlock(State& state, const State& defaults, int maxQuality, const void* block, DWORD size)
{
    if (!block) {
        state = defaults;
        return 0;
    }
    if (size != sizeof(State)) {
        return 0;
    }
    State given;
    std::memcpy(&given, block, sizeof(given));
    if (given.magic != defaults.magic || given.version != defaults.version || given.quality < 0 || given.quality > maxQuality) {
        return 0;
    }
    state = given;
    return sizeof(State);
}

// ICM_COMPRESS_BEGIN's work for an encoder with begin(width, height, bits) and end().
template <typename Encoder> LRESULT BeginEncoder(Encoder& encoder, const BITMAPINFOHEADER* in)
{
    try {
        return encoder.begin(in->biWidth, in->biHeight, in->biBitCount) ? ICERR_OK : ICERR_BADFORMAT;
    } catch (const std::bad_alloc&) {
        encoder.end();
        return ICERR_MEMORY;
    }
}

// The checks before ICM_COMPRESS codes a frame; ICERR_OK when the encoder is ready for it. A caller
// that skipped ICM_COMPRESS_BEGIN or changed the format gets a fresh start.
template <typename Encoder>
LRESULT PrepareCompress(Encoder& encoder, const ICCOMPRESS* frame, DWORD size, bool (*accepted)(const BITMAPINFOHEADER*))
{
    if (!frame || size < sizeof(ICCOMPRESS) || !frame->lpbiOutput || !frame->lpOutput || !frame->lpInput) {
        return ICERR_BADPARAM;
    }
    const BITMAPINFOHEADER* in = frame->lpbiInput;
    if (!accepted(in)) {
        return ICERR_BADFORMAT;
    }
    if (!encoder.ready() || encoder.width() != in->biWidth || encoder.height() != in->biHeight ||
        encoder.bitsPerPixel() != in->biBitCount) {
        return BeginEncoder(encoder, in);
    }
    return ICERR_OK;
}

// The frame's quality, or the compressor's own where the caller leaves it to the compressor.
inline int QualityOf(const ICCOMPRESS* frame, int own, int maxQuality)
{
    return frame->dwQuality == static_cast<DWORD>(ICQUALITY_DEFAULT) ? own
                                                                     : static_cast<int>(std::min<DWORD>(frame->dwQuality, static_cast<DWORD>(maxQuality)));
}

// Tells the caller the compressed frame's size and whether it is a key frame.
inline void ReportCompressed(ICCOMPRESS* frame, std::size_t bytes, bool key)
{
    frame->lpbiOutput->biSizeImage = static_cast<DWORD>(bytes);
    if (frame->lpdwFlags) {
        *frame->lpdwFlags = key ? AVIIF_KEYFRAME : 0;
    }
}

// Compressor provides: static bool Opens(const ICOPEN*), static LRESULT getInfo(ICINFO*, DWORD) and
// LRESULT handle(UINT, LPARAM, LPARAM).
template <typename Compressor>
LRESULT CALLBACK CompressorDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2)
{
    auto* compressor = reinterpret_cast<Compressor*>(driverId);
    switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return DRV_OK;
    case DRV_OPEN: {
        auto* open = reinterpret_cast<ICOPEN*>(param2);
        if (open && ((open->fccType | 0x20202020) != ICTYPE_VIDEO || !Compressor::Opens(open))) {
            open->dwError = static_cast<LRESULT>(ICERR_UNSUPPORTED);
            return 0;
        }
        auto* opened = new (std::nothrow) Compressor;
        if (open) {
            open->dwError = opened ? ICERR_OK : static_cast<LRESULT>(ICERR_MEMORY);
        }
        return reinterpret_cast<LRESULT>(opened);
    }
    case DRV_CLOSE:
        delete compressor;
        return DRV_OK;
    case DRV_QUERYCONFIGURE:
        return 0;
    default:
        break;
    }
    if (message < DRV_USER) {
        return DefDriverProc(driverId, driver, message, param1, param2);
    }
    if (!compressor) {
        // The system's list of compressors asks for the description without opening one.
        return message == ICM_GETINFO ? Compressor::getInfo(reinterpret_cast<ICINFO*>(param1), static_cast<DWORD>(param2))
                                      : ICERR_UNSUPPORTED;
    }
    try {
        return compressor->handle(message, param1, param2);
    } catch (...) {
        return ICERR_INTERNAL;
    }
}
