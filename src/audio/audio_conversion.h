#pragma once
// Converts a recorded PCM stream into a compressed format with the audio compression manager and
// keeps the result as the only stream of a movie file, so that it can be saved without conversion.
#include <windows.h>
#include <vfw.h>

#include "audio/avi_handles.h"

#include <cstdint>
#include <functional>
#include <string>

// The compressed stream, opened from the file at path (replaced), written blocksPerChunk blocks to
// a chunk; empty when the compression manager cannot produce the format from the stream's, the
// file cannot be written, the result does not last as long as the stream, or progress (told the
// percentage of the stream done) answers false.
AviStream ConvertAudioStream(PAVISTREAM pcm, const WAVEFORMATEX& target, const std::string& path,
                             std::uint32_t blocksPerChunk, const std::function<bool(int percent)>& progress);
