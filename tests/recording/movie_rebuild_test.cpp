// Rebuilding a temporary movie that a crash left without header and index.
#include "recording/movie_rebuild.h"

#include "recovery_test_movies.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {
const JournalStream kStream = TestStream(64, 48, 25);

// Checks that the movie plays every frame on its slot, with empty slots between.
void ExpectFramesOnTheirSlots(const std::vector<std::uint8_t>& bytes, const std::vector<TestFrame>& frames,
                              const std::string& name)
{
    const auto movie = ReadBack(bytes);
    ASSERT_TRUE(movie) << name;
    ASSERT_EQ(movie->streams.size(), 1u) << name;
    const std::uint32_t slots = frames.back().position + 1;
    const MovieStreamInfo& stream = movie->streams[0];
    EXPECT_EQ(movie->totalFrames, slots) << name;
    EXPECT_EQ(stream.length, slots) << name;
    EXPECT_EQ(stream.rate, 25u) << name;
    EXPECT_EQ(stream.scale, 1u) << name;
    EXPECT_EQ(stream.handler, kStream.handler) << name;
    EXPECT_EQ(stream.format, kStream.format) << name;
    ASSERT_EQ(movie->chunks[0].size(), slots) << name;
    std::size_t next = 0;
    for (std::uint32_t slot = 0; slot < slots; ++slot) {
        const bool filled = next < frames.size() && frames[next].position == slot;
        const MovieChunkEntry& chunk = movie->chunks[0][slot];
        EXPECT_EQ(DataOf(bytes, chunk), filled ? frames[next].data : std::vector<std::uint8_t>{}) << name << " slot " << slot;
        EXPECT_EQ(chunk.key, filled && frames[next].key) << name << " slot " << slot;
        next += filled ? 1 : 0;
    }
}

std::size_t OffsetOfFrame(const std::vector<std::uint8_t>& movie, std::size_t frame)
{
    const auto chunks = FindFrameChunks(ReaderOf(movie), movie.size());
    std::size_t seen = 0;
    for (const MovieChunk& chunk : chunks) {
        if (chunk.size > 0 && seen++ == frame) {
            return static_cast<std::size_t>(chunk.offset) - 8;
        }
    }
    return movie.size();
}
} // namespace

TEST(MovieRebuild, EveryFrameLandsOnItsTimeLineSlot)
{
    const std::vector<std::vector<std::uint32_t>> timeLines = {
        {0}, {0, 1, 2, 3}, {0, 3, 6, 9, 12}, {0, 1, 50, 51, 200}, {2, 3}};
    for (const auto& positions : timeLines) {
        const auto frames = TestFrames(positions, 301);
        const auto journal = JournalOf(kStream, frames);
        // Left by the movie library, and by the program's writer in one part and in many.
        const std::pair<std::string, std::vector<std::uint8_t>> leftovers[] = {
            {"library", UnclosedMovie(frames)},
            {"writer", UnfinishedMovie(kStream, frames)},
            {"writer, parts of 2 KB", UnfinishedMovie(kStream, frames, 2048)},
        };
        for (const auto& [kind, movie] : leftovers) {
            const std::string name = kind + ", last slot " + std::to_string(positions.back());
            const auto rebuilt = Rebuild(movie, journal);
            ExpectFramesOnTheirSlots(rebuilt, frames, name);
            // A crash during the next start's recovery finds the rebuilt movie: the result is the same.
            EXPECT_EQ(Rebuild(rebuilt, journal), rebuilt) << name;
        }
    }
}

TEST(MovieRebuild, DamageKeepsTheFramesBeforeIt)
{
    const auto frames = TestFrames({0, 2, 3, 7, 8}, 120);
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        std::size_t kept;
    };
    const Case cases[] = {
        {"the last frame cut short", [](auto& m) { m.resize(m.size() - 5); }, 4},
        {"cut inside the last chunk's header", [](auto& m) { m.resize(OffsetOfFrame(m, 4) + 5); }, 4},
        {"zeros after the last chunk", [](auto& m) { m.insert(m.end(), 8192, 0); }, 5},
        {"garbage over the third chunk's id", [](auto& m) { std::memset(m.data() + OffsetOfFrame(m, 2), 0xFF, 4); }, 2},
        {"the third chunk's size differs from the journal",
         [](auto& m) { m[OffsetOfFrame(m, 2) + 4] -= 2; }, 2},
        {"a chunk of another stream between frames",
         [](auto& m) {
             const std::vector<std::uint8_t> sound = {'0', '1', 'w', 'b', 4, 0, 0, 0, 1, 2, 3, 4};
             m.insert(m.begin() + static_cast<long>(OffsetOfFrame(m, 3)), sound.begin(), sound.end());
         },
         5},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> movie = UnclosedMovie(frames);
        c.damage(movie);
        const auto kept = std::vector<TestFrame>(frames.begin(), frames.begin() + static_cast<long>(c.kept));
        ExpectFramesOnTheirSlots(Rebuild(movie, JournalOf(kStream, frames)), kept, c.name);
    }
}

TEST(MovieRebuild, JournalAndFileMustAgree)
{
    const auto frames = TestFrames({0, 1, 4, 5}, 64);
    const auto movie = UnclosedMovie(frames);
    struct Case {
        const char* name;
        std::vector<TestFrame> journaled;
        std::size_t kept;
    };
    auto backwards = frames;
    backwards[2].position = 1;
    auto stored = frames;
    stored[1].data.clear(); // the compressor stored nothing for it: an empty slot
    const Case cases[] = {
        {"the journal lost its last record", {frames.begin(), frames.end() - 1}, 3},
        {"the journal knows a frame that never reached the disk", [&] {
             auto more = frames;
             more.push_back(TestFrames({9}, 64)[0]);
             return more;
         }(), 4},
        {"a position that goes back", backwards, 2},
    };
    for (const Case& c : cases) {
        const auto kept = std::vector<TestFrame>(frames.begin(), frames.begin() + static_cast<long>(c.kept));
        ExpectFramesOnTheirSlots(Rebuild(movie, JournalOf(kStream, c.journaled)), kept, c.name);
    }
    // A frame stored empty shows as a gap, and the frames after it keep their slots.
    auto withoutEmpty = stored;
    withoutEmpty.erase(withoutEmpty.begin() + 1);
    ExpectFramesOnTheirSlots(Rebuild(UnclosedMovie(stored), JournalOf(kStream, stored)), withoutEmpty, "stored empty");
}

TEST(MovieRebuild, NothingToRebuildFails)
{
    const auto frames = TestFrames({0, 1}, 64);
    const auto journal = JournalOf(kStream, frames);
    for (const auto& movie : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>(2048, 0),
                              std::vector<std::uint8_t>(7, 0x30)}) {
        EXPECT_TRUE(Rebuild(movie, journal).empty());
    }
    EXPECT_TRUE(Rebuild(UnclosedMovie(frames), JournalOf(kStream, {})).empty());
}

TEST(MovieRebuild, AFrameOnlyLandsOnTheSlotOfItsChunk)
{
    // A damaged journal can name a far slot: the file's chunks (one a slot) bound the time line.
    const auto far = TestFrames({0, 5, 0x10000000}, 64);
    ExpectFramesOnTheirSlots(Rebuild(UnfinishedMovie(kStream, TestFrames({0, 5, 6}, 64)), JournalOf(kStream, far)),
                             {far[0], far[1]}, "far slot");
    // A slot whose chunk holds a frame the journal does not know.
    const auto onDisk = TestFrames({0, 1, 2}, 64);
    ExpectFramesOnTheirSlots(Rebuild(UnclosedMovie(onDisk), JournalOf(kStream, TestFrames({0, 2}, 64))), {onDisk[0]},
                             "frame between");
}

TEST(MovieRebuild, FailedWriteIsReported)
{
    const auto frames = TestFrames({0, 1, 2}, 64);
    const auto movie = UnclosedMovie(frames);
    const auto journal = ParseJournal(JournalOf(kStream, frames));
    ASSERT_TRUE(journal);
    const ReadAt read = ReaderOf(movie);
    const auto found = MatchFrames(journal->frames, FindFrameChunks(read, movie.size()));
    struct Refusing : MemoryMovie {
        bool Append(std::span<const std::uint8_t> data) override
        {
            return bytes.size() + data.size() <= room && MemoryMovie::Append(data);
        }
        std::size_t room = 0;
    };
    for (std::size_t room : {0, 100, 300}) {
        Refusing out;
        out.room = room;
        EXPECT_FALSE(WriteRecoveredMovie(journal->stream, found, read, out)) << room;
    }
}
