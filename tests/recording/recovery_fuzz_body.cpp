#include "recovery_fuzz_body.h"

#include "audio/wave_repair.h"
#include "recording/movie_rebuild.h"
#include "recording/recording_journal_format.h"
#include "recovery_test_movies.h"

#include <vector>

bool RecoverFuzzedFiles(const std::uint8_t* data, std::size_t size)
{
    // The first two bytes split the input into the journal and the movie.
    if (size < 2) {
        return true;
    }
    const std::size_t split = std::min<std::size_t>(size - 2, data[0] | data[1] << 8);
    const std::vector<std::uint8_t> journalBytes(data + 2, data + 2 + split);
    const std::vector<std::uint8_t> movie(data + 2 + split, data + size);

    if (const auto repair = PlanWaveRepair(movie, movie.size())) {
        if (repair->length > movie.size() || repair->riffSize != repair->length - 8 ||
            repair->dataSizeOffset + 4 > movie.size()) {
            return false;
        }
    }
    const auto journal = ParseJournal(journalBytes);
    const ReadAt read = ReaderOf(movie);
    const auto chunks = FindFrameChunks(read, movie.size());
    for (const MovieChunk& chunk : chunks) {
        if (chunk.offset + chunk.size > movie.size()) {
            return false;
        }
    }
    if (!journal) {
        return true;
    }
    const auto frames = MatchFrames(journal->frames, chunks);
    std::vector<std::uint8_t> rebuilt;
    const bool written = WriteRecoveredMovie(journal->stream, frames, read, [&rebuilt](const void* bytes, std::size_t n) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        rebuilt.insert(rebuilt.end(), first, first + n);
        return rebuilt.size() < (64u << 20);
    });
    if (!written) {
        return frames.empty() || journal->stream.format.size() < 40 || frames.back().position > (1u << 20);
    }
    const auto parsed = ReadMovie(rebuilt);
    if (!parsed || parsed->chunks.size() != frames.back().position + 1) {
        return false;
    }
    for (const RecoveredFrame& frame : frames) {
        const std::vector<std::uint8_t> original(movie.begin() + static_cast<long>(frame.offset),
                                                 movie.begin() + static_cast<long>(frame.offset + frame.size));
        if (parsed->chunks[frame.position].data != original) {
            return false;
        }
    }
    return true;
}
