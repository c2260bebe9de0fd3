#pragma once
// What ffmpeg.exe is asked to do for each format, and the command line that asks it.
#include "convert/movie_format.h"

#include <cstdint>
#include <string>
#include <vector>

// GIF frame delays are counted in hundredths of a second: 20 frames a second is 5 of them exactly,
// smooth enough for typing and scrolling, and a third of the frames (and size) of 60.
inline constexpr int kGifFramesPerSecond = 20;

// The Video Options quality (0 to 10000) as each encoder's own measure. The default, 7000, gives
// x264's and common VP9 defaults.
int H264QualityFactor(std::int32_t quality); // CRF 36 (quality 0) to 18 (10000)
int Vp9QualityFactor(std::int32_t quality);  // CRF 48 to 24
int GifColours(std::int32_t quality);        // 16 to 256 palette colours

// The arguments after the program's name: input read, output written in the format (the output
// name's extension need not say it: the conversion writes under a temporary name first), frames
// kept at their own times, progress as key=value lines on standard output, errors alone on
// standard error.
std::vector<std::string> FfmpegArguments(MovieFormat format, const std::string& input, const std::string& output,
                                         std::int32_t quality);

// One Windows command line, each argument quoted so that the C runtime's parser gives it back.
std::string JoinCommandLine(const std::string& program, const std::vector<std::string>& arguments);
