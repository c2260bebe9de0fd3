#pragma once
// The program's reader of AVI files, OpenDML ones of any size included. It also mends the index of
// a file the movie library finished as players need it: entries in the order of the chunks in the
// file, each fixed-size stream's length counted in samples, and the main header's microseconds per
// frame from the video stream's rate. The movie library under Wine lists one stream's chunks after
// the other, counts an audio stream's length in chunks and gets the frame period wrong.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
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

// A stream as its header lists it.
struct MovieStreamInfo {
    std::uint32_t type = 0; // 'vids', 'auds'
    std::uint32_t handler = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t length = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t sampleSize = 0;
    std::vector<std::uint8_t> format;
    std::string name; // strn: empty when the stream has none
};

struct MovieChunkEntry {
    std::uint64_t offset = 0; // of the chunk's data
    std::uint32_t size = 0;
    bool key = false;
};

struct MovieContents {
    std::uint32_t microsecondsPerFrame = 0;
    std::uint32_t flags = 0;
    std::uint32_t firstPartFrames = 0; // the main header's count: the first RIFF's frames
    std::uint32_t totalFrames = 0;     // the OpenDML header's count; the main header's without one
    bool openDml = false;              // read through the super indexes
    std::vector<MovieStreamInfo> streams;
    std::vector<std::vector<MovieChunkEntry>> chunks; // each stream's, in order
};

enum class MovieIndexChoice {
    Best,       // the OpenDML indexes where there are any, else idx1
    LegacyOnly, // idx1, as a reader of AVI 1.0 sees the file
};

// The streams and their chunks; empty when the file is not an AVI file whose indexes agree with
// its chunks.
std::optional<MovieContents> ReadMovie(std::istream& movie, MovieIndexChoice choice = MovieIndexChoice::Best);

// Rewrites the index, stream lengths and frame period in place. False, with the file left as it was, when the
// file is not an AVI file whose index agrees with its chunks.
bool TidyMovieIndex(std::iostream& movie);
