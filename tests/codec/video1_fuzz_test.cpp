// The fuzz target's checks on deterministic random inputs, so that every sanitizer build runs them.
#include "video1_fuzz_body.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(Video1Fuzz, RandomSequencesDecodeToTheReconstruction)
{
    std::mt19937 random(20261207);
    for (int run = 0; run < 1500; ++run) {
        std::vector<std::uint8_t> data(6 + random() % 6000);
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        // Short periods give flat and two-coloured blocks; 0x04xx words are red 1 (skip collision).
        const std::size_t period = 1 + random() % 8;
        if (run % 3 == 0 && data.size() > 6 + period) {
            for (std::size_t i = 6 + period; i < data.size(); ++i) {
                data[i] = data[i - period];
            }
        }
        if (run % 5 == 0) {
            for (std::size_t i = 7; i < data.size(); i += 2) {
                data[i] = 0x04;
            }
        }
        ASSERT_TRUE(EncodeFuzzedSequence(data.data(), data.size())) << "run " << run;
    }
}
