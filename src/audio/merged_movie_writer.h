#pragma once
// Writes a movie of the recorded video and its sound tracks as they are, without conversion, with
// the program's own movie writer: chunk by chunk in the order that merge_rules.h gives.
#include <windows.h>
#include <vfw.h>

#include "audio/movie_index.h"

#include <functional>
#include <istream>
#include <string>
#include <vector>

// The recorded movie's video stream: its header and its chunks (one a time-line slot) in the file.
struct RecordedVideo {
    std::istream& file;
    const MovieStreamInfo& stream;
    const std::vector<MovieChunkEntry>& frames;
};

// A sound track and the name players show for it (none when empty).
struct SoundTrack {
    PAVISTREAM stream;
    std::string name;
};

// Replaces the file at path. After each write progress is told the percentage done; answering
// false ends the save. On failure no file is left.
bool WriteMergedMovie(const std::string& path, const RecordedVideo& video, const std::vector<SoundTrack>& tracks,
                      int period, bool interleave, const std::function<bool(int percent)>& progress);
