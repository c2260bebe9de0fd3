#pragma once
// Where ffmpeg.exe is looked for, in order: beside framelark.exe, in each folder of the PATH, then
// the file chosen in General Options.
#include <string>
#include <vector>

std::vector<std::string> FfmpegCandidates(const std::string& programDirectory, const std::string& pathVariable,
                                          const std::string& chosenInOptions);
