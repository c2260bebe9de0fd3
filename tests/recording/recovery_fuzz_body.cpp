#include "recovery_fuzz_body.h"

#include "audio/movie_index.h"
#include "audio/wave_repair.h"
#include "recording/movie_rebuild.h"
#include "recording/recording_journal_format.h"
#include "recovery_test_movies.h"

#include <sstream>
#include <string>
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
    // The program's reader of movies, whichever index it follows, finds chunks only within the file.
    for (const MovieIndexChoice choice : {MovieIndexChoice::Best, MovieIndexChoice::LegacyOnly}) {
        std::istringstream file(std::string(movie.begin(), movie.end()));
        if (const auto contents = ReadMovie(file, choice)) {
            for (const auto& stream : contents->chunks) {
                for (const MovieChunkEntry& chunk : stream) {
                    if (chunk.offset > movie.size() || movie.size() - chunk.offset < chunk.size) {
                        return false;
                    }
                }
            }
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
    // Every slot of the time line is a chunk of the movie.
    if (!frames.empty() && frames.back().position >= chunks.size()) {
        return false;
    }
    MemoryMovie rebuilt;
    if (!WriteRecoveredMovie(journal->stream, frames, read, rebuilt)) {
        return frames.empty() || journal->stream.format.size() < 40 || journal->stream.rate == 0 ||
               journal->stream.scale == 0;
    }
    const auto parsed = ReadBack(rebuilt.bytes);
    if (!parsed || parsed->chunks.size() != 1 || parsed->chunks[0].size() != frames.back().position + 1) {
        return false;
    }
    for (const RecoveredFrame& frame : frames) {
        const std::vector<std::uint8_t> original(movie.begin() + static_cast<long>(frame.offset),
                                                 movie.begin() + static_cast<long>(frame.offset + frame.size));
        if (DataOf(rebuilt.bytes, parsed->chunks[0][frame.position]) != original) {
            return false;
        }
    }
    return true;
}
