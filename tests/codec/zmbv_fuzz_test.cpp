// The fuzz target's checks on deterministic random inputs, so that every sanitizer build runs them.
#include "zmbv_fuzz_body.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(ZmbvFuzz, RandomSequencesDecodeToTheirInput)
{
    std::mt19937 random(20261208);
    for (int run = 0; run < 1500; ++run) {
        std::vector<std::uint8_t> data(7 + random() % 8000);
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        // Short periods make flat and repeating pictures, which moves and unchanged blocks match.
        const std::size_t period = 1 + random() % 64;
        if (run % 2 == 0 && data.size() > 7 + period) {
            for (std::size_t i = 7 + period; i < data.size(); ++i) {
                data[i] = data[i - period];
            }
        }
        ASSERT_TRUE(EncodeFuzzedZmbvSequence(data.data(), data.size())) << "run " << run;
    }
}
