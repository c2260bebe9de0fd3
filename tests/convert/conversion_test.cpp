// A short recording, written as the program writes one (ZMBV on a 200 frames/s time line with most
// slots empty, a tone merged in), made into MP4, WebM and GIF by the real ffmpeg.exe under Wine and
// judged by ffprobe.
#include "convert/ffmpeg_conversion.h"

#include "audio/merge_audio_video.h"
#include "audio/wave_file.h"
#include "codec/zmbv_driver.h"
#include "codec/zmbv_install.h"
#include "convert/ffmpeg_command.h"
#include "recording/movie_writer.h"
#include "settings/app_settings.h"
#include "test_support.h"
#include "zmbv_test_scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace {
constexpr int kWidth = 65; // odd sizes: MP4 pads them
constexpr int kHeight = 49;
constexpr int kFrames = 40;
constexpr int kRate = 200;
constexpr DWORD kSamplesPerSecond = 22050;

// Grabs land every 8 to 10 slots, as a recording numbered by the wall clock leaves them.
std::uint32_t Position(int frame)
{
    return static_cast<std::uint32_t>(frame * 9 + frame % 3 - 1 + (frame == 0));
}
const double kSeconds = static_cast<double>(Position(kFrames - 1) + 1) / kRate;

void WriteRecording(const std::string& movie)
{
    ASSERT_TRUE(InstallZmbvIfNeeded(32, kWidth, kHeight));
    AppSettings& s = Settings();
    s.compfccHandler = static_cast<std::int32_t>(kFourCCZmbv);
    s.keyFramesEvery = 200;
    const Sequence sequence = MakeSequence(Scene::Typing, kWidth, kHeight, 32, kFrames);
    std::vector<std::uint8_t> frame(sizeof(BITMAPINFOHEADER) + sequence.frames[0].size());
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(frame.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB,
                               static_cast<DWORD>(sequence.frames[0].size()), 0, 0, 0, 0};
    CMovieWriter writer;
    ASSERT_EQ(writer.Open(movie, kRate, header), 0);
    for (int n = 0; n < kFrames; ++n) {
        std::memcpy(frame.data() + sizeof(BITMAPINFOHEADER), sequence.frames[n].data(), sequence.frames[n].size());
        ASSERT_EQ(writer.Write(header, Position(n)), 0);
    }
    writer.ReleaseOptions();
    writer.ReleaseMovie();
}

void WriteTone(const std::string& path)
{
    WAVEFORMATEX pcm{WAVE_FORMAT_PCM, 2, kSamplesPerSecond, kSamplesPerSecond * 4, 4, 16, 0};
    WaveFile wave(path, pcm);
    ASSERT_TRUE(wave.IsOpen());
    std::vector<short> samples;
    for (DWORD i = 0; i < static_cast<DWORD>(kSamplesPerSecond * kSeconds); ++i) {
        const auto value = static_cast<short>(9000 * std::sin(2 * 3.141592653589793 * 440 * i / kSamplesPerSecond));
        samples.insert(samples.end(), {value, value});
    }
    ASSERT_TRUE(wave.Write(samples.data(), samples.size() * sizeof(short)));
}
} // namespace

TEST(Conversion, RealFfmpegMakesEachFormatWithTheRecordingsTimes)
{
    const std::string ffmpeg = WindowsPath(FRAMELARK_TEST_FFMPEG);
    ASSERT_NE(GetFileAttributesA(ffmpeg.c_str()), INVALID_FILE_ATTRIBUTES) << ffmpeg << ": run scripts/setup";
    ScratchFolder scratch;
    const std::string folder = UnixPath(scratch.path());
    const std::string merged = scratch.File("recording.avi");
    WriteRecording(scratch.File("video.avi"));
    WriteTone(scratch.File("sound.wav"));
    ASSERT_EQ(MergeAudioVideo(scratch.File("video.avi"), scratch.File("sound.wav"), merged, 0, nullptr, 0, 1, 100,
                              0),
              kMerged);
    RemoveZmbv();

    struct Row {
        MovieFormat format;
        const char* video; // codec, width, height, pixel format as ffprobe says them
        const char* audio; // "" for none
    };
    const Row rows[] = {
        {MovieFormat::Mp4, "h264,66,50,yuv420p", "aac"},
        {MovieFormat::WebM, "vp9,65,49,yuv420p", "opus"},
        {MovieFormat::Gif, "gif,65,49,bgra", ""},
    };
    for (const Row& row : rows) {
        const std::string extension(FactsOf(row.format).extension);
        SCOPED_TRACE(extension);
        const std::string output = scratch.File("out." + extension);
        std::vector<int> told;
        const std::atomic<bool> cancel{false};
        const ConversionResult result =
            ConvertMovie({ffmpeg, row.format, merged, output, 7000}, [&told](int percent) { told.push_back(percent); },
                         cancel);
        ASSERT_EQ(result.end, ConversionResult::End::Converted) << result.why;
        ASSERT_FALSE(told.empty());
        EXPECT_EQ(told.back(), 100);
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_EQ(GetFileAttributesA((output + ".partial").c_str()), INVALID_FILE_ATTRIBUTES);

        const std::string probe = "ffprobe -v error -of csv=p=0 '" + folder + "/out." + extension + "' ";
        ASSERT_EQ(RunUnixShell(probe + "-select_streams v -show_entries stream=codec_name,pix_fmt,width,height > '" +
                               folder + "/video.txt' && " + probe + "-select_streams a -show_entries stream=codec_name > '" +
                               folder + "/audio.txt' && " + probe + "-show_entries format=duration > '" + folder +
                               "/duration.txt' && " + probe + "-select_streams v -count_frames -show_entries " +
                               "stream=nb_read_frames > '" + folder + "/frames.txt'"),
                  0);
        EXPECT_EQ(ReadWholeFile(scratch.File("video.txt")), std::string(row.video) + "\n");
        EXPECT_EQ(ReadWholeFile(scratch.File("audio.txt")), *row.audio ? std::string(row.audio) + "\n" : "");
        EXPECT_NEAR(std::stod(ReadWholeFile(scratch.File("duration.txt"))), kSeconds, 0.1);
        // Frames keep their own times: the empty slots of the time line do not become copies.
        const int frames = std::stoi(ReadWholeFile(scratch.File("frames.txt")));
        EXPECT_GT(frames, 0);
        EXPECT_LE(frames, kFrames);
        if (row.format == MovieFormat::Gif) {
            EXPECT_LE(frames, static_cast<int>(std::ceil(kSeconds * kGifFramesPerSecond)));
        }
    }
}
