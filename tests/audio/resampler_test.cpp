// A tone through the resampler, fed in pieces of every size, comes out at the new rate as the
// same tone: at least 60 dB of signal to noise, at every rate a device or recording uses.
#include "audio/resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr double kTwoPi = 6.283185307179586;

TEST(Resampler, ToneKeepsSixtyDecibelsOfSignalToNoise)
{
    const struct {
        int from, to;
    } cases[] = {{48000, 22050}, {44100, 22050}, {22050, 22050}, {11025, 22050}, {48000, 44100}, {44100, 11025}};
    std::mt19937 random(5);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " Hz to " << c.to << " Hz");
        const double tone = 1000.0;
        const int frames = c.from / 2;
        std::vector<float> input(static_cast<std::size_t>(frames) * 2);
        for (int i = 0; i < frames; ++i) {
            input[2 * i] = static_cast<float>(0.5 * std::sin(kTwoPi * tone * i / c.from));
            input[2 * i + 1] = static_cast<float>(0.9 * std::cos(kTwoPi * tone * i / c.from));
        }
        Resampler resampler(c.from, c.to, 2);
        std::vector<float> output;
        for (int at = 0; at < frames;) {
            const int piece = std::min(frames - at, static_cast<int>(random() % 700));
            resampler.Push(input.data() + 2 * at, static_cast<std::size_t>(piece), output);
            at += piece;
        }
        const auto produced = static_cast<int>(output.size() / 2);
        EXPECT_NEAR(produced, static_cast<double>(frames) * c.to / c.from, 0.01 * c.to);
        EXPECT_NEAR(resampler.OutputPositionOfNextInput(), static_cast<double>(frames) * c.to / c.from, 1e-6);
        // The start meets the silence before the first frame: judged from 20 ms on.
        double signal = 0;
        double noise = 0;
        for (int k = c.to / 50; k < produced; ++k) {
            const double left = 0.5 * std::sin(kTwoPi * tone * k / c.to);
            const double right = 0.9 * std::cos(kTwoPi * tone * k / c.to);
            signal += left * left + right * right;
            noise += std::pow(output[2 * k] - left, 2) + std::pow(output[2 * k + 1] - right, 2);
        }
        EXPECT_GT(10 * std::log10(signal / noise), 60.0);
    }
}
} // namespace
