#pragma once
// Movies as the movie library leaves them, built in memory for the recovery tests.
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

// What the movie library has on disk before the movie is closed: zeros where the header goes,
// then one chunk per time-line slot (empty ones for the gaps).
std::vector<std::uint8_t> UnclosedMovie(const std::vector<TestFrame>& frames);

// The journal written beside it, record by record.
std::vector<std::uint8_t> JournalOf(const JournalStream& stream, const std::vector<TestFrame>& frames,
                                    const std::string& soundPath = {});

ReadAt ReaderOf(const std::vector<std::uint8_t>& bytes);

// Runs the whole rebuild on the bytes; empty when it fails.
std::vector<std::uint8_t> Rebuild(const std::vector<std::uint8_t>& movie, const std::vector<std::uint8_t>& journal);

struct ParsedMovie {
    struct Chunk {
        std::string id;
        std::vector<std::uint8_t> data;
    };
    struct IndexEntry {
        std::uint32_t flags;
        std::uint32_t offset;
        std::uint32_t size;
    };
    std::uint32_t totalFrames = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t length = 0;
    std::vector<std::uint8_t> format;
    std::vector<Chunk> chunks;
    std::vector<IndexEntry> index;
};

// Reads a complete movie as a player would, checking its sizes and that every index entry
// points at a chunk of its size; empty when anything does not add up.
std::optional<ParsedMovie> ReadMovie(const std::vector<std::uint8_t>& bytes);
