// The merge of a movie and a 440 Hz WAV under Wine, judged by ffprobe and ffmpeg: the video comes
// through unchanged, the audio in the asked format, as long as the video and with its tone.
#include "audio/merge_audio_video.h"

#include "audio/audio_conversion.h"
#include "audio/avi_handles.h"
#include "audio/merge_rules.h"
#include "audio/movie_index.h"
#include "audio/wave_file.h"
#include "codec/msadpcm_install.h"
#include "codec/video1_install.h"
#include "messages/private_messages.h"
#include "settings/app_settings.h"
#include "sound_analysis.h"
#include "test_support.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {
constexpr int kFrames = 30;
constexpr int kRate = 10;
constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kTone = 440;
constexpr DWORD kSamplesPerSecond = 22050;

// Frames stay away from every fourth position, as a recording numbered by the wall clock leaves gaps.
constexpr LONG Position(int frame) { return frame + frame / 3; }
constexpr LONG kLength = Position(kFrames - 1) + 1;

// A Video 1 movie like a recording's: key frames every 10 positions, the others changes.
void WriteMovie(const std::string& path)
{
    ASSERT_TRUE(InstallVideo1IfNeeded(24, kWidth, kHeight));
    AviLibrary library;
    PAVIFILE rawFile = nullptr;
    ASSERT_EQ(AVIFileOpenA(&rawFile, path.c_str(), OF_CREATE | OF_WRITE, nullptr), 0);
    AviFile file(rawFile);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = kRate;
    info.dwSuggestedBufferSize = kWidth * kHeight * 3;
    SetRect(&info.rcFrame, 0, 0, kWidth, kHeight);
    PAVISTREAM rawStream = nullptr;
    ASSERT_EQ(AVIFileCreateStreamA(file.get(), &rawStream, &info), 0);
    AviStream stream(rawStream);
    AVICOMPRESSOPTIONS options{};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = mmioFOURCC('M', 'S', 'V', 'C');
    options.dwKeyFrameEvery = 10;
    options.dwQuality = 7500;
    options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
    PAVISTREAM rawCompressed = nullptr;
    ASSERT_EQ(AVIMakeCompressedStream(&rawCompressed, stream.get(), &options, nullptr), 0);
    AviStream compressed(rawCompressed);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biSizeImage = kWidth * kHeight * 3;
    ASSERT_EQ(AVIStreamSetFormat(compressed.get(), 0, &header, sizeof(header)), 0);
    std::vector<BYTE> frame(header.biSizeImage);
    for (int i = 0; i < kFrames; ++i) {
        for (size_t p = 0; p < frame.size(); ++p) {
            frame[p] = static_cast<BYTE>(p / 3 % kWidth < static_cast<size_t>(2 * i) ? 40 + 6 * i : p * 7 % 256);
        }
        ASSERT_EQ(AVIStreamWrite(compressed.get(), Position(i), 1, frame.data(), static_cast<LONG>(frame.size()), 0,
                                 nullptr, nullptr),
                  0);
    }
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

// As long as the movie: kLength / kRate seconds.
void WriteTone(const std::string& path)
{
    WaveFile wave(path, Pcm());
    ASSERT_TRUE(wave.IsOpen());
    std::vector<short> samples;
    for (DWORD i = 0; i < kSamplesPerSecond * kLength / kRate; ++i) {
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
    // Time, key flag, size and checksum of each picture.
    std::string VideoPackets(const std::string& file)
    {
        return Probe(file, "-select_streams v -show_data_hash MD5 -show_entries packet=pts,flags,size,data_hash");
    }
    RecordedSound DecodedSound(const std::string& file)
    {
        Shell("ffmpeg -v error -y -i '" + UnixPath(file) + "' -map 0:a -ac 1 -ar 22050 -f s16le '" + unixDir +
              "/tone.raw'");
        const std::string raw = ReadWholeFile(scratch.File("tone.raw"));
        RecordedSound sound;
        sound.samplesPerSecond = kSamplesPerSecond;
        for (size_t i = 0; i + 1 < raw.size(); i += 2) {
            short sample = 0;
            std::memcpy(&sample, raw.data() + i, 2);
            sound.mono.push_back(sample / 32768.0);
        }
        return sound;
    }
};

// Stream of each index entry in the order of the file: '0' video, '1' audio.
std::string ChunkOrder(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    const auto entries = ReadMovieIndex(file);
    if (!entries) {
        return "no index";
    }
    std::string order;
    for (size_t i = 0; i < entries->size(); ++i) {
        if (i > 0 && (*entries)[i].offset <= (*entries)[i - 1].offset) {
            return "index out of file order";
        }
        order += ((*entries)[i].id & 0xFFFF) == ('0' | '0' << 8) ? '0' : '1';
    }
    return order;
}
} // namespace

TEST_F(Merge, OutputHoldsTheVideoUnchangedAndTheToneInTheAskedFormat)
{
    if (unixDir.empty()) {
        GTEST_SKIP() << "ffmpeg is run under Wine only";
    }
    constexpr int kPeriod = 4;
    struct Case {
        const char* name;
        WORD tag; // 0: no compression
        const char* codec;
        int interleave;
    } const cases[] = {
        {"PCM", 0, "pcm_s16le", 1},
        {"IMA ADPCM", WAVE_FORMAT_IMA_ADPCM, "adpcm_ima_wav", 1},
        {"MS ADPCM", WAVE_FORMAT_ADPCM, "adpcm_ms", 1},
        {"MS ADPCM, not interleaved", WAVE_FORMAT_ADPCM, "adpcm_ms", 0},
    };
    // Interleaved: the sound of each group of frames just before them; sound that outlasts the
    // pictures after them.
    std::string interleaved;
    for (LONG group = 0; group < kLength; group += kPeriod) {
        interleaved += "1" + std::string(std::min<LONG>(kPeriod, kLength - group), '0');
    }
    // As at the program's start: our MS ADPCM where the system has none.
    InstallMsAdpcmIfNeeded();
    const std::string videoPackets = VideoPackets(movie);
    ASSERT_NE(videoPackets.find("K_"), std::string::npos) << videoPackets;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DWORD length = 0;
        GlobalBlock format = c.tag ? Suggested(c.tag, length) : GlobalBlock();
        ASSERT_TRUE(c.tag == 0 || format.valid());
        const std::string codec = c.codec;
        DeleteFileA(output.c_str());
        ASSERT_EQ(MergeAudioVideo(movie, sound, output, c.tag != 0, format.handle(), length, c.interleave, kPeriod, 1),
                  kMerged);

        EXPECT_EQ(Probe(output, "-show_entries stream=index,codec_name"), "0,msvideo1\n1," + codec + "\n");
        EXPECT_EQ(VideoPackets(output), videoPackets);
        EXPECT_EQ(Shell("ffmpeg -v error -xerror -i '" + UnixPath(output) + "' -f null - 2>&1"), "");
        const std::string order = ChunkOrder(output);
        const std::string head = c.interleave ? interleaved : std::string(kLength, '0');
        EXPECT_EQ(order.substr(0, head.size()), head);
        EXPECT_EQ(order.find_first_not_of('1', head.size()), std::string::npos) << order;

        // The header counts the sound in blocks.
        double video = 0;
        double blocks = 0;
        std::istringstream(Probe(output, "-select_streams v -show_entries stream=duration")) >> video;
        std::istringstream(Probe(output, "-select_streams a -show_entries stream=nb_frames")) >> blocks;
        const WAVEFORMATEX wave = c.tag ? *LockedGlobal(format.handle()).as<WAVEFORMATEX>() : Pcm();
        EXPECT_NEAR(video, kLength / static_cast<double>(kRate), 0.01);
        EXPECT_NEAR(blocks * wave.nBlockAlign / wave.nAvgBytesPerSec, video, 0.3);
        const RecordedSound tone = DecodedSound(output);
        EXPECT_NEAR(static_cast<double>(tone.mono.size()) / kSamplesPerSecond, video, 0.3);
        EXPECT_NEAR(DominantFrequency(tone, 0.5, 2.0), kTone, 4);
    }
    RemoveMsAdpcm();
}

// The computer's sound on its own track: a second audio stream, compressed alike, each named, and
// each group's sound of both just before its frames.
TEST_F(Merge, ComputerTrackIsASecondNamedStream)
{
    if (unixDir.empty()) {
        GTEST_SKIP() << "ffmpeg is run under Wine only";
    }
    constexpr int kPeriod = 4;
    InstallMsAdpcmIfNeeded();
    DWORD length = 0;
    const GlobalBlock format = Suggested(WAVE_FORMAT_ADPCM, length);
    ASSERT_TRUE(format.valid());
    const std::string computer = scratch.File("computer.wav");
    ASSERT_TRUE(CopyFileA(sound.c_str(), computer.c_str(), FALSE));
    ASSERT_EQ(MergeAudioVideo(movie, sound, output, 1, format.handle(), length, 1, kPeriod, 1, computer), kMerged);
    EXPECT_EQ(Probe(output, "-show_entries stream=index,codec_name:stream_tags=title"),
              "0,msvideo1\n1,adpcm_ms,Microphone\n2,adpcm_ms,Computer sound\n");
    EXPECT_EQ(Shell("ffmpeg -v error -xerror -i '" + UnixPath(output) + "' -map 0 -f null - 2>&1"), "");
    std::string interleaved;
    for (LONG group = 0; group < kLength; group += kPeriod) {
        interleaved += "11" + std::string(std::min<LONG>(kPeriod, kLength - group), '0');
    }
    const std::string order = ChunkOrder(output);
    EXPECT_EQ(order.substr(0, interleaved.size()), interleaved);
    EXPECT_EQ(order.find_first_not_of('1', interleaved.size()), std::string::npos) << order;
    RemoveMsAdpcm();
}

TEST_F(Merge, SmallBlockSoundIsConvertedInChunksAndLastsAsLong)
{
    AviLibrary library;
    PAVISTREAM rawStream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&rawStream, sound.c_str(), streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_NONE, nullptr), 0);
    AviStream pcm(rawStream);
    const std::string converted = scratch.File("converted.avi");
    constexpr std::uint32_t kBlocksPerChunk = 2205;
    for (const WORD tag : {WORD{WAVE_FORMAT_ALAW}, WORD{WAVE_FORMAT_MULAW}}) {
        SCOPED_TRACE(tag);
        DWORD length = 0;
        const GlobalBlock format = Suggested(tag, length);
        ASSERT_TRUE(format.valid());
        const WAVEFORMATEX target = *LockedGlobal(format.handle()).as<WAVEFORMATEX>();
        int progress = -1;
        AviStream stream = ConvertAudioStream(pcm.get(), target, converted, kBlocksPerChunk, [&](int percent) {
            EXPECT_GE(percent, progress);
            progress = percent;
            return true;
        });
        ASSERT_TRUE(stream);
        const LONG blocks = AVIStreamLength(stream.get());
        EXPECT_NEAR(static_cast<double>(blocks) * target.nBlockAlign / target.nAvgBytesPerSec,
                    static_cast<double>(kLength) / kRate, 0.01);
        stream.reset();
        std::ifstream file(converted, std::ios::binary);
        const auto entries = ReadMovieIndex(file);
        ASSERT_TRUE(entries);
        EXPECT_EQ(entries->size(), static_cast<std::size_t>((blocks + kBlocksPerChunk - 1) / kBlocksPerChunk));
        EXPECT_EQ(progress, 100);
    }
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

TEST_F(Merge, ProgressReachesTheMainWindow)
{
    RecordingWindow window;
    Settings().g_mainwindow = window.hwnd();
    ASSERT_EQ(MergeAudioVideo(movie, sound, output, 0, nullptr, 0, 0, 100, 0), kMerged);
    PumpFor(50);
    Settings().g_mainwindow = nullptr;
    ASSERT_GT(window.Count(MergeProgressMessage), 0);
    for (size_t i = 0; i < window.messages.size(); ++i) {
        if (window.messages[i] == MergeProgressMessage) {
            EXPECT_LE(window.parameters[i].first, 100u);
        }
    }
}

TEST_F(Merge, SaveThatOutgrowsItsBoundFailsAndLeavesNothing)
{
    DWORD length = 0;
    const GlobalBlock format = Suggested(WAVE_FORMAT_IMA_ADPCM, length);
    ASSERT_TRUE(format.valid());
    RecordingWindow window;
    Settings().g_mainwindow = window.hwnd();
    EXPECT_EQ(MergeAudioVideo(movie, sound, output, 1, format.handle(), length, 1, 4, 1, 1), kMergedSaveFailed);
    PumpFor(50);
    Settings().g_mainwindow = nullptr;
    // Each save ends at its first write: the compressed one, then the fallback with the recorded sound.
    EXPECT_EQ(window.Count(MergeProgressMessage), 2);
    EXPECT_EQ(GetFileAttributesA(output.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((output + ".sound0.avi").c_str()), INVALID_FILE_ATTRIBUTES);
    // With room for its inputs the same merge succeeds.
    EXPECT_EQ(MergeAudioVideo(movie, sound, output, 1, format.handle(), length, 1, 4, 1), kMerged);
}
