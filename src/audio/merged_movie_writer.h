#pragma once
// Writes a movie of a video stream and an audio stream as they are, without conversion, through the
// movie library: chunk by chunk in the order that merge_rules.h gives, then with its index mended.
#include <windows.h>
#include <vfw.h>

#include <functional>
#include <string>

// Replaces the file at path. After each write progress is told the percentage done; answering
// false ends the save. On failure no file is left.
bool WriteMergedMovie(const std::string& path, PAVISTREAM video, PAVISTREAM audio, int period, bool interleave,
                      const std::function<bool(int percent)>& progress);
