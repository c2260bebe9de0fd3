// ffmpeg's adpcm_ms decoder, an independent one, must yield exactly the encoder's reconstruction,
// and that must be at least as close to the input as ffmpeg's own adpcm_ms encoder gets.
#include "codec/msadpcm_encoder.h"
#include "msadpcm_test_audio.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using msadpcm_test::Signal;

TEST(MsAdpcmInFfmpeg, DecodesToTheReconstructionAndBeatsFfmpegsEncoder)
{
    struct Case {
        Signal signal;
        int rate, channels, frames;
    };
    // Frame counts: whole blocks, odd lengths, a last block of one or two frames, shorter than a block.
    const Case cases[] = {
        {Signal::Sine, 22050, 2, 22050},           {Signal::Sine, 11025, 1, 5000},
        {Signal::Sine, 44100, 1, 2036 * 3},        {Signal::SpeechLikeNoise, 22050, 1, 22051},
        {Signal::SpeechLikeNoise, 44100, 2, 44101}, {Signal::SpeechLikeNoise, 11025, 2, 500 * 4 + 1},
        {Signal::Silence, 22050, 2, 3001},         {Signal::FullScaleSquare, 22050, 1, 1012 * 2 + 2},
        {Signal::FullScaleSquare, 44100, 2, 9999}, {Signal::Sine, 8000, 1, 7},
    };
    const std::string dir = testing::TempDir();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << msadpcm_test::SignalName(c.signal) << ", " << c.rate << " Hz, "
                                        << c.channels << " ch, " << c.frames << " frames");
        const std::vector<std::int16_t> pcm = msadpcm_test::MakeSignal(c.signal, c.rate, c.channels, c.frames);
        const msadpcm_test::EncodedStream ours = msadpcm_test::Encode(pcm, c.rate, c.channels);
        ASSERT_EQ(ours.blockAlign, msadpcm::SuggestedBlockAlign(c.rate, c.channels));
        const std::string oursWav = dir + "msadpcm_ours.wav";
        ASSERT_TRUE(msadpcm_test::WriteAdpcmWav(oursWav, ours));
        std::string errors;
        std::vector<std::int16_t> decoded = msadpcm_test::DecodeWithFfmpeg(oursWav, errors);
        EXPECT_EQ(errors, "");
        // A last block of one frame holds it twice; an odd count of mono nibbles pads one sample.
        ASSERT_GE(decoded.size(), pcm.size());
        ASSERT_LE(decoded.size(), pcm.size() + c.channels);
        decoded.resize(pcm.size());
        EXPECT_EQ(decoded, ours.reconstruction);

        const std::string pcmWav = dir + "msadpcm_input.wav";
        const std::string theirsWav = dir + "msadpcm_theirs.wav";
        ASSERT_TRUE(msadpcm_test::WritePcmWav(pcmWav, pcm, c.rate, c.channels));
        const std::vector<std::int16_t> theirs = msadpcm_test::FfmpegRoundTrip(pcmWav, ours.blockAlign, theirsWav, errors);
        ASSERT_EQ(errors, "");
        const double oursSnr = msadpcm_test::SnrDb(pcm, decoded);
        const double theirsSnr = msadpcm_test::SnrDb(pcm, theirs);
        std::printf("%-18s %5d Hz %d ch %6d frames: ours %6.2f dB, ffmpeg %6.2f dB\n",
                    msadpcm_test::SignalName(c.signal), c.rate, c.channels, c.frames, oursSnr, theirsSnr);
        EXPECT_GE(oursSnr, theirsSnr);
        std::remove(oursWav.c_str());
        std::remove(pcmWav.c_str());
        std::remove(theirsWav.c_str());
    }
}

} // namespace
