// The merge of a movie and a 440 Hz WAV under Wine, judged by ffprobe and ffmpeg: the video comes
// through unchanged, the audio in the asked format, as long as the video and with its tone.
#include "audio/merge_audio_video.h"

#include "audio/wave_file.h"
#include "codec/msadpcm_install.h"
#include "messages/private_messages.h"
#include "settings/app_settings.h"
#include "sound_analysis.h"
#include "test_support.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

namespace {
constexpr int kFrames = 30;
constexpr int kRate = 10;
constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kTone = 440;
constexpr DWORD kSamplesPerSecond = 22050;

void WriteMovie(const std::string& path)
{
    AVIFileInit();
    PAVIFILE file = nullptr;
    ASSERT_EQ(AVIFileOpenA(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr), 0);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = kRate;
    info.dwSuggestedBufferSize = kWidth * kHeight * 3;
    SetRect(&info.rcFrame, 0, 0, kWidth, kHeight);
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIFileCreateStreamA(file, &stream, &info), 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = kWidth * kHeight * 3;
    ASSERT_EQ(AVIStreamSetFormat(stream, 0, &header, sizeof(header)), 0);
    std::vector<BYTE> frame(header.biSizeImage);
    for (int i = 0; i < kFrames; ++i) {
        std::memset(frame.data(), i * 8, frame.size());
        ASSERT_EQ(AVIStreamWrite(stream, i, 1, frame.data(), static_cast<LONG>(frame.size()), AVIIF_KEYFRAME, nullptr,
                                 nullptr),
                  0);
    }
    AVIStreamRelease(stream);
    AVIFileRelease(file);
    AVIFileExit();
}

WAVEFORMATEX Pcm()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kSamplesPerSecond;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kSamplesPerSecond * 4;
    return format;
}

// As long as the movie: kFrames / kRate seconds.
void WriteTone(const std::string& path)
{
    WaveFile wave(path, Pcm());
    ASSERT_TRUE(wave.IsOpen());
    std::vector<short> samples;
    for (DWORD i = 0; i < kSamplesPerSecond * kFrames / kRate; ++i) {
        const auto value = static_cast<short>(12000 * std::sin(2 * 3.141592653589793 * kTone * i / kSamplesPerSecond));
        samples.push_back(value);
        samples.push_back(value);
    }
    ASSERT_TRUE(wave.Write(samples.data(), samples.size() * sizeof(short)));
}

// A compressed format block as the Audio Options keep it; empty when the compression manager
// suggests none.
GlobalBlock Suggested(WORD tag, DWORD& length)
{
    DWORD largest = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
    GlobalBlock block(largest);
    LockedGlobal locked(block.handle());
    WAVEFORMATEX source = Pcm();
    auto* target = locked.as<WAVEFORMATEX>();
    target->wFormatTag = tag;
    if (acmFormatSuggest(nullptr, &source, target, largest, ACM_FORMATSUGGESTF_WFORMATTAG) != 0) {
        return {};
    }
    length = sizeof(WAVEFORMATEX) + target->cbSize;
    return block;
}

struct Merge : ::testing::Test {
    ScratchFolder scratch;
    std::string movie = scratch.File("movie.avi");
    std::string sound = scratch.File("sound.wav");
    std::string output = scratch.File("merged.avi");
    std::string unixDir = UnixPath(scratch.path());

    void SetUp() override
    {
        Settings().g_mainwindow = nullptr;
        WriteMovie(movie);
        WriteTone(sound);
    }

    std::string Shell(const std::string& command)
    {
        EXPECT_EQ(RunUnixShell(command + " > '" + unixDir + "/shell.txt' 2>&1"), 0) << command;
        return ReadWholeFile(scratch.File("shell.txt"));
    }
    std::string Probe(const std::string& file, const std::string& what)
    {
        return Shell("ffprobe -v error " + what + " -of csv=p=0 '" + UnixPath(file) + "'");
    }
};
} // namespace

TEST_F(Merge, OutputHoldsTheVideoUnchangedAndTheToneInTheAskedFormat)
{
    if (unixDir.empty()) {
        GTEST_SKIP() << "ffmpeg is run under Wine only";
    }
    struct Case {
        const char* name;
        WORD tag; // 0: no compression
        const char* codec;
    } const cases[] = {
        {"PCM", 0, "pcm_s16le"},
        {"IMA ADPCM", WAVE_FORMAT_IMA_ADPCM, "adpcm_ima_wav"},
        {"MS ADPCM", WAVE_FORMAT_ADPCM, "adpcm_ms"},
    };
    // As at the program's start: our MS ADPCM where the system has none.
    InstallMsAdpcmIfNeeded();
    const std::string videoPackets = Shell("ffmpeg -v error -i '" + UnixPath(movie) + "' -map 0:v -c copy -f framemd5 - | grep -v '^#'");
    ASSERT_FALSE(videoPackets.empty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD length = 0;
        GlobalBlock format = c.tag ? Suggested(c.tag, length) : GlobalBlock();
        ASSERT_TRUE(c.tag == 0 || format.valid());
        const std::string codec = c.codec;
        DeleteFileA(output.c_str());
        ASSERT_EQ(MergeAudioVideo(movie, sound, output, c.tag != 0, format.handle(), length, 0, 100, 0), kMerged);

        EXPECT_EQ(Probe(output, "-select_streams a -show_entries stream=index,codec_name"), "1," + codec + "\n");
        EXPECT_EQ(Shell("ffmpeg -v error -i '" + UnixPath(output) + "' -map 0:v -c copy -f framemd5 - | grep -v '^#'"),
                  videoPackets);
        EXPECT_EQ(Shell("ffmpeg -v error -xerror -i '" + UnixPath(output) + "' -f null - 2>&1"), "");
        Shell("ffmpeg -v error -y -i '" + UnixPath(output) + "' -map 0:a -ac 1 -ar 22050 -f s16le '" + unixDir + "/tone.raw'");
        const std::string raw = ReadWholeFile(scratch.File("tone.raw"));
        RecordedSound tone;
        tone.samplesPerSecond = kSamplesPerSecond;
        for (size_t i = 0; i + 1 < raw.size(); i += 2) {
            short sample = 0;
            std::memcpy(&sample, raw.data() + i, 2);
            tone.mono.push_back(sample / 32768.0);
        }
        double video = 0;
        std::istringstream(Probe(output, "-select_streams v -show_entries stream=duration")) >> video;
        EXPECT_NEAR(video, 3.0, 0.01);
        EXPECT_NEAR(static_cast<double>(tone.mono.size()) / kSamplesPerSecond, video, 0.3);
        EXPECT_NEAR(DominantFrequency(tone, 0.5, 2.0), kTone, 4);
    }
    RemoveMsAdpcm();
}

TEST_F(Merge, InterleavedOutputHasAudioEveryPeriodOfVideoFrames)
{
    if (unixDir.empty()) {
        GTEST_SKIP() << "ffprobe is run under Wine only";
    }
    constexpr int kPeriod = 5;
    ASSERT_EQ(MergeAudioVideo(movie, sound, output, 0, nullptr, 0, 1, kPeriod, 1), kMerged);
    // Stream of each packet in file order.
    const std::string order =
        Shell("ffprobe -v error -show_entries packet=pos,stream_index -of csv=p=0 '" + UnixPath(output) +
              "' | sort -t, -k2 -n | cut -d, -f1 | tr -d '\\n'");
    // Once the sound has ended only video remains.
    const std::string whileSounding = order.substr(0, order.find_last_of('1') + 1);
    int videoRun = 0;
    int longestRun = 0;
    int audioPackets = 0;
    for (char stream : whileSounding) {
        videoRun = stream == '0' ? videoRun + 1 : 0;
        audioPackets += stream == '1';
        longestRun = std::max(longestRun, videoRun);
    }
    EXPECT_LE(longestRun, kPeriod) << order;
    EXPECT_GE(audioPackets, kFrames / kPeriod) << order;
}

TEST_F(Merge, ResultCodesForUnusableInputsAndAnUnwritableOutput)
{
    const std::string text = scratch.File("notes.wav");
    {
        KernelHandle file = OwnFile(CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), "not a sound", 11, &written, nullptr);
    }
    struct Case {
        const char* name;
        std::string video;
        std::string audio;
        std::string output;
        int result;
    } const cases[] = {
        {"missing movie", scratch.File("none.avi"), sound, output, kVideoUnusable},
        {"movie without video", sound, sound, output, kVideoUnusable},
        {"sound that is text", movie, text, output, kSoundUnusable},
        {"sound without audio", movie, movie, output, kSoundUnusable},
        {"output folder missing", movie, sound, scratch.File("none\\merged.avi"), kMergedSaveFailed},
        {"both usable", movie, sound, output, kMerged},
    };
    for (const Case& c : cases) {
        DeleteFileA(output.c_str());
        EXPECT_EQ(MergeAudioVideo(c.video, c.audio, c.output, 0, nullptr, 0, 0, 100, 0), c.result) << c.name;
        EXPECT_EQ(GetFileAttributesA(output.c_str()) != INVALID_FILE_ATTRIBUTES, c.result == kMerged) << c.name;
    }
}

TEST_F(Merge, ProgressReachesTheMainWindowAndTheTitleIsRestored)
{
    RecordingWindow window;
    Settings().g_mainwindow = window.hwnd();
    SetWindowTextA(window.hwnd(), "recording");
    ASSERT_EQ(MergeAudioVideo(movie, sound, output, 0, nullptr, 0, 0, 100, 0), kMerged);
    PumpFor(50);
    Settings().g_mainwindow = nullptr;
    ASSERT_GT(window.Count(MergeProgressMessage), 0);
    for (size_t i = 0; i < window.messages.size(); ++i) {
        if (window.messages[i] == MergeProgressMessage) {
            EXPECT_LE(window.parameters[i].first, 100u);
        }
    }
    char title[64] = {};
    GetWindowTextA(window.hwnd(), title, sizeof(title));
    EXPECT_STREQ(title, "Framelark");
}
