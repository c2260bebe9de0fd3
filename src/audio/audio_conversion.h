#pragma once
// Converts a recorded PCM stream into a compressed format with the audio compression manager and
// keeps the result as the only stream of a movie file, so that it can be saved without conversion.
#include <windows.h>
#include <vfw.h>

#include "audio/avi_handles.h"

#include <string>

// The compressed stream, opened from the file at path (replaced); empty when the compression
// manager cannot produce the format from the stream's or the file cannot be written.
AviStream ConvertAudioStream(PAVISTREAM pcm, const WAVEFORMATEX& target, const std::string& path);
