#include "audio/sound_timekeeper.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {
// 1000 frames a second, so that frames read as milliseconds; buffers of 45 frames.
constexpr std::uint32_t kRate = 1000;
constexpr std::uint32_t kBuffer = 45;

struct Arrival {
    std::uint32_t atMs;
    std::uint32_t frames;
};

// Buffers arriving from `fromMs` for `seconds`, `delayMs` after the sound in them was due.
std::vector<Arrival> Steady(std::uint32_t startMs, std::uint32_t fromMs, double seconds, std::uint32_t delayMs = 0)
{
    std::vector<Arrival> arrivals;
    for (std::uint32_t due = fromMs + kBuffer; due <= fromMs + seconds * 1000; due += kBuffer) {
        arrivals.push_back({startMs + due + delayMs, kBuffer});
    }
    return arrivals;
}

std::vector<Arrival> Then(std::vector<Arrival> first, const std::vector<Arrival>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}
} // namespace

TEST(SoundTimekeeper, SilenceFillsOnlySoundThatWasNeverDelivered)
{
    constexpr std::uint32_t kWrapSoon = 0xFFFFFF00u;
    // A buffer held up 300 ms, then the ones queued behind it all at once.
    std::vector<Arrival> heldUp = Steady(0, 0, 2.0);
    for (std::uint32_t i = 1; i <= 7; ++i) {
        heldUp.push_back({2000 + 300, kBuffer});
    }
    heldUp = Then(heldUp, Steady(0, 2000 + 7 * kBuffer, 2.0));

    struct Case {
        const char* name;
        std::uint32_t startMs;
        std::vector<Arrival> arrivals;
        std::uint64_t silence;     // in all
        std::uint32_t firstGivenAt; // arrival time of the first silence, 0 for none
    } const cases[] = {
        {"on time", 0, Steady(0, 0, 5.0), 0, 0},
        {"a late start is filled before the first buffer", 0, Steady(0, 1200, 3.0), 1200, 1245},
        {"a start late by jitter only", 0, Steady(0, 40, 3.0), 0, 0},
        {"a buffer held up catches up", 0, heldUp, 0, 0},
        {"a steady delay is not a loss", 0, Then(Steady(0, 0, 1.0), Steady(0, 1000, 3.0, 30)), 0, 0},
        // The sound of 1980 to 2200 ms never came: filled once the last buffer on time (at 1980)
        // has left the second behind.
        {"a dropped stretch", 0, Then(Steady(0, 0, 2.0), Steady(0, 2200, 3.0)), 220, 3010},
        {"the clock wraps", kWrapSoon, Steady(kWrapSoon, 0, 3.0), 0, 0},
        {"late start across the wrap", kWrapSoon, Steady(kWrapSoon, 1200, 2.0), 1200, kWrapSoon + 1245},
    };
    for (const Case& c : cases) {
        CSoundTimekeeper keeper;
        keeper.Restart(c.startMs, kRate);
        std::uint64_t silence = 0;
        std::uint32_t firstGivenAt = 0;
        for (const Arrival& arrival : c.arrivals) {
            const std::uint64_t given = keeper.SilenceBefore(arrival.atMs, arrival.frames);
            if (given != 0 && silence == 0) {
                firstGivenAt = arrival.atMs;
            }
            silence += given;
        }
        EXPECT_EQ(silence, c.silence) << c.name;
        EXPECT_EQ(firstGivenAt, c.firstGivenAt) << c.name;
    }
}

TEST(SoundTimekeeper, RestartForgetsTheLastRecording)
{
    CSoundTimekeeper keeper;
    keeper.Restart(0, kRate);
    EXPECT_EQ(keeper.SilenceBefore(1045, kBuffer), 1000u);
    keeper.Restart(5000, kRate);
    EXPECT_EQ(keeper.SilenceBefore(5045, kBuffer), 0u);
    keeper.Restart(0, 0);
    EXPECT_EQ(keeper.SilenceBefore(9000, kBuffer), 0u) << "no format, no silence";
}
