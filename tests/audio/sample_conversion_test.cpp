// Device samples to floats, speaker layouts folded to stereo or mono, and floats back to PCM
// that clamps: a mix louder than full scale saturates and never wraps to the other sign.
#include "audio/sample_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

TEST(SampleConversion, DeviceSamplesBecomeFloatsAtFullScale)
{
    const std::uint8_t u8[] = {0, 128, 255};
    const std::uint8_t s16[] = {0x00, 0x80, 0x00, 0x00, 0xFF, 0x7F};
    const std::uint8_t s24[] = {0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x7F};
    const std::uint8_t s32[] = {0, 0, 0, 0x80, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    const float f32[] = {-1.0f, 0.0f, 0.5f};
    const struct {
        SampleKind kind;
        const void* data;
        float last;
    } cases[] = {{SampleKind::Unsigned8, u8, 127.0f / 128},       {SampleKind::Signed16, s16, 32767.0f / 32768},
                 {SampleKind::Signed24, s24, 8388607.0f / 8388608}, {SampleKind::Signed32, s32, 1.0f},
                 {SampleKind::Float32, f32, 0.5f}};
    for (const auto& c : cases) {
        float out[3] = {};
        SamplesToFloat(c.data, 3, c.kind, out);
        EXPECT_FLOAT_EQ(out[0], -1.0f);
        EXPECT_FLOAT_EQ(out[1], 0.0f);
        EXPECT_FLOAT_EQ(out[2], c.last);
    }
}

TEST(SampleConversion, SpeakerLayoutsFoldIntoStereoAndMono)
{
    constexpr float s = 0.70710678f;
    using Weights = std::vector<std::pair<float, float>>;
    const struct {
        int channels;
        std::uint32_t mask;
        Weights weights;
    } cases[] = {
        {1, 0, {{1, 1}}},
        {2, 0, {{1, 0}, {0, 1}}},
        {6, 0, {{1, 0}, {0, 1}, {s, s}, {0, 0}, {s, 0}, {0, s}}},  // 5.1: the bass channel left out
        {4, 0x33, {{1, 0}, {0, 1}, {s, 0}, {0, s}}},                // quad
        {3, 0x3, {{1, 0}, {0, 1}, {0, 0}}},                         // more channels than speakers
        {8, 0x63F, {{1, 0}, {0, 1}, {s, s}, {0, 0}, {s, 0}, {0, s}, {s, 0}, {0, s}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channels);
        const Weights weights = StereoFoldWeights(c.channels, c.mask);
        ASSERT_EQ(weights.size(), c.weights.size());
        for (std::size_t i = 0; i < weights.size(); ++i) {
            EXPECT_FLOAT_EQ(weights[i].first, c.weights[i].first);
            EXPECT_FLOAT_EQ(weights[i].second, c.weights[i].second);
        }
    }
    const float frame[] = {0.2f, 0.4f};
    float stereo[2];
    float mono[1];
    FoldChannels(frame, 1, StereoFoldWeights(2, 0), 2, stereo);
    FoldChannels(frame, 1, StereoFoldWeights(2, 0), 1, mono);
    EXPECT_FLOAT_EQ(stereo[0], 0.2f);
    EXPECT_FLOAT_EQ(stereo[1], 0.4f);
    EXPECT_FLOAT_EQ(mono[0], 0.3f);
}

TEST(SampleConversion, PcmClampsAtFullScale)
{
    // Two full-scale sources added, either sign; a NaN from a broken device is silence.
    const float in[] = {0.9f + 0.9f, -0.9f - 0.9f, 0.5f, 0.0f, std::numeric_limits<float>::quiet_NaN()};
    std::uint8_t pcm16[10];
    std::uint8_t pcm8[5];
    FloatToPcm(in, 5, 16, pcm16);
    FloatToPcm(in, 5, 8, pcm8);
    const std::int16_t expected16[] = {32767, -32768, 16384, 0, 0};
    const std::uint8_t expected8[] = {255, 0, 192, 128, 128};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(static_cast<std::int16_t>(pcm16[2 * i] | pcm16[2 * i + 1] << 8), expected16[i]);
        EXPECT_EQ(pcm8[i], expected8[i]);
    }
}

} // namespace
