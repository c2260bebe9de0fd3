// The fuzz target's checks on deterministic random inputs, so that every sanitizer build runs them.
#include "msadpcm_fuzz_body.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(MsAdpcmFuzz, RandomInputsDecodeToTheReconstruction)
{
    std::mt19937 random(20261207);
    for (int run = 0; run < 300; ++run) {
        std::vector<std::uint8_t> data(4 + random() % 6000);
        for (std::uint8_t& byte : data) {
            byte = static_cast<std::uint8_t>(random());
        }
        // Extremes: runs of full-scale samples drive the step size to its largest.
        if (run % 4 == 0) {
            for (std::size_t i = 5; i < data.size(); i += 2) {
                data[i] = (i / 64) % 2 ? 0x7F : 0x80;
            }
        }
        ASSERT_TRUE(EncodeFuzzedAudio(data.data(), data.size())) << "run " << run;
    }
}
