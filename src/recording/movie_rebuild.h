#pragma once
// Rebuilds a temporary movie that was never closed into one that plays: its frame chunks are
// found in the file, matched with the journal, and written again by the movie writer, each on its
// time-line slot (slots without a frame become empty chunks).
#include "audio/odml_writer.h"
#include "recording/recording_journal_format.h"

#include <cstdint>
#include <functional>
#include <vector>

// Reads count bytes at offset; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, void* into, std::size_t count)>;

struct MovieChunk {
    std::uint64_t offset = 0; // of the chunk's data
    std::uint32_t size = 0;
};

// The complete video chunks of stream 0 in file order, up to the first damaged or incomplete one.
// Reads an unclosed movie of the program's writer (its parts, with their indexes, one after the
// other), one the movie library left (zero-filled header space, then chunks) and a closed one.
std::vector<MovieChunk> FindFrameChunks(const ReadAt& read, std::uint64_t fileSize);

struct RecoveredFrame {
    std::uint32_t position = 0;
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
    bool key = false;
};

// Pairs the journal's frames with the file's chunks, a chunk being one time-line slot. Frames stored
// empty are left out: an empty slot shows the same as a gap. Stops at the first disagreement.
std::vector<RecoveredFrame> MatchFrames(const std::vector<JournalFrame>& journal, const std::vector<MovieChunk>& chunks);

// Writes the whole movie; frame data is copied from the old file through read.
bool WriteRecoveredMovie(const JournalStream& stream, const std::vector<RecoveredFrame>& frames, const ReadAt& read,
                         MovieSink& sink);
