#pragma once
// The arithmetic of merging sound into a movie: how often audio is interleaved, in which order the
// merged movie's chunks are written, and how large the merged file may grow before the save is
// taken for a runaway.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// The interleave period in video frames: the factor itself when the unit is frames (1), otherwise
// the factor in milliseconds at the frame rate, truncated, and at least 1.
int InterleavePeriod(double framesPerSecond, int factor, int unit);

// A movie file has no size limit of its own; its disk's file system may.
constexpr std::uint64_t kNoFileLimit = UINT64_MAX;

// The largest file a file system, named as the system names it ("NTFS", "FAT32", ...), takes:
// FAT's files end below 4 GB.
std::uint64_t LargestFileOn(std::string_view fileSystem);

// Whether a merged movie of this video (its chunks and index) and this much sound in the saved
// format stays within largestFile. The merge adds a header and index entries per chunk: bounded
// generously per time-line slot, plus a fixed margin.
bool MergedMovieFits(std::uint64_t videoBytes, std::uint64_t soundBytes, std::uint64_t slots, std::uint64_t largestFile);

// The most a merged file of these inputs can take: each input once plus room for the interleave
// chunks, padding and index. A save that writes more never ends on its own.
std::uint64_t MergedSizeLimit(std::uint64_t videoBytes, std::uint64_t audioBytes);

// Blocks of sound per chunk, so that one chunk covers about one interleave group of `period`
// frames: a small-block format written a block at a time would spend more on chunk headers and
// index than on sound. At least 1.
std::uint32_t SoundBlocksPerChunk(double framesPerSecond, int period, std::uint32_t bytesPerSecond,
                                  std::uint32_t blockAlign);

// Whether `bytes` of sound at `bytesPerSecond` last as long as `seconds`: within two blocks and
// half a percent, the rounding of a compressed format's byte rate.
bool LastsAsLong(double seconds, std::uint64_t bytes, std::uint32_t bytesPerSecond, std::uint32_t blockAlign);

// Samples [start, end) of a stream on the movie's time line, rate / scale samples a second.
struct StreamSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::uint32_t rate = 0;
    std::uint32_t scale = 0;
};

enum class MergeStream { kVideo, kAudio };

// One write into the merged movie: count samples of a stream (of which sound track) from first on.
struct MergeStep {
    MergeStream stream;
    std::int64_t first;
    std::int64_t count;
    std::size_t track = 0;

    bool operator==(const MergeStep&) const = default;
};

// The writes of a merged movie, in file order. The video goes in groups of period frames, each sound
// track in chunks covering the same time as a group. Interleaved, each group's sound comes just
// before its frames, so that a player has the sound before it shows the pictures; otherwise all
// video comes first. Empty without a track, or when a rate or scale is 0.
std::vector<MergeStep> MergeSchedule(const StreamSpan& video, const std::vector<StreamSpan>& tracks, int period,
                                     bool interleave);
