// Block layout and format bytes, against what the platform's suggestion holds (measured under Wine).
#include "codec/msadpcm_encoder.h"
#include "msadpcm_reference_decoder.h"
#include "msadpcm_test_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

TEST(MsAdpcmFormat, BlockSizesAreThePlatformSuggestions)
{
    struct Case {
        int rate, channels, blockAlign, samplesPerBlock, bytesPerSecond;
    };
    const Case cases[] = {{8000, 1, 256, 500, 4096},      {11025, 1, 256, 500, 5644},    {11025, 2, 512, 500, 11289},
                          {22050, 1, 512, 1012, 11155},   {22050, 2, 1024, 1012, 22311}, {44100, 1, 1024, 2036, 22179},
                          {44100, 2, 2048, 2036, 44359}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.channels << " ch");
        EXPECT_EQ(msadpcm::SuggestedBlockAlign(c.rate, c.channels), c.blockAlign);
        EXPECT_EQ(msadpcm::SamplesPerBlock(c.blockAlign, c.channels), c.samplesPerBlock);
        EXPECT_EQ(msadpcm::BlockBytes(c.samplesPerBlock, c.channels), static_cast<std::size_t>(c.blockAlign));
        EXPECT_EQ(msadpcm::AverageBytesPerSecond(c.rate, c.blockAlign, c.samplesPerBlock), c.bytesPerSecond);
    }
    // Too small for a header, too large, or a channel count the format does not carry.
    for (const auto& [blockAlign, channels] : {std::pair{6, 1}, {13, 2}, {8193, 1}, {256, 0}, {256, 3}}) {
        EXPECT_EQ(msadpcm::SamplesPerBlock(blockAlign, channels), 0) << blockAlign << " " << channels;
        msadpcm::Encoder encoder;
        EXPECT_FALSE(encoder.begin(channels, blockAlign));
    }
}

TEST(MsAdpcmFormat, ExtraBytesListTheStandardCoefficients)
{
    const std::uint8_t suggested[] = {0xf4, 0x03, 0x07, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,
                                      0xff, 0x00, 0x00, 0x00, 0x00, 0xc0, 0x00, 0x40, 0x00, 0xf0, 0x00,
                                      0x00, 0x00, 0xcc, 0x01, 0x30, 0xff, 0x88, 0x01, 0x18, 0xff};
    std::uint8_t extra[msadpcm::kFormatExtraBytes] = {};
    msadpcm::WriteFormatExtra(1012, extra);
    EXPECT_EQ(std::vector<std::uint8_t>(extra, extra + sizeof(extra)),
              std::vector<std::uint8_t>(suggested, suggested + sizeof(suggested)));
}

// A block starts with the predictor, the step, then the second and the first sample; one frame is
// held twice, and mono nibbles run high first.
TEST(MsAdpcmFormat, BlockHeaderAndNibbleOrder)
{
    msadpcm::Encoder encoder;
    ASSERT_TRUE(encoder.begin(2, 512));
    const std::int16_t one[] = {-2, 300};
    std::uint8_t block[512] = {};
    ASSERT_EQ(encoder.encode(one, 1, block), 14u);
    const std::uint8_t expected[] = {block[0], block[1], block[2], block[3], block[4], block[5],
                                     0xfe,     0xff,     0x2c,     0x01,     0xfe,     0xff,     0x2c, 0x01};
    EXPECT_EQ(std::vector<std::uint8_t>(block, block + 14), std::vector<std::uint8_t>(expected, expected + 14));

    ASSERT_TRUE(encoder.begin(1, 256));
    const std::int16_t ramp[] = {0, 100, 200, 300, 400};
    std::int16_t reconstruction[5] = {};
    ASSERT_EQ(encoder.encode(ramp, 5, block, reconstruction), 9u); // 7 + three nibbles
    EXPECT_EQ(block[0], 1);                                              // 2 s1 - s2 predicts a ramp exactly
    EXPECT_EQ(block[3] | (block[4] << 8), 100);
    EXPECT_EQ(block[5] | (block[6] << 8), 0);
    EXPECT_EQ(block[7], 0x00);
    EXPECT_EQ(block[8] & 0x0f, 0); // padding after the odd nibble
    std::vector<std::int16_t> decoded;
    ASSERT_TRUE(DecodeMsAdpcmBlock(block, 9, 1, decoded));
    decoded.resize(5);
    EXPECT_EQ(decoded, std::vector<std::int16_t>(ramp, ramp + 5));
    EXPECT_EQ(std::vector<std::int16_t>(reconstruction, reconstruction + 5), decoded);
}

// Blocks share a call's vector lanes, so a block must code the same whichever call and lane it
// falls in; and every block must decode to the reconstruction, also where steps outgrow 16 bits.
TEST(MsAdpcmBlocks, EveryCallSplitCodesTheSameBytes)
{
    using msadpcm_test::Signal;
    struct Case {
        Signal signal;
        int channels, blockAlign;
        bool fullScaleJumps; // between quiet stretches: steps that grow past 16 bits, then shrink
    };
    const Case cases[] = {{Signal::SpeechLikeNoise, 1, 256, false}, {Signal::SpeechLikeNoise, 2, 512, false},
                          {Signal::Sine, 1, 20, true},               {Signal::Sine, 2, 2048, true},
                          {Signal::FullScaleSquare, 2, 1024, false}, {Signal::FullScaleSquare, 1, 256, false},
                          {Signal::Silence, 2, 64, false}};
    // Frames per call, in whole blocks; the last call takes the rest and a short block.
    const int splits[] = {1, 3, 9, 17, 1000};
    for (const Case& c : cases) {
        msadpcm::Encoder encoder;
        ASSERT_TRUE(encoder.begin(c.channels, c.blockAlign));
        const int perBlock = encoder.samplesPerBlock();
        const int frames = perBlock * 40 + perBlock / 3 + 1;
        std::vector<std::int16_t> pcm = msadpcm_test::MakeSignal(c.signal, 22050, c.channels, frames);
        if (c.fullScaleJumps) {
            std::mt19937 random(7);
            for (std::size_t i = 0; i < pcm.size(); i += 97) {
                pcm[i] = static_cast<std::int16_t>(random() % 2 ? 32767 : -32768);
            }
        }
        std::vector<std::uint8_t> reference;
        std::vector<std::int16_t> referenceReconstruction(pcm.size());
        for (const int split : splits) {
            SCOPED_TRACE(testing::Message() << msadpcm_test::SignalName(c.signal) << (c.fullScaleJumps ? " with jumps" : "")
                                            << ", " << c.channels << " ch, " << c.blockAlign << " bytes a block, "
                                            << split << " blocks a call");
            std::vector<std::uint8_t> coded(msadpcm::BlockBytes(perBlock, c.channels) * 41, 0xAA);
            std::vector<std::int16_t> reconstruction(pcm.size());
            std::size_t written = 0;
            for (int first = 0; first < frames; first += split * perBlock) {
                const int count = std::min(split * perBlock, frames - first);
                const std::size_t at = static_cast<std::size_t>(first) * c.channels;
                written += encoder.encode(pcm.data() + at, count, coded.data() + written, reconstruction.data() + at);
            }
            ASSERT_EQ(written, 40 * msadpcm::BlockBytes(perBlock, c.channels) +
                                   msadpcm::BlockBytes(perBlock / 3 + 1, c.channels));
            coded.resize(written);
            if (reference.empty()) {
                reference = coded;
                referenceReconstruction = reconstruction;
                std::vector<std::int16_t> decoded;
                for (std::size_t at = 0; at < coded.size(); at += static_cast<std::size_t>(c.blockAlign)) {
                    ASSERT_TRUE(DecodeMsAdpcmBlock(coded.data() + at,
                                                   std::min<std::size_t>(c.blockAlign, coded.size() - at), c.channels,
                                                   decoded));
                }
                decoded.resize(pcm.size());
                EXPECT_EQ(decoded, reconstruction);
            } else {
                EXPECT_EQ(coded, reference);
                EXPECT_EQ(reconstruction, referenceReconstruction);
            }
        }
    }
}

// A movie holds whole blocks, so a track that ends within a block is padded with silence to the
// block's end before coding. The end must then decode to the tone or to silence: no block may run
// off towards full scale. 1 dB above the tone's level is the coding's own overshoot on a peak.
TEST(MsAdpcmBlocks, TrackPaddedWithSilenceEndsAtTheRecordedLevel)
{
    std::mt19937 random(33);
    for (int trial = 0; trial < 60; ++trial) {
        const int rate = std::array{11025, 22050, 44100}[random() % 3];
        const int channels = 1 + static_cast<int>(random() % 2);
        const int level = 2000 + static_cast<int>(random() % 28000);
        const double frequency = 100.0 + random() % 2000;
        msadpcm::Encoder encoder;
        ASSERT_TRUE(encoder.begin(channels, msadpcm::SuggestedBlockAlign(rate, channels)));
        const int perBlock = encoder.samplesPerBlock();
        const int frames = perBlock * 3 + static_cast<int>(random() % perBlock);
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch, level " << level << ", "
                                        << frequency << " Hz, " << frames << " frames");
        const int blocks = (frames + perBlock - 1) / perBlock;
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(blocks) * perBlock * channels, 0);
        for (int i = 0; i < frames * channels; ++i) {
            pcm[i] = static_cast<std::int16_t>(
                std::lround(level * std::sin(6.283185307179586 * frequency * (i / channels) / rate + i % channels)));
        }
        std::vector<std::uint8_t> coded(static_cast<std::size_t>(blocks) * encoder.blockAlign());
        ASSERT_EQ(encoder.encode(pcm.data(), blocks * perBlock, coded.data()), coded.size());
        std::vector<std::int16_t> decoded;
        for (std::size_t at = 0; at < coded.size(); at += encoder.blockAlign()) {
            ASSERT_TRUE(DecodeMsAdpcmBlock(coded.data() + at, encoder.blockAlign(), channels, decoded));
        }
        const std::size_t tail = static_cast<std::size_t>(rate / 20 * channels);
        int peak = 0;
        for (std::size_t i = static_cast<std::size_t>(frames * channels) - tail; i < decoded.size(); ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(decoded[i])));
        }
        EXPECT_LE(peak, level * 1.122);
    }
}

// Nothing to code writes nothing, and touches neither the input nor the output.
TEST(MsAdpcmBlocks, NoFramesWriteNothing)
{
    msadpcm::Encoder encoder;
    ASSERT_TRUE(encoder.begin(2, 512));
    std::uint8_t out[4] = {1, 2, 3, 4};
    for (const int frames : {0, -1}) {
        EXPECT_EQ(encoder.encode(nullptr, frames, out), 0u);
    }
    EXPECT_EQ(out[0] + out[1] + out[2] + out[3], 10);
    msadpcm::Encoder unstarted;
    const std::int16_t pcm[2] = {};
    EXPECT_EQ(unstarted.encode(pcm, 1, out), 0u);
}

} // namespace
