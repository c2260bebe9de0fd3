// Block layout and format bytes, against what the platform's suggestion holds (measured under Wine).
#include "codec/msadpcm_encoder.h"
#include "msadpcm_reference_decoder.h"

#include <gtest/gtest.h>

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

} // namespace
