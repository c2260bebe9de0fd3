#pragma once
// Movies as a crash leaves them, built in memory for the recovery tests.
#include "audio/movie_index.h"
#include "audio/odml_writer.h"
#include "recording/movie_rebuild.h"
#include "recording/recording_journal_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TestFrame {
    std::uint32_t position;
    std::vector<std::uint8_t> data;
    bool key;
};

// A stream format of a width × height Video 1 movie at the rate.
JournalStream TestStream(std::uint32_t width, std::uint32_t height, std::uint32_t rate);

// Frames with distinct contents at the positions; every fourth one (and the first) a key frame.
std::vector<TestFrame> TestFrames(const std::vector<std::uint32_t>& positions, std::size_t size);

// What the movie library had on disk before the movie was closed: zeros where the header goes,
// then one chunk per time-line slot (empty ones for the gaps).
std::vector<std::uint8_t> UnclosedMovie(const std::vector<TestFrame>& frames);

// What the program's movie writer has on disk before the movie is finished, in parts of partBytes.
std::vector<std::uint8_t> UnfinishedMovie(const JournalStream& stream, const std::vector<TestFrame>& frames,
                                          std::uint64_t partBytes = kMoviePartBytes);

// A movie in memory.
class MemoryMovie : public MovieSink {
public:
    bool Append(std::span<const std::uint8_t> data) override;
    bool Overwrite(std::uint64_t offset, std::span<const std::uint8_t> data) override;
    bool Truncate(std::uint64_t end) override;

    std::vector<std::uint8_t> bytes;
};

// The journal written beside it, record by record.
std::vector<std::uint8_t> JournalOf(const JournalStream& stream, const std::vector<TestFrame>& frames,
                                    const std::vector<std::string>& soundPaths = {});

ReadAt ReaderOf(const std::vector<std::uint8_t>& bytes);

// Runs the whole rebuild on the bytes; empty when it fails.
std::vector<std::uint8_t> Rebuild(const std::vector<std::uint8_t>& movie, const std::vector<std::uint8_t>& journal);

// The movie as the program's reader sees it; empty when it does not read.
std::optional<MovieContents> ReadBack(const std::vector<std::uint8_t>& bytes);

// A chunk's data.
std::vector<std::uint8_t> DataOf(const std::vector<std::uint8_t>& bytes, const MovieChunkEntry& chunk);
