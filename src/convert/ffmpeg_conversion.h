#pragma once
// A saved AVI movie made into MP4, WebM or GIF by ffmpeg.exe. The output is written under a
// temporary name beside its place and takes its name only when ffmpeg succeeded and left a file
// with something in it: the user's name never holds a partial file.
#include "convert/movie_format.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The first ffmpeg.exe found where FfmpegCandidates looks; empty when there is none.
std::optional<std::string> FindFfmpeg(const std::string& chosenInOptions);

struct ConversionRequest {
    std::string ffmpeg;
    MovieFormat format = MovieFormat::Mp4;
    std::string input;  // the AVI
    std::string output; // the name the user chose
    std::int32_t quality = 7000;
};

struct ConversionResult {
    enum class End { Converted, Failed, Cancelled };
    End end = End::Failed;
    std::string why; // for Failed: ffmpeg's last error line, or what kept it from running
};

// Blocks until ffmpeg ends; progress gets percentages that only grow. A raised cancel ends ffmpeg
// and removes what it wrote.
ConversionResult ConvertMovie(const ConversionRequest& request, const std::function<void(int)>& progress,
                              const std::atomic<bool>& cancel);
