#pragma once
// The installed video compressors that accept a frame of the screen format, filled by the Video
// Options dialog; the recording engine reads the chosen entry.
#include <windows.h>
#include <vfw.h>

#include "win/handles.h"

#include <array>

constexpr int kMaxCompressors = 30;

struct CompressorList {
    std::array<ICINFO, kMaxCompressors> entries{};
    int count = 0;
    int chosen = -1; // -1 until a compressor is chosen in the dialog
};

CompressorList& Compressors();

namespace compressor_detail {
inline void Close(HIC compressor) { ICClose(compressor); }
} // namespace compressor_detail
using OwnedCompressor = Owned<HIC, compressor_detail::Close>;
