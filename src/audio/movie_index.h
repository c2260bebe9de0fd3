#pragma once
// Mends the index of a finished AVI file as players need it: entries in the order of the chunks in
// the file, each fixed-size stream's length counted in samples, and the main header's microseconds
// per frame from the video stream's rate. The movie library under Wine lists one stream's chunks
// after the other, counts an audio stream's length in chunks and gets the frame period wrong.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <vector>

struct MovieIndexEntry {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// The idx1 entries as the file lists them; empty when the file is not an AVI file whose index
// agrees with its chunks.
std::optional<std::vector<MovieIndexEntry>> ReadMovieIndex(std::istream& movie);

// Rewrites the index, stream lengths and frame period in place. False, with the file left as it was, when the
// file is not an AVI file whose index agrees with its chunks.
bool TidyMovieIndex(std::iostream& movie);
