// Recorded sound converted to MS ADPCM for the movie, decoded by ffmpeg and by the system's own
// decompressor: the track ends with what was recorded, or silence, wherever the recording ended
// within a block.
#include "audio/audio_conversion.h"

#include "audio/avi_handles.h"
#include "audio/wave_file.h"
#include "codec/msadpcm_install.h"
#include "pcm_format.h"
#include "test_support.h"

#include <mmreg.h>
#include <msacm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kLevel = 16384;
constexpr double kTone = 440.0;

struct FormatBlock {
    WAVEFORMATEX header;
    BYTE extra[64];
};

void WriteTone(const std::string& path, const WAVEFORMATEX& format, int frames)
{
    WaveFile wave(path, format);
    ASSERT_TRUE(wave.IsOpen());
    std::vector<BYTE> bytes;
    for (int i = 0; i < frames * format.nChannels; ++i) {
        const auto value = static_cast<int>(std::lround(
            kLevel * std::sin(6.283185307179586 * kTone * (i / format.nChannels) / format.nSamplesPerSec)));
        if (format.wBitsPerSample == 8) {
            bytes.push_back(static_cast<BYTE>(value / 256 + 128));
        } else {
            bytes.push_back(static_cast<BYTE>(value & 0xFF));
            bytes.push_back(static_cast<BYTE>((value >> 8) & 0xFF));
        }
    }
    ASSERT_TRUE(wave.Write(bytes.data(), bytes.size()));
}

// The whole stream through the system's decompressor, as 16-bit samples.
std::vector<std::int16_t> DecodeWithTheSystem(PAVISTREAM stream, const WAVEFORMATEX& adpcm)
{
    const LONG length = AVIStreamLength(stream);
    std::vector<BYTE> coded(static_cast<std::size_t>(length) * adpcm.nBlockAlign);
    LONG bytes = 0;
    EXPECT_EQ(AVIStreamRead(stream, 0, length, coded.data(), static_cast<LONG>(coded.size()), &bytes, nullptr), 0);
    WAVEFORMATEX pcm = PcmFormat(static_cast<int>(adpcm.nSamplesPerSec), adpcm.nChannels, 16);
    HACMSTREAM converter = nullptr;
    if (acmStreamOpen(&converter, nullptr, const_cast<WAVEFORMATEX*>(&adpcm), &pcm, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != 0) {
        ADD_FAILURE() << "the system cannot decode MS ADPCM";
        return {};
    }
    DWORD size = 0;
    acmStreamSize(converter, static_cast<DWORD>(bytes), &size, ACM_STREAMSIZEF_SOURCE);
    std::vector<std::int16_t> decoded(size / 2);
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof(header);
    header.pbSrc = coded.data();
    header.cbSrcLength = static_cast<DWORD>(bytes);
    header.pbDst = reinterpret_cast<BYTE*>(decoded.data());
    header.cbDstLength = size;
    EXPECT_EQ(acmStreamPrepareHeader(converter, &header, 0), 0u);
    EXPECT_EQ(acmStreamConvert(converter, &header, ACM_STREAMCONVERTF_END), 0u);
    acmStreamUnprepareHeader(converter, &header, 0);
    acmStreamClose(converter, 0);
    decoded.resize(header.cbDstLengthUsed / 2);
    return decoded;
}

std::vector<std::int16_t> DecodeWithFfmpeg(const ScratchFolder& scratch, const std::string& movie)
{
    const std::string raw = scratch.File("decoded.raw");
    EXPECT_EQ(RunUnixShell("ffmpeg -v error -y -i '" + UnixPath(movie) + "' -f s16le '" + UnixPath(raw) + "'"), 0);
    const std::string bytes = ReadWholeFile(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Largest sample from the last 50 ms of the recording to the decoded end, and from the 50 ms
// before: the tone reaches the end and nothing beyond it grows louder.
struct Ending {
    int tail = 0;
    int before = 0;
};
Ending Peaks(const std::vector<std::int16_t>& decoded, int frames, const WAVEFORMATEX& format)
{
    const std::size_t channels = format.nChannels;
    const std::size_t fiftyMs = format.nSamplesPerSec / 20 * channels;
    const std::size_t end = static_cast<std::size_t>(frames) * channels;
    Ending peaks;
    EXPECT_GE(decoded.size(), end);
    for (std::size_t i = end - 2 * fiftyMs; i < decoded.size(); ++i) {
        int& peak = i < end - fiftyMs ? peaks.before : peaks.tail;
        peak = std::max(peak, std::abs(static_cast<int>(decoded[i])));
    }
    return peaks;
}

struct AudioConversion : testing::Test {
    ScratchFolder scratch;
    AviLibrary library;
    void SetUp() override { ASSERT_TRUE(InstallMsAdpcmIfNeeded()); }
    void TearDown() override { RemoveMsAdpcm(); }
};

} // namespace

TEST_F(AudioConversion, MsAdpcmTrackEndsAtTheRecordedLevelWhereverTheRecordingEnds)
{
    if (UnixPath(scratch.path()).empty()) {
        GTEST_SKIP() << "ffmpeg is run under Wine only";
    }
    std::mt19937 random(33);
    for (int trial = 0; trial < 8; ++trial) {
        const int rate = std::array{11025, 22050, 44100}[random() % 3];
        const WAVEFORMATEX pcm = PcmFormat(rate, 1 + static_cast<int>(random() % 2), random() % 4 ? 16 : 8);
        FormatBlock adpcm{};
        adpcm.header.wFormatTag = WAVE_FORMAT_ADPCM;
        ASSERT_EQ(acmFormatSuggest(nullptr, const_cast<WAVEFORMATEX*>(&pcm), &adpcm.header, sizeof(adpcm),
                                   ACM_FORMATSUGGESTF_WFORMATTAG),
                  0u);
        const int perBlock = reinterpret_cast<const WORD*>(adpcm.extra)[0];
        const int frames = rate / 2 + static_cast<int>(random() % perBlock);
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << pcm.nChannels << " ch, " << pcm.wBitsPerSample
                                        << " bits, " << frames << " frames");
        const std::string wave = scratch.File("sound.wav");
        const std::string movie = scratch.File("converted.avi");
        WriteTone(wave, pcm, frames);
        PAVISTREAM rawStream = nullptr;
        ASSERT_EQ(AVIStreamOpenFromFileA(&rawStream, wave.c_str(), streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_NONE,
                                         nullptr),
                  0);
        AviStream recorded(rawStream);
        AviStream converted = ConvertAudioStream(recorded.get(), adpcm.header, movie, 10, [](int) { return true; });
        ASSERT_TRUE(converted);
        // The coding's own overshoot on a peak stays within 1 dB.
        const double loudest = kLevel * 1.122;
        const Ending system = Peaks(DecodeWithTheSystem(converted.get(), adpcm.header), frames, pcm);
        converted.reset();
        const Ending ffmpeg = Peaks(DecodeWithFfmpeg(scratch, movie), frames, pcm);
        for (const Ending& ending : {system, ffmpeg}) {
            EXPECT_GT(ending.before, kLevel * 0.9);
            EXPECT_LE(ending.tail, loudest);
        }
        recorded.reset();
        DeleteFileA(wave.c_str());
        DeleteFileA(movie.c_str());
    }
}
