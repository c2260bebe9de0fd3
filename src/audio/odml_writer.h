#pragma once
// Writes an AVI movie of any length as its chunks come, with the index kept in memory: OpenDML.
// The first RIFF 'AVI ' is a whole AVI 1.0 file by itself (with a legacy idx1), so that a movie of
// less than 1 GiB is one any old reader takes; further parts are RIFF 'AVIX' lists of about 1 GiB.
// Every stream has a super index (indx) in the header, reserved at the start, and a standard index
// (ix00, ix01, ...) at the end of each part's movi list. Portable: the file is reached through a sink.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Where the movie goes: appended in order, with a few sizes behind the end written again.
class MovieSink {
public:
    virtual bool Append(std::span<const std::uint8_t> bytes) = 0;
    virtual bool Overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // The file ends at end; what follows goes.
    virtual bool Truncate(std::uint64_t end) = 0;

protected:
    ~MovieSink() = default;
};

struct MovieStream {
    std::uint32_t type = 0; // 'vids' or 'auds'
    std::uint32_t handler = 0;
    std::uint32_t scale = 1;
    std::uint32_t rate = 0;
    std::uint32_t sampleSize = 0;     // 0: one chunk is one sample (video); else bytes a sample (a sound block)
    std::vector<std::uint8_t> format; // strf: bitmap header and colour table, or the sound format
    std::string name = {};            // strn, shown by players beside the stream; none when empty
};

// A part ends before it would pass 1 GiB, as old readers and other writers expect.
constexpr std::uint64_t kMoviePartBytes = std::uint64_t{1} << 30;
// And before its standard index holds this many chunks, which bounds the index kept in memory
// (12 bytes a chunk) on a time line of long gaps.
constexpr std::uint32_t kMoviePartChunks = 1u << 20;
// Parts a recording's movie can have: 8 TiB, 24 hours at 200 frames/s (the highest rate the
// program records at) of frames of 500 KB on average, about three times what full-HD Video 1
// stores a frame of a moving picture at its highest quality. 16 bytes each, per stream, in the
// header: 128 KB.
constexpr std::uint32_t kRecordingMovieParts = 8192;

struct MovieLayout {
    std::uint64_t partBytes = kMoviePartBytes;
    std::uint32_t partChunks = kMoviePartChunks;
    std::uint32_t parts = kRecordingMovieParts; // the super index's capacity
    bool interleaved = false;
};

// Parts enough for a movie of this many bytes in this many chunks, none larger than largestChunk.
std::uint32_t MoviePartsFor(std::uint64_t bytes, std::uint64_t chunks, std::uint64_t largestChunk,
                            const MovieLayout& layout = {});

// A chunk that was not added leaves the file as it was before it: Finish still ends the movie with
// everything added until then (and written, when the sink refused a write).
enum class AddResult {
    Added,
    WriteFailed, // the sink refused a write: the chunks since the last write it took are left out
    Full,        // the super index has no room for another part
};

class OdmlWriter {
public:
    OdmlWriter(MovieSink& sink, std::vector<MovieStream> streams, MovieLayout layout = {});
    OdmlWriter(const OdmlWriter&) = delete;
    OdmlWriter& operator=(const OdmlWriter&) = delete;

    // Writes the header with room for what is known only at the end.
    bool Start();
    // One chunk of the stream, after all before it. A video chunk is one time-line slot: an empty
    // one shows the slot before it again.
    AddResult Add(std::size_t stream, std::span<const std::uint8_t> data, bool key);
    // Hands every chunk added so far to the sink; those it refuses are left out of the movie.
    bool Flush();
    // Ends the last part and writes the header's counts and indexes. Where the sink refuses the
    // index (a full disk, the largest file the disk takes), the last chunks give way to it.
    bool Finish();

    // The file's size once everything added is handed over.
    std::uint64_t Bytes() const { return m_flushed + m_pending.size(); }
    // Of all streams, in the movie.
    std::uint64_t Chunks() const;

private:
    struct Entry {
        std::uint32_t at;   // of the chunk's header, from the part's 'movi'
        std::uint32_t size; // of its data
        std::uint16_t stream;
        bool key;
    };
    struct PartIndex {
        std::uint64_t at;       // of the ix## chunk
        std::uint32_t size;     // with its header
        std::uint32_t duration; // chunks of video, samples of sound
    };
    struct StreamTotals {
        std::uint64_t chunks = 0;
        std::uint64_t bytes = 0;
        std::uint32_t largest = 0;
        std::uint64_t firstPartChunks = 0;
        std::vector<PartIndex> parts;
    };

    std::vector<std::uint8_t> Header() const;
    std::uint64_t IndexBytesWith(std::size_t stream) const;
    void Count(const Entry& entry, int sign);
    void StartPart();
    bool EndPart();
    bool DropLastChunk();
    bool Patch(std::uint64_t offset, std::uint32_t value);
    std::uint32_t ChunkId(std::size_t stream) const;

    MovieSink& m_sink;
    std::vector<MovieStream> m_streams;
    MovieLayout m_layout;
    std::vector<StreamTotals> m_totals;
    std::vector<std::uint8_t> m_pending;
    std::uint64_t m_flushed = 0;
    bool m_failed = false; // the header or a part's sizes could not be written: the movie is lost
    std::uint32_t m_partsUsed = 0; // parts ended
    bool m_partOpen = false;
    bool m_partStartPending = false; // the open part's RIFF header is not yet written
    std::uint64_t m_partAt = 0; // of the part's 'RIFF'
    std::uint64_t m_moviAt = 0; // of its movi list's type, which offsets count from
    std::vector<Entry> m_entries; // of the part
    std::size_t m_flushedEntries = 0;
    std::vector<std::uint32_t> m_partStreamChunks;
    std::uint32_t m_firstRiffSize = 0;
    std::uint32_t m_firstMoviSize = 0;
};
