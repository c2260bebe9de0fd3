// The fuzz target's checks on deterministic inputs, so that every sanitizer build runs them:
// real journals and movies (of one part and of many), damaged at random places.
#include "recovery_fuzz_body.h"
#include "recovery_test_movies.h"

#include <gtest/gtest.h>

#include <random>

TEST(RecoveryFuzz, DamagedJournalsAndMoviesRebuildOrFailCleanly)
{
    std::mt19937 random(20261207);
    for (int run = 0; run < 400; ++run) {
        std::vector<std::uint32_t> positions;
        for (std::uint32_t p = random() % 3; positions.size() < 1 + random() % 12; p += 1 + random() % 5) {
            positions.push_back(p);
        }
        const auto frames = TestFrames(positions, 1 + random() % 300);
        const JournalStream stream = TestStream(64, 48, 1 + random() % 300);
        std::vector<std::uint8_t> journal = JournalOf(stream, frames);
        // Left by the movie library, or by the program's writer in parts of 1 to 5 KB.
        std::vector<std::uint8_t> movie =
            run % 2 ? UnclosedMovie(frames) : UnfinishedMovie(stream, frames, 1024 + random() % 4096);
        for (int damage = static_cast<int>(random() % 4); damage > 0; --damage) {
            auto& target = random() % 2 ? journal : movie;
            target[random() % target.size()] = static_cast<std::uint8_t>(random());
        }
        if (run % 5 == 0) {
            movie.resize(random() % (movie.size() + 1));
        }
        if (run % 7 == 0) {
            journal.resize(random() % (journal.size() + 1));
        }
        std::vector<std::uint8_t> input = {static_cast<std::uint8_t>(journal.size()),
                                           static_cast<std::uint8_t>(journal.size() >> 8)};
        input.insert(input.end(), journal.begin(), journal.end());
        input.insert(input.end(), movie.begin(), movie.end());
        ASSERT_TRUE(RecoverFuzzedFiles(input.data(), input.size())) << "run " << run;
    }
}
