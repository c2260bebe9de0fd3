#pragma once
// The arithmetic of merging sound into a movie: how often audio is interleaved and how large the
// merged file may grow before the save is taken for a runaway.
#include <cstdint>

// The interleave period in video frames: the factor itself when the unit is frames (1), otherwise
// the factor in milliseconds at the frame rate, truncated, and at least 1.
int InterleavePeriod(double framesPerSecond, int factor, int unit);

// The most a merged file of these inputs can take: each input once plus room for the interleave
// chunks, padding and index. A save that writes more never ends on its own.
std::uint64_t MergedSizeLimit(std::uint64_t videoBytes, std::uint64_t audioBytes);
