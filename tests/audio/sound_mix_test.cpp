// Sources put on the recording's time line and mixed: a device whose clock drifts, whose packets
// carry times that come late, some by far, and which delivers nothing while nothing plays, still
// starts and ends each sound at its place, with silence between and no jump within; pauses cut
// every source alike, and a silent or ended source holds the mix back no longer than its patience.
#include "audio/sound_mix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {
constexpr int kRate = 22050;
constexpr double kTwoPi = 6.283185307179586;

void Append(std::vector<float>& to, const std::vector<std::uint8_t>& pcm16)
{
    for (std::size_t i = 0; i + 1 < pcm16.size(); i += 2) {
        to.push_back(static_cast<float>(static_cast<std::int16_t>(pcm16[i] | pcm16[i + 1] << 8)) / 32768.0f);
    }
}

struct Stretch {
    double start, end; // seconds; whole periods of the 25 Hz tone, which starts and ends at its peak
};

TEST(SoundMix, SourceKeepsTimeThroughDriftJitterAndSilences)
{
    std::mt19937 random(11);
    const auto uniform = [&random](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    for (const int deviceRate : {22050, 48000}) {
        const double drift = (random() % 2 ? 1 : -1) * uniform(200e-6, 300e-6);
        // Times come late only: a little always, and one packet in four held up by a busy machine.
        const double jitter = uniform(0, 0.004);
        const auto lateness = [&](bool first) {
            return uniform(0, jitter) + (!first && random() % 4 == 0 ? uniform(0.02, 0.045) : 0.0);
        };
        SCOPED_TRACE(testing::Message() << deviceRate << " Hz, drift " << drift * 1e6 << " ppm, jitter "
                                        << jitter * 1e3 << " ms");
        // A long sound first: without steering, the drift would move its end by 8 ms or more.
        std::vector<Stretch> plays = {{0.5, 0.5 + 40 * 0.04 * 25}};
        for (int i = 0; i < 6; ++i) {
            const double start = plays.back().end + 0.04 * static_cast<int>(uniform(8, 50));
            plays.push_back({start, start + 0.04 * static_cast<int>(uniform(10, 100))});
        }
        const double total = plays.back().end + 0.5;
        const double actualRate = deviceRate * (1 + drift);
        const auto sound = [&plays](double t) {
            for (const Stretch& play : plays) {
                if (t >= play.start && t < play.end) {
                    return static_cast<float>(0.5 * std::cos(kTwoPi * 25 * (t - play.start)));
                }
            }
            return 0.0f;
        };

        SoundMix mix(kRate, 1, 16);
        const int source = mix.AddSource(deviceRate, 2, 0, 0.3);
        std::vector<float> output;
        double taken = 0;
        double arrival = 0;
        for (const Stretch& play : plays) {
            const auto first = static_cast<long long>(std::ceil(play.start * actualRate));
            auto n = first;
            const auto last = static_cast<long long>(std::ceil(play.end * actualRate));
            while (n < last) {
                const long long count = std::min(last - n, static_cast<long long>(deviceRate * uniform(0.005, 0.04)));
                std::vector<float> packet;
                for (long long i = n; i < n + count; ++i) {
                    packet.insert(packet.end(), 2, sound(static_cast<double>(i) / actualRate));
                }
                arrival = std::max(arrival, static_cast<double>(n + count) / actualRate + uniform(0, 0.05));
                for (; taken + 0.02 < arrival; taken += 0.02) {
                    Append(output, mix.Take(taken + 0.02, false));
                }
                mix.Deliver(source, static_cast<double>(n) / actualRate + lateness(n == first), packet.data(),
                            static_cast<std::size_t>(count));
                n += count;
            }
        }
        Append(output, mix.Take(total, true));
        ASSERT_EQ(output.size(), static_cast<std::size_t>(total * kRate));

        const double near = (jitter + 0.0025) * kRate;
        const auto loud = [&output](long long i) { return std::abs(output[static_cast<std::size_t>(i)]) > 0.25f; };
        long long silentFrom = 0;
        for (const Stretch& play : plays) {
            const auto start = static_cast<long long>(play.start * kRate);
            const auto end = static_cast<long long>(play.end * kRate);
            long long onset = start - kRate / 50;
            while (!loud(onset)) {
                ++onset;
            }
            long long fade = end + kRate / 50;
            while (!loud(fade)) {
                --fade;
            }
            EXPECT_NEAR(onset, start, near) << "start of the sound at " << play.start << " s";
            EXPECT_NEAR(fade, end, near) << "end of the sound at " << play.end << " s";
            for (long long i = silentFrom; i < start - near - kRate / 200; ++i) {
                ASSERT_EQ(output[static_cast<std::size_t>(i)], 0.0f) << "at " << i;
            }
            silentFrom = end + static_cast<long long>(near) + kRate / 200;
            // A frame left out or put in would show as a kink in the slow tone.
            for (auto i = start + static_cast<long long>(near) + 1; i < end - near - 1; ++i) {
                const auto at = static_cast<std::size_t>(i);
                ASSERT_LT(std::abs(output[at + 1] - 2 * output[at] + output[at - 1]), 1e-3f) << "at " << i;
            }
        }
    }
}

// Two sources at unity gain: the sum clamps; the pause drops what both captured in it; a source
// gone quiet holds the mix back only for its patience, an ended one not at all.
TEST(SoundMix, PausesSilentSourcesAndLoudSums)
{
    SoundMix mix(kRate, 1, 16);
    const int microphone = mix.AddSource(kRate, 1, 0, 2.0);
    const int computer = mix.AddSource(kRate, 1, 0, 0.3);
    const int unplugged = mix.AddSource(kRate, 1, 0, 5.0);
    mix.EndSource(unplugged);
    std::vector<float> output;
    const std::vector<float> quiet(kRate / 10, 0.1f);
    const std::vector<float> after(kRate / 10, 0.2f);
    const std::vector<float> loud(kRate / 10, 0.95f);
    for (int tenth = 0; tenth < 60; ++tenth) {
        const double at = tenth / 10.0;
        if (tenth == 30) {
            mix.Pause(3.0);
        }
        if (tenth == 40) {
            mix.Resume(4.0);
        }
        mix.Deliver(microphone, at, (tenth < 30 ? quiet : after).data(), quiet.size());
        if (tenth >= 10 && tenth < 20) {
            mix.Deliver(computer, at, loud.data(), loud.size());
        }
        Append(output, mix.Take(at + 0.1, false));
        const double line = at + 0.1 - (tenth >= 40 ? 1.0 : tenth >= 30 ? at + 0.1 - 3.0 : 0.0);
        // The microphone has delivered up to the time line; the computer, which plays from 1 s
        // to 2 s only, may hold it back by 0.3 s at most.
        const double computerEnd = tenth < 10 ? 0.0 : std::min(line, 2.0);
        EXPECT_GE(static_cast<double>(output.size()) / kRate, std::min(line, std::max(line - 0.3, computerEnd)) - 1e-3)
            << "at " << at << " s";
    }
    Append(output, mix.Take(6.0, true));
    ASSERT_EQ(output.size(), static_cast<std::size_t>(5 * kRate));
    const struct {
        double at, value;
    } expected[] = {{0.5, 0.1}, {1.5, 1.0}, {2.5, 0.1}, {3.5, 0.2}, {4.9, 0.2}};
    for (const auto& e : expected) {
        EXPECT_NEAR(output[static_cast<std::size_t>(e.at * kRate)], e.value, 1e-3) << "at " << e.at << " s";
    }
}

// Kept apart, each source has a track of its own on the same time line: nothing of one in the other.
TEST(SoundMix, TracksApartHoldEachSourceAlone)
{
    SoundMix mix(kRate, 1, 16);
    const int microphone = mix.AddSource(kRate, 1, 0, 2.0);
    const int computer = mix.AddSource(kRate, 1, 0, 0.3);
    const std::vector<float> voice(kRate / 10, 0.6f);
    const std::vector<float> played(kRate / 10, -0.6f);
    std::vector<float> tracks[2];
    const auto take = [&](double at, bool final) {
        for (const auto& pcm = mix.TakeApart(at, final); std::size_t i : {0u, 1u}) {
            if (!pcm.empty()) {
                Append(tracks[i], pcm[i]);
            }
        }
    };
    for (int tenth = 0; tenth < 20; ++tenth) {
        mix.Deliver(microphone, tenth / 10.0, voice.data(), voice.size());
        if (tenth >= 10) {
            mix.Deliver(computer, tenth / 10.0, played.data(), played.size());
        }
        take(tenth / 10.0 + 0.1, false);
    }
    take(2.0, true);
    for (const std::vector<float>& track : tracks) {
        ASSERT_EQ(track.size(), static_cast<std::size_t>(2 * kRate));
    }
    EXPECT_NEAR(tracks[0][kRate / 2], 0.6, 1e-3);
    EXPECT_NEAR(tracks[0][kRate * 3 / 2], 0.6, 1e-3);
    EXPECT_EQ(tracks[1][kRate / 2], 0.0f);
    EXPECT_NEAR(tracks[1][kRate * 3 / 2], -0.6, 1e-3);
}

} // namespace
