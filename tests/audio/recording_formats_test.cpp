#include "audio/recording_formats.h"

#include <gtest/gtest.h>

#include <set>

TEST(RecordingFormats, TableListsTwelveDistinctFormatsWithTheirTexts)
{
    const char* const texts[] = {
        "11.025 kHz, mono, 8-bit", "11.025 kHz, mono, 16-bit", "11.025 kHz, stereo, 8-bit", "11.025 kHz, stereo, 16-bit",
        "22.05 kHz, mono, 8-bit",  "22.05 kHz, mono, 16-bit",  "22.05 kHz, stereo, 8-bit",  "22.05 kHz, stereo, 16-bit",
        "44.1 kHz, mono, 8-bit",   "44.1 kHz, mono, 16-bit",   "44.1 kHz, stereo, 8-bit",   "44.1 kHz, stereo, 16-bit"};
    std::set<std::int32_t> bits;
    for (size_t i = 0; i < kRecordingFormats.size(); ++i) {
        const RecordingFormat& format = kRecordingFormats[i];
        EXPECT_EQ(RecordingFormatText(format), texts[i]);
        EXPECT_EQ(format.stringId, static_cast<int>(128 + i));
        EXPECT_EQ(FindRecordingFormat(format.bit), &format);
        bits.insert(format.bit);
    }
    EXPECT_EQ(bits.size(), 12u);
    EXPECT_EQ(FindRecordingFormat(0), nullptr);
    EXPECT_EQ(FindRecordingFormat(4096), nullptr);
    EXPECT_EQ(FindRecordingFormat(128 | 16), nullptr);
}

TEST(RecordingFormats, DeviceMaskChoosesByPreferenceWithAFallback)
{
    struct Case {
        std::uint32_t mask;
        std::int32_t bit, rate, channels, bitsPerSample;
    };
    const Case cases[] = {
        {0xFFFFF, 128, 22050, 2, 16},            // every format: 22.05 kHz stereo 16-bit
        {2048, 2048, 44100, 2, 16},              // only the last preference
        {0, 16, 22050, 1, 8},                    // nothing reported
        {0xFFFFF000, 16, 22050, 1, 8},           // only bits beyond the table
        {0xFFF & ~128u, 16, 22050, 1, 8},
        {1 | 2 | 4 | 8 | 256 | 512, 1, 11025, 1, 8},
        {2 | 8 | 1024, 2, 11025, 2, 8},
        {512 | 1024 | 2048, 1024, 44100, 1, 16},
        {64 | 32, 32, 22050, 2, 8},
    };
    for (const Case& c : cases) {
        const RecordingFormat& format = PreferredRecordingFormat(c.mask);
        EXPECT_EQ(format.bit, c.bit) << std::hex << c.mask;
        EXPECT_EQ(format.samplesPerSecond, c.rate) << std::hex << c.mask;
        EXPECT_EQ(format.channels, c.channels) << std::hex << c.mask;
        EXPECT_EQ(format.bitsPerSample, c.bitsPerSample) << std::hex << c.mask;
    }
}

TEST(RecordingFormats, PcmLayoutAndMpegLayer3Applicability)
{
    EXPECT_EQ(PcmLayoutFor(22050, 2, 16).blockAlign, 4);
    EXPECT_EQ(PcmLayoutFor(22050, 2, 16).averageBytesPerSecond, 88200);
    EXPECT_EQ(PcmLayoutFor(11025, 1, 8).blockAlign, 1);
    EXPECT_EQ(PcmLayoutFor(11025, 1, 8).averageBytesPerSecond, 11025);
    EXPECT_EQ(PcmLayoutFor(44100, 1, 16).averageBytesPerSecond, 88200);

    EXPECT_TRUE(MpegLayer3Applies(22050, 2, 16));
    EXPECT_TRUE(MpegLayer3Applies(22050, 2, 8));
    EXPECT_FALSE(MpegLayer3Applies(11025, 1, 8));
    EXPECT_FALSE(MpegLayer3Applies(22050, 1, 16));
    EXPECT_FALSE(MpegLayer3Applies(44100, 2, 16));
    EXPECT_FALSE(MpegLayer3Applies(22050, 2, 24));
}

TEST(RecordingFormats, DetailTexts)
{
    EXPECT_EQ(AudioFormatDetailText(22050, 16, 2, 88200), "22050 Hz, 16 Bit, Stereo      88200 Bytes/sec");
    EXPECT_EQ(AudioFormatDetailText(11025, 8, 1, 11025), "11025 Hz, 8 Bit, Mono      11025 Bytes/sec");
    // Compressed formats may report no sample width.
    EXPECT_EQ(AudioFormatDetailText(44100, 0, 2, 16000), "44100 Hz, Stereo      16000 Bytes/sec");
    EXPECT_EQ(AudioFormatDetailText(4294967295LL, 65535, 3, 4294967295LL),
              "4294967295 Hz, 65535 Bit, Stereo      4294967295 Bytes/sec");
}

TEST(RecordingFormats, AboutASecondOfBuffersIsQueued)
{
    EXPECT_EQ(WaveBuffersToQueue(11025), 12);
    EXPECT_EQ(WaveBuffersToQueue(22050), 23);
    EXPECT_EQ(WaveBuffersToQueue(44100), 45);
    EXPECT_EQ(WaveBuffersToQueue(1000), 3);
    EXPECT_EQ(WaveBuffersToQueue(0), 3);
    EXPECT_EQ(WaveBuffersToQueue(-5), 3);
}
