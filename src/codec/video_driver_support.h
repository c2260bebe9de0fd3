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
