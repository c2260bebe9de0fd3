// The built-in MS ADPCM converter through the audio compression manager's stream functions.
#include "codec/msadpcm_encoder.h"
#include "codec/msadpcm_install.h"
#include "msadpcm_test_audio.h"
#include "pcm_format.h"

#include <windows.h>

#include <mmreg.h>
#include <mmsystem.h>
#include <msacm.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using msadpcm_test::Signal;

// A wave format header with room for MS ADPCM's extra bytes.
struct AdpcmFormat {
    WAVEFORMATEX header;
    std::uint8_t extra[msadpcm::kFormatExtraBytes];
};

MMRESULT Suggest(const WAVEFORMATEX& pcm, AdpcmFormat& adpcm)
{
    adpcm = {};
    adpcm.header.wFormatTag = msadpcm::kFormatTag;
    return acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(&pcm), &adpcm.header, sizeof(adpcm),
                            ACM_FORMATSUGGESTF_WFORMATTAG);
}

class Stream {
public:
    Stream(const WAVEFORMATEX& from, const WAVEFORMATEX& to)
    {
        m_result = acmStreamOpen(&m_stream, nullptr, const_cast<WAVEFORMATEX*>(&from), const_cast<WAVEFORMATEX*>(&to),
                                 nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME);
    }
    ~Stream()
    {
        if (m_result == MMSYSERR_NOERROR) {
            acmStreamClose(m_stream, 0);
        }
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    MMRESULT openResult() const { return m_result; }

    // Converts the whole source in one call; used holds the source bytes taken.
    std::vector<std::uint8_t> convert(std::vector<std::uint8_t> source, DWORD flags, DWORD& used)
    {
        DWORD size = 0;
        EXPECT_EQ(acmStreamSize(m_stream, static_cast<DWORD>(source.size()), &size, ACM_STREAMSIZEF_SOURCE),
                  MMSYSERR_NOERROR);
        std::vector<std::uint8_t> out(size);
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof(header);
        header.pbSrc = source.data();
        header.cbSrcLength = static_cast<DWORD>(source.size());
        header.pbDst = out.data();
        header.cbDstLength = size;
        EXPECT_EQ(acmStreamPrepareHeader(m_stream, &header, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(acmStreamConvert(m_stream, &header, flags), MMSYSERR_NOERROR);
        acmStreamUnprepareHeader(m_stream, &header, 0);
        used = header.cbSrcLengthUsed;
        out.resize(header.cbDstLengthUsed);
        return out;
    }

private:
    HACMSTREAM m_stream = nullptr;
    MMRESULT m_result = MMSYSERR_ERROR;
};

std::vector<std::uint8_t> Bytes(const std::vector<std::int16_t>& samples, int bits)
{
    std::vector<std::uint8_t> bytes;
    for (const std::int16_t sample : samples) {
        if (bits == 8) {
            bytes.push_back(static_cast<std::uint8_t>((sample >> 8) + 128));
        } else {
            bytes.push_back(static_cast<std::uint8_t>(sample & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>((sample >> 8) & 0xFF));
        }
    }
    return bytes;
}

class MsAdpcmDriver : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallMsAdpcmIfNeeded()); }
    void TearDown() override { RemoveMsAdpcm(); }
};

// Every recording format converts to the format the platform suggests, and the blocks are the
// encoder's own; whole-block conversion leaves the partial tail for the next call.
TEST_F(MsAdpcmDriver, ConvertsEveryRecordingFormatToTheSuggestedOne)
{
    for (const int rate : {11025, 22050, 44100}) {
        for (const int channels : {1, 2}) {
            for (const int bits : {8, 16}) {
                SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch, " << bits << " bits");
                const WAVEFORMATEX pcm = PcmFormat(rate, channels, bits);
                AdpcmFormat adpcm;
                ASSERT_EQ(Suggest(pcm, adpcm), MMSYSERR_NOERROR);
                EXPECT_EQ(adpcm.header.nBlockAlign, msadpcm::SuggestedBlockAlign(rate, channels));
                Stream stream(pcm, adpcm.header);
                ASSERT_EQ(stream.openResult(), MMSYSERR_NOERROR);

                const int frames = rate / 3 + 5;
                std::vector<std::int16_t> samples = msadpcm_test::MakeSignal(Signal::SpeechLikeNoise, rate, channels, frames);
                if (bits == 8) {
                    for (std::int16_t& sample : samples) {
                        sample = static_cast<std::int16_t>(sample & ~0xFF);
                    }
                }
                const msadpcm_test::EncodedStream expected = msadpcm_test::Encode(samples, rate, channels);
                DWORD used = 0;
                EXPECT_EQ(stream.convert(Bytes(samples, bits), 0, used), expected.data);
                EXPECT_EQ(used, static_cast<DWORD>(frames) * pcm.nBlockAlign);

                const std::vector<std::uint8_t> whole = stream.convert(Bytes(samples, bits), ACM_STREAMCONVERTF_BLOCKALIGN, used);
                const int wholeBlocks = frames / expected.samplesPerBlock;
                EXPECT_EQ(whole.size(), static_cast<std::size_t>(wholeBlocks) * adpcm.header.nBlockAlign);
                EXPECT_EQ(used, static_cast<DWORD>(wholeBlocks * expected.samplesPerBlock) * pcm.nBlockAlign);
            }
        }
    }
}

TEST_F(MsAdpcmDriver, RefusesWhatItCannotProduce)
{
    const WAVEFORMATEX pcm = PcmFormat(22050, 2, 16);
    AdpcmFormat adpcm;
    ASSERT_EQ(Suggest(pcm, adpcm), MMSYSERR_NOERROR);
    AdpcmFormat otherRate = adpcm;
    otherRate.header.nSamplesPerSec = 11025;
    AdpcmFormat ownCoefficients = adpcm;
    ownCoefficients.extra[4] = 1;
    AdpcmFormat tinyBlock = adpcm;
    tinyBlock.header.nBlockAlign = 8;
    for (const AdpcmFormat* refused : {&otherRate, &ownCoefficients, &tinyBlock}) {
        Stream stream(pcm, refused->header);
        EXPECT_EQ(stream.openResult(), static_cast<MMRESULT>(ACMERR_NOTPOSSIBLE));
    }
    WAVEFORMATEX twentyFourBit = PcmFormat(22050, 2, 24);
    Stream stream(twentyFourBit, adpcm.header);
    EXPECT_NE(stream.openResult(), static_cast<MMRESULT>(MMSYSERR_NOERROR));
}

std::wstring FormatTagName(DWORD tag)
{
    ACMFORMATTAGDETAILSW details{};
    details.cbStruct = sizeof(details);
    details.dwFormatTag = tag;
    return acmFormatTagDetailsW(nullptr, &details, ACM_FORMATTAGDETAILSF_FORMATTAG) == MMSYSERR_NOERROR
               ? details.szFormatTag
               : L"";
}

// Installing ours changes nothing the user sees in the format choice: the name stays the system's.
TEST_F(MsAdpcmDriver, LeavesTheSystemsFormatName)
{
    const std::wstring withOurs = FormatTagName(msadpcm::kFormatTag);
    RemoveMsAdpcm();
    const std::wstring without = FormatTagName(msadpcm::kFormatTag);
    EXPECT_EQ(withOurs, without);
    EXPECT_NE(without, L"");
}

// One second of a 440 Hz tone at the default recording format, written as a WAV file where
// FRAMELARK_MSADPCM_WAV names one, for ffmpeg to check (msadpcm_tone_in_ffmpeg.sh).
TEST_F(MsAdpcmDriver, ConvertsOneSecondOfTone)
{
    const WAVEFORMATEX pcm = PcmFormat(22050, 2, 16);
    AdpcmFormat adpcm;
    ASSERT_EQ(Suggest(pcm, adpcm), MMSYSERR_NOERROR);
    Stream stream(pcm, adpcm.header);
    ASSERT_EQ(stream.openResult(), MMSYSERR_NOERROR);
    const std::vector<std::int16_t> tone = msadpcm_test::MakeSignal(Signal::Sine, 22050, 2, 22050);
    DWORD used = 0;
    msadpcm_test::EncodedStream converted;
    converted.data = stream.convert(Bytes(tone, 16), 0, used);
    EXPECT_EQ(used, 22050u * 4u);
    converted.channels = 2;
    converted.samplesPerSecond = 22050;
    converted.blockAlign = adpcm.header.nBlockAlign;
    converted.samplesPerBlock = msadpcm::SamplesPerBlock(converted.blockAlign, 2);
    converted.frames = 22050;
    EXPECT_EQ(converted.data, msadpcm_test::Encode(tone, 22050, 2).data);

    char path[MAX_PATH] = {};
    if (GetEnvironmentVariableA("FRAMELARK_MSADPCM_WAV", path, MAX_PATH)) {
        ASSERT_TRUE(msadpcm_test::WriteAdpcmWav(path, converted));
        ASSERT_TRUE(msadpcm_test::WritePcmWav(std::string(path) + ".pcm.wav", tone, 22050, 2));
    }
}

} // namespace
