#pragma once
// Converts a recorded PCM stream into a compressed format with the audio compression manager and
// keeps the result as the only stream of a movie file, so that it can be saved without conversion.
#include <windows.h>
#include <vfw.h>

#include "audio/avi_handles.h"

#include <cstdint>
#include <string>

// The compressed stream, opened from the file at path (replaced), written blocksPerChunk blocks to
// a chunk; empty when the compression manager cannot produce the format from the stream's, the
// file cannot be written, or the result does not last as long as the stream.
AviStream ConvertAudioStream(PAVISTREAM pcm, const WAVEFORMATEX& target, const std::string& path,
                             std::uint32_t blocksPerChunk);
