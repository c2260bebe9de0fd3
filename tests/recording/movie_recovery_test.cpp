// Recordings left behind by a crash, under the real file system, read back by the movie library.
#include "recording/movie_recovery.h"

#include "codec/video1_install.h"
#include "common/fourcc.h"
#include "recording/movie_writer.h"
#include "recording/recording.h"
#include "recovery_test_movies.h"
#include "settings/app_settings.h"
#include "test_support.h"
#include "win/directories.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {
constexpr int kWidth = 64;
constexpr int kHeight = 48;

class MovieRecovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        UsePlainCaptureSettings();
        ASSERT_TRUE(InstallVideo1IfNeeded(24, kWidth, kHeight));
        AppSettings& s = Settings();
        s.compfccHandler = FourCCAsSigned(kFourCCVideo1);
        s.keyFramesEvery = 4;
        s.compquality = 7000;
        s.CompressorStateIsFor = 0;
    }
    ScratchFolder recording;
    ScratchFolder crashed;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A sound file as its writer leaves it when the program dies: sizes 0, samples after them.
std::vector<std::uint8_t> UnfinishedSound(std::size_t sampleBytes)
{
    std::vector<std::uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0,
                                       1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0, 0, 0,
                                       'd', 'a', 't', 'a', 0, 0, 0, 0};
    for (std::size_t i = 0; i < sampleBytes; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(i * 7));
    }
    return bytes;
}

std::uint32_t U32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

FramePtr PatternFrame(int step)
{
    FramePtr frame(GrabFrame(0, 0, kWidth, kHeight, true));
    if (frame) {
        BYTE* pixels = reinterpret_cast<BYTE*>(frame.get()) + frame->biSize;
        // A square that moves, over a still background: delta frames with some change.
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                BYTE* p = pixels + (y * kWidth + x) * 3;
                const bool square = x >= step * 3 && x < step * 3 + 12 && y >= 10 && y < 30;
                p[0] = square ? 255 : static_cast<BYTE>(x * 4);
                p[1] = square ? 40 : static_cast<BYTE>(y * 5);
                p[2] = square ? 40 : 90;
            }
        }
    }
    return frame;
}

struct OpenedStream {
    explicit OpenedStream(const std::string& path)
    {
        AVIFileInit();
        AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr);
    }
    ~OpenedStream()
    {
        if (stream) {
            AVIStreamRelease(stream);
        }
        AVIFileExit();
    }
    std::vector<BYTE> Sample(LONG position) const
    {
        LONG bytes = 0;
        AVIStreamRead(stream, position, 1, nullptr, 0, &bytes, nullptr);
        std::vector<BYTE> data(static_cast<std::size_t>(bytes));
        if (bytes > 0) {
            AVIStreamRead(stream, position, 1, data.data(), bytes, nullptr, nullptr);
        }
        return data;
    }
    PAVISTREAM stream = nullptr;
};
} // namespace

TEST_F(MovieRecovery, CrashedMovieIsRebuiltAsItsWriterWouldHaveFinishedIt)
{
    const std::string path = recording.File("~temp.avi");
    const std::string sound = crashed.File("~temp001.wav");
    const std::vector<std::uint32_t> positions = {0, 1, 2, 5, 6, 9, 10, 11, 15, 16, 17};
    {
        FramePtr probe = PatternFrame(0);
        ASSERT_TRUE(probe);
        CMovieWriter movie;
        ASSERT_EQ(movie.Open(path, 10, probe.get()), 0);
        movie.NoteSoundFile(sound);
        for (std::size_t i = 0; i < positions.size(); ++i) {
            FramePtr frame = PatternFrame(static_cast<int>(i));
            ASSERT_EQ(movie.Write(frame.get(), positions[i]), 0);
        }
        // What a crash would leave: the files as they are on the disk now.
        ASSERT_TRUE(CopyFileA(path.c_str(), crashed.File("~temp.avi").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(JournalPathFor(path).c_str(), crashed.File("~temp.avi.journal").c_str(), FALSE));
        movie.ReleaseOptions();
        movie.ReleaseMovie();
    }
    EXPECT_TRUE(Exists(JournalPathFor(path))) << "kept until the recording is saved or thrown away";
    DeleteJournalOf(path);
    EXPECT_FALSE(Exists(JournalPathFor(path)));
    WriteBytes(sound, UnfinishedSound(8003));

    std::vector<LeftRecording> left = FindLeftRecordings(crashed.path());
    ASSERT_EQ(left.size(), 1u);
    RecoveredRecording recovered;
    ASSERT_EQ(RecoverRecording(left[0], recovered), RecoveryOutcome::Recovered);
    EXPECT_EQ(recovered.movie, crashed.File("~temp.avi"));
    EXPECT_FALSE(Exists(crashed.File("~temp.avi.journal")));
    EXPECT_FALSE(Exists(crashed.File("~temp.avi.rebuilt")));
    EXPECT_FALSE(Exists(crashed.File(std::string("~temp.avi") + kReplacedSuffix)));

    const OpenedStream closed(path);
    const OpenedStream rebuilt(recovered.movie);
    ASSERT_TRUE(closed.stream && rebuilt.stream);
    AVISTREAMINFOA info{};
    AVIStreamInfoA(rebuilt.stream, &info, sizeof(info));
    AVISTREAMINFOA closedInfo{};
    AVIStreamInfoA(closed.stream, &closedInfo, sizeof(closedInfo));
    EXPECT_EQ(info.dwRate, 10u);
    EXPECT_EQ(info.fccHandler, closedInfo.fccHandler);
    // Every frame is in the file before the journal names it.
    EXPECT_EQ(recovered.frames, positions.size());
    EXPECT_EQ(AVIStreamLength(rebuilt.stream), 18);
    for (LONG position = 0; position < AVIStreamLength(rebuilt.stream); ++position) {
        EXPECT_EQ(rebuilt.Sample(position), closed.Sample(position)) << "position " << position;
        EXPECT_EQ(AVIStreamIsKeyFrame(rebuilt.stream, position), AVIStreamIsKeyFrame(closed.stream, position))
            << "position " << position;
    }
    LONG formatSize = 0;
    AVIStreamReadFormat(rebuilt.stream, 0, nullptr, &formatSize);
    std::vector<BYTE> rebuiltFormat(static_cast<std::size_t>(formatSize));
    AVIStreamReadFormat(rebuilt.stream, 0, rebuiltFormat.data(), &formatSize);
    AVIStreamReadFormat(closed.stream, 0, nullptr, &formatSize);
    std::vector<BYTE> closedFormat(static_cast<std::size_t>(formatSize));
    AVIStreamReadFormat(closed.stream, 0, closedFormat.data(), &formatSize);
    EXPECT_EQ(rebuiltFormat, closedFormat);

    ASSERT_EQ(recovered.sound, sound);
    const std::string wave = ReadWholeFile(sound);
    ASSERT_EQ(wave.size(), 46u + 8000u) << "the half sample frame is cut off";
    EXPECT_EQ(U32At(wave, 4), wave.size() - 8);
    EXPECT_EQ(U32At(wave, 42), 8000u);
}

TEST_F(MovieRecovery, FilesOfARunningRecordingAreNotTaken)
{
    const std::string path = recording.File("~temp.avi");
    FramePtr probe = PatternFrame(0);
    ASSERT_TRUE(probe);
    CMovieWriter movie;
    ASSERT_EQ(movie.Open(path, 10, probe.get()), 0);
    ASSERT_EQ(movie.Write(probe.get(), 0), 0);
    ASSERT_TRUE(Exists(JournalPathFor(path)));
    EXPECT_TRUE(FindLeftRecordings(recording.path()).empty()) << "the recording holds its journal";
    const std::string next = ReserveTempMoviePath(recording.path());
    EXPECT_NE(next, path) << "a new recording takes another name";

    movie.ReleaseOptions();
    movie.ReleaseMovie();
    // Stopped and waiting for its Save dialog: should the program end now, it is offered again.
    EXPECT_EQ(FindLeftRecordings(recording.path()).size(), 1u);
    EXPECT_TRUE(Exists(path));
}

TEST_F(MovieRecovery, ALeftRecordingIsHandledByOneInstanceAndNeverOverwritten)
{
    const JournalStream stream = TestStream(kWidth, kHeight, 10);
    const auto frames = TestFrames({0, 2}, 500);
    const std::vector<std::uint8_t> movie = UnclosedMovie(frames);
    WriteBytes(crashed.File("~temp.avi"), movie);
    WriteBytes(crashed.File("~temp.avi.journal"), JournalOf(stream, frames));

    std::vector<LeftRecording> first = FindLeftRecordings(crashed.path());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(FindLeftRecordings(crashed.path()).empty()) << "another instance starting now";
    first.clear();
    ASSERT_EQ(FindLeftRecordings(crashed.path()).size(), 1u);

    // A new recording before the question was answered takes another name and leaves the movie be.
    EXPECT_NE(ReserveTempMoviePath(crashed.path()), crashed.File("~temp.avi"));
    EXPECT_EQ(ReadWholeFile(crashed.File("~temp.avi")).size(), movie.size());
}

TEST_F(MovieRecovery, WhatIsKeptAndWhatGoes)
{
    const JournalStream stream = TestStream(kWidth, kHeight, 10);
    const auto frames = TestFrames({0, 1, 3}, 500);
    const std::string outside = recording.File("~temp001.wav");
    struct Case {
        const char* name;
        std::vector<std::uint8_t> movie;
        std::vector<std::uint8_t> journal;
        std::vector<std::uint8_t> sound; // empty: no sound file
        bool decline;
        RecoveryOutcome outcome;
        bool soundKept;
        std::vector<std::uint8_t> computerSound = {}; // the computer's on its own track, named second
        bool computerKept = false;
    };
    const std::string beside = crashed.File("~temp001.wav");
    const std::string computer = crashed.File("~temp002.wav");
    const Case cases[] = {
        {"declined", UnclosedMovie(frames), JournalOf(stream, frames, {beside, computer}), UnfinishedSound(4000), true,
         RecoveryOutcome::NothingLeft, false, UnfinishedSound(4000)},
        {"recovered with its sound", UnclosedMovie(frames), JournalOf(stream, frames, {beside}), UnfinishedSound(4000),
         false, RecoveryOutcome::Recovered, true},
        {"recovered with both tracks", UnclosedMovie(frames), JournalOf(stream, frames, {beside, computer}),
         UnfinishedSound(4000), false, RecoveryOutcome::Recovered, true, UnfinishedSound(2000), true},
        {"the computer's track without the microphone's is not kept", UnclosedMovie(frames),
         JournalOf(stream, frames, {beside, computer}), UnfinishedSound(0), false, RecoveryOutcome::Recovered, false,
         UnfinishedSound(2000), false},
        {"sound without a sample", UnclosedMovie(frames), JournalOf(stream, frames, {beside}), UnfinishedSound(0), false,
         RecoveryOutcome::Recovered, false},
        {"sound file named elsewhere is not touched", UnclosedMovie(frames), JournalOf(stream, frames, {outside}), {},
         false, RecoveryOutcome::Recovered, false},
        {"no frame reached the disk", std::vector<std::uint8_t>(2048, 0), JournalOf(stream, frames, {beside, computer}),
         UnfinishedSound(4000), false, RecoveryOutcome::NothingLeft, false, UnfinishedSound(4000)},
        {"damaged journal", UnclosedMovie(frames), std::vector<std::uint8_t>(100, 0x55), {}, false,
         RecoveryOutcome::NothingLeft, false},
    };
    const std::vector<std::uint8_t> outsideSound = UnfinishedSound(4000);
    const std::string outsideBytes(outsideSound.begin(), outsideSound.end());
    WriteBytes(outside, outsideSound);
    for (const Case& c : cases) {
        WriteBytes(crashed.File("~temp.avi"), c.movie);
        WriteBytes(crashed.File("~temp.avi.journal"), c.journal);
        if (!c.sound.empty()) {
            WriteBytes(beside, c.sound);
        }
        if (!c.computerSound.empty()) {
            WriteBytes(computer, c.computerSound);
        }
        std::vector<LeftRecording> left = FindLeftRecordings(crashed.path());
        ASSERT_EQ(left.size(), 1u) << c.name;
        RecoveryOutcome outcome = RecoveryOutcome::NothingLeft;
        RecoveredRecording recovered;
        if (c.decline) {
            DeleteLeftRecording(left[0]);
        } else {
            outcome = RecoverRecording(left[0], recovered);
        }
        EXPECT_EQ(outcome, c.outcome) << c.name;
        EXPECT_FALSE(Exists(crashed.File("~temp.avi.journal"))) << c.name;
        EXPECT_EQ(Exists(crashed.File("~temp.avi")), outcome == RecoveryOutcome::Recovered) << c.name;
        EXPECT_EQ(Exists(beside), c.soundKept) << c.name;
        EXPECT_EQ(recovered.sound, c.soundKept ? beside : "") << c.name;
        EXPECT_EQ(Exists(computer), c.computerKept) << c.name;
        EXPECT_EQ(recovered.computerSound, c.computerKept ? computer : "") << c.name;
        EXPECT_EQ(ReadWholeFile(outside), outsideBytes) << c.name;
        DeleteFileA(crashed.File("~temp.avi").c_str());
        DeleteFileA(computer.c_str());
        DeleteFileA(beside.c_str());
    }
}
