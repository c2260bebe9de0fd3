#include "recording/movie_writer.h"

#include "codec/zmbv_driver.h"
#include "codec/zmbv_install.h"
#include "recording/compressor_list.h"
#include "settings/app_settings.h"
#include "test_compressor.h"
#include "test_support.h"
#include "zmbv_test_scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace {
const DWORD kUncompressed = mmioFOURCC('D', 'I', 'B', ' ');
const DWORD kEven = mmioFOURCC('E', 'V', 'E', 'N');
const DWORD kRefuse = mmioFOURCC('N', 'O', 'P', 'E');
const DWORD kPass = mmioFOURCC('P', 'A', 'S', 'S');

class MovieWriter : public ::testing::Test {
protected:
    void SetUp() override
    {
        UsePlainCaptureSettings();
        AppSettings& s = Settings();
        s.compfccHandler = static_cast<std::int32_t>(kUncompressed);
        s.g_compressorname = "Uncompressed";
        s.CompressorStateIsFor = 0;
        s.CompressorStateSize = 0;
        Compressors() = CompressorList{};
    }
    ScratchFolder scratch;
};

DWORD Handler() { return static_cast<DWORD>(Settings().compfccHandler.load()); }
} // namespace

TEST_F(MovieWriter, FramesLandAtTheirTimeLinePositions)
{
    const std::string path = scratch.File("positions.avi");
    FramePtr probe(GrabFrame(0, 0, 64, 48, true));
    ASSERT_TRUE(probe);
    {
        CMovieWriter movie;
        ASSERT_EQ(movie.Open(path, 15, probe.get()), 0);
        for (const std::uint32_t position : {0u, 4u, 8u, 9u}) {
            FramePtr frame(GrabFrame(0, 0, 64, 48, true));
            ASSERT_TRUE(frame);
            std::memset(reinterpret_cast<BYTE*>(frame.get()) + 40, static_cast<int>(position * 20), frame->biSizeImage);
            EXPECT_EQ(movie.Write(frame.get(), position), 0);
        }
        movie.ReleaseOptions();
        movie.ReleaseMovie();
    }

    AVIFileInit();
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), 0);
    AVISTREAMINFOA info{};
    AVIStreamInfoA(stream, &info, sizeof(info));
    EXPECT_EQ(info.fccType, streamtypeVIDEO);
    EXPECT_EQ(info.dwRate, 15u);
    EXPECT_EQ(info.dwScale, 1u);
    EXPECT_EQ(info.dwLength, 10u);
    EXPECT_EQ(info.rcFrame.right, 64);
    EXPECT_EQ(info.rcFrame.bottom, 48);
    std::vector<BYTE> buffer(64 * 48 * 3);
    for (LONG position = 0; position < 10; ++position) {
        LONG bytes = 0;
        AVIStreamRead(stream, position, 1, buffer.data(), static_cast<LONG>(buffer.size()), &bytes, nullptr);
        const bool written = position == 0 || position == 4 || position == 8 || position == 9;
        EXPECT_EQ(bytes > 0, written) << "position " << position;
        if (written) {
            EXPECT_EQ(buffer[100], static_cast<BYTE>(position * 20));
        }
    }
    AVIStreamRelease(stream);
    AVIFileExit();

    const std::string unix = UnixPath(path);
    if (unix.empty()) {
        GTEST_SKIP() << "ffprobe is checked under Wine only";
    }
    const std::string frames = UnixPath(scratch.path()) + "/frames.txt";
    ASSERT_EQ(RunUnixShell("ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 '" + unix +
                           "' > '" + frames + "'"),
              0);
    EXPECT_EQ(ReadWholeFile(scratch.File("frames.txt")), "10\n");
    EXPECT_EQ(RunUnixShell("ffmpeg -v error -xerror -i '" + unix + "' -f null - 2>&1 | grep -q . && exit 1 || exit 0"), 0);
}

TEST_F(MovieWriter, FailuresReportTheFirstFailedCall)
{
    FramePtr probe(GrabFrame(0, 0, 64, 48, true));
    ASSERT_TRUE(probe);
    CMovieWriter missingFolder;
    EXPECT_NE(missingFolder.Open(scratch.File("no such folder\\movie.avi"), 15, probe.get()), 0);

    TestCompressor failing(mmioFOURCC('F', 'A', 'I', 'L'), CompressorBehaviour::FailOnCompress);
    Settings().compfccHandler = static_cast<std::int32_t>(mmioFOURCC('F', 'A', 'I', 'L'));
    CMovieWriter movie;
    ASSERT_EQ(movie.Open(scratch.File("failing.avi"), 15, probe.get()), 0);
    EXPECT_NE(movie.Write(probe.get(), 0), 0);
}

TEST_F(MovieWriter, SavedStateGoesOnlyToItsOwnCompressor)
{
    TestCompressor pass(kPass, CompressorBehaviour::PassThrough);
    AppSettings& s = Settings();
    const BYTE state[] = {1, 2, 3, 4, 5};
    s.g_compressorstate = GlobalBlock(sizeof(state));
    {
        LockedGlobal target(s.g_compressorstate.handle());
        std::memcpy(target.data(), state, sizeof(state));
    }
    s.CompressorStateSize = sizeof(state);
    s.compfccHandler = static_cast<std::int32_t>(kPass);
    FramePtr probe(GrabFrame(0, 0, 64, 48, true));
    ASSERT_TRUE(probe);

    // Twice: the copy of the first movie must have survived the freeing of its options.
    for (int round = 0; round < 2; ++round) {
        TestCompressor::stateCount = 0;
        s.CompressorStateIsFor = static_cast<std::int32_t>(kPass);
        CMovieWriter movie;
        ASSERT_EQ(movie.Open(scratch.File("state.avi"), 15, probe.get()), 0);
        EXPECT_EQ(movie.Write(probe.get(), 0), 0);
        movie.ReleaseOptions();
        movie.ReleaseMovie();
        EXPECT_GE(TestCompressor::stateCount, 1);
        EXPECT_EQ(TestCompressor::lastState, std::vector<BYTE>(state, state + sizeof(state)));
    }

    TestCompressor::stateCount = 0;
    s.CompressorStateIsFor = static_cast<std::int32_t>(kEven);
    CMovieWriter other;
    ASSERT_EQ(other.Open(scratch.File("other.avi"), 15, probe.get()), 0);
    EXPECT_EQ(TestCompressor::stateCount, 0);
    s.g_compressorstate.reset();
}

TEST_F(MovieWriter, CheckBringsSizesToWhatTheCompressorTakes)
{
    TestCompressor even(kEven, CompressorBehaviour::EvenSizesOnly);
    ChooseListedCompressor(1, kEven);
    Settings().compfccHandler = static_cast<std::int32_t>(kEven);
    int width = 321;
    int height = 241;
    FramePtr probe(GrabFrame(0, 0, width, height, true));
    ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
    EXPECT_EQ(width, 322);
    EXPECT_EQ(height, 242);
    EXPECT_EQ(probe->biWidth, 322);
    EXPECT_EQ(probe->biHeight, 242);
    EXPECT_EQ(Handler(), kEven);

    // At the screen's right edge the width is rounded down instead; an even height stays.
    Settings().g_panarea = ScreenRect{0, 0, 320, 767};
    width = 321;
    height = 240;
    probe.reset(GrabFrame(0, 0, width, height, true));
    ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

TEST_F(MovieWriter, CheckFallsBackToTheDefaultCompressor)
{
    TestCompressor refuse(kRefuse, CompressorBehaviour::RefuseAll);
    ChooseListedCompressor(2, kRefuse);
    Settings().compfccHandler = static_cast<std::int32_t>(kRefuse);
    int width = 321;
    int height = 241;
    FramePtr probe(GrabFrame(0, 0, width, height, true));
    ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
    EXPECT_EQ(Handler(), kFourCCVideo1);
    EXPECT_EQ(Settings().g_compressorname, "MS Video 1");
    EXPECT_EQ(width, 321);
    EXPECT_EQ(height, 241);
    EXPECT_EQ(probe->biWidth, 321); // the format comes from a probe of the size handed in

    // A listed compressor that does not open.
    ChooseListedCompressor(3, mmioFOURCC('G', 'O', 'N', 'E'));
    Settings().compfccHandler = static_cast<std::int32_t>(mmioFOURCC('G', 'O', 'N', 'E'));
    ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
    EXPECT_EQ(Handler(), kFourCCVideo1);
}

TEST_F(MovieWriter, CheckSkipsTheFirstListedAndUnchosenCompressors)
{
    TestCompressor refuse(kRefuse, CompressorBehaviour::RefuseAll);
    for (const int position : {0, -1}) {
        ChooseListedCompressor(0, kRefuse);
        Compressors().chosen = position;
        Settings().compfccHandler = static_cast<std::int32_t>(kRefuse);
        int width = 321;
        int height = 241;
        FramePtr probe(GrabFrame(0, 0, width, height, true));
        ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
        EXPECT_EQ(Handler(), kRefuse);
        EXPECT_EQ(width, 321);
    }

    Settings().compfccHandler = static_cast<std::int32_t>(kFourCCIndeo50);
    int width = 64;
    int height = 48;
    FramePtr probe(GrabFrame(0, 0, width, height, true));
    ASSERT_TRUE(CheckCompressor(probe, 0, 0, width, height));
    EXPECT_EQ(Handler(), kFourCCVideo1);
    EXPECT_EQ(Settings().g_compressorname, "MS Video 1");
}

// The program's own movie writer through the built-in ZMBV compressor at 200 frames/s: the main
// header says 5,000 microseconds a frame, and ffmpeg decodes each frame to its exact pixels.
TEST_F(MovieWriter, ZmbvMovieDecodesInFfmpegToTheFramesWritten)
{
    ASSERT_TRUE(InstallZmbvIfNeeded(32, 320, 240));
    AppSettings& s = Settings();
    s.compfccHandler = static_cast<std::int32_t>(kFourCCZmbv);
    s.keyFramesEvery = 5;
    const std::string path = scratch.File("lossless.avi");
    for (const int bits : {16, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const Sequence sequence = MakeSequence(Scene::Scrolling, 333, 211, bits, 12);
        std::vector<std::uint8_t> frame(sizeof(BITMAPINFOHEADER) + sequence.frames[0].size());
        auto* header = reinterpret_cast<BITMAPINFOHEADER*>(frame.data());
        *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 333, 211, 1, static_cast<WORD>(bits), BI_RGB,
                                   static_cast<DWORD>(sequence.frames[0].size()), 0, 0, 0, 0};
        std::ofstream raw(scratch.File("source.raw"), std::ios::binary);
        {
            CMovieWriter movie;
            ASSERT_EQ(movie.Open(path, 200, header), 0);
            for (std::size_t n = 0; n < sequence.frames.size(); ++n) {
                std::memcpy(frame.data() + sizeof(BITMAPINFOHEADER), sequence.frames[n].data(), sequence.frames[n].size());
                ASSERT_EQ(movie.Write(header, static_cast<std::uint32_t>(n)), 0) << "frame " << n;
                const std::vector<std::uint8_t> shown = ShownPicture(sequence, n);
                raw.write(reinterpret_cast<const char*>(shown.data()), static_cast<std::streamsize>(shown.size()));
            }
            movie.ReleaseOptions();
            movie.ReleaseMovie();
        }
        raw.close();
        const std::string movie = ReadWholeFile(path);
        const std::size_t main = movie.find("avih");
        ASSERT_NE(main, std::string::npos);
        std::uint32_t period = 0;
        std::memcpy(&period, movie.data() + main + 8, 4);
        EXPECT_EQ(period, 5000u);

        const std::string unix = UnixPath(path);
        if (unix.empty()) {
            GTEST_SKIP() << "ffmpeg is run under Wine only";
        }
        const std::string folder = UnixPath(scratch.path());
        const std::string format = bits == 16 ? "rgb555le" : "bgr0";
        const std::string checksums = " -fps_mode passthrough -pix_fmt " + std::string(bits == 16 ? "rgb555le" : "rgb24") +
                                      " -f framemd5 - 2>>'" + folder + "/errors' | grep -v '^#' | cut -d, -f6";
        ASSERT_EQ(RunUnixShell("ffmpeg -nostdin -v error -i '" + unix + "'" + checksums + " > '" + folder + "/decoded' && " +
                               "ffmpeg -nostdin -v error -f rawvideo -pix_fmt " + format + " -s 333x211 -i '" + folder +
                               "/source.raw'" + checksums + " > '" + folder + "/source'"),
                  0);
        EXPECT_EQ(ReadWholeFile(scratch.File("errors")), "");
        const std::string decoded = ReadWholeFile(scratch.File("decoded"));
        EXPECT_EQ(std::count(decoded.begin(), decoded.end(), '\n'), 12);
        EXPECT_EQ(decoded, ReadWholeFile(scratch.File("source")));
        ASSERT_EQ(RunUnixShell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 '" + unix +
                               "' > '" + folder + "/codec'"),
                  0);
        EXPECT_EQ(ReadWholeFile(scratch.File("codec")), "zmbv\n");
    }
    RemoveZmbv();
}
