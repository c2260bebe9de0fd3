// Sound recorded under Wine from the monitor of the private PulseAudio null sink "rec", while a
// 440 Hz tone plays into it: the temporary WAV file must hold the recording, without its pauses.
#include "audio/audio_capture.h"

#include "audio/audio_formats.h"
#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/record_command.h"
#include "recording/recording_audio.h"
#include "settings/app_settings.h"
#include "sound_analysis.h"
#include "test_support.h"
#include "win/directories.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {
constexpr int kTone = 440;

// The main window's part in the capture.
void PassSoundToCapture(UINT message, WPARAM, LPARAM lParam)
{
    if (message == MM_WIM_DATA) {
        OnWaveInData(reinterpret_cast<WAVEHDR*>(lParam));
    }
}

// The real capture, timed: sound is expected from the moment the capture is asked to start (the
// recording's clock starts just before) to the end of recording.
struct TimedCapture : IAudioCapture {
    void Start() override
    {
        ++starts;
        started = timeGetTime();
        capture.Start();
    }
    void Stop() override { capture.Stop(); }
    bool Failed() const override { return capture.Failed(); }

    CAudioCapture capture;
    std::atomic<int> starts{0};
    std::atomic<DWORD> started{0};
};

// One recording of a 160 x 120 region; `during` runs the recording's main thread and returns
// the milliseconds of it that were paused.
struct Recording {
    RecordingWindow window;
    TimedCapture capture;
    DWORD stopped = 0;

    template <typename During> DWORD Run(int recordaudio, During during)
    {
        RegisterPrivateMessages();
        UsePlainCaptureSettings();
        AppSettings& s = Settings();
        s.g_mainwindow = window.hwnd();
        window.onMessage = &PassSoundToCapture;
        s.recordaudio = recordaudio;
        s.timelapse = 50;
        s.frames_per_second = 20;
        s.compfccHandler = static_cast<std::int32_t>(mmioFOURCC('D', 'I', 'B', ' '));
        s.g_capturerect = {0, 0, 159, 119};
        s.g_tempwavfile.clear();
        Seams().audio = &capture;
        OnRecordStart();
        const DWORD paused = during();
        UninstallMouseHook();
        s.g_paused = 0;
        s.g_isrecording = 0;
        stopped = timeGetTime();
        EXPECT_TRUE(PumpUntil([this] { return window.Count(WM_USER_GENERIC_MSG) == 1; }, 15000));
        PumpFor(100);
        Seams().audio = nullptr;
        DeleteFileA(s.g_tempmoviepath.c_str());
        return paused;
    }
};

// Plays the tone into the null sink for longer than any test here records.
bool PlayTone()
{
    return RunUnixShell("cd /tmp && sox -n framelark_tone_$$.wav synth 12 sine " + std::to_string(kTone) +
                        " && (paplay -d rec framelark_tone_$$.wav; rm -f framelark_tone_$$.wav) "
                        ">/dev/null 2>&1 </dev/null &") == 0;
}

int CountTemporarySoundFiles()
{
    int count = 0;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((GetTempDirectory() + "\\~temp*.wav").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// Length and pitch of the temporary WAV file against the time recorded.
void ExpectSoundOfTheRecording(const Recording& recording, DWORD pausedMs)
{
    const AppSettings& s = Settings();
    ASSERT_FALSE(s.g_tempwavfile.empty());
    const RecordedSound sound = ReadRecordedSound(ReadWholeFile(s.g_tempwavfile));
    ASSERT_EQ(sound.formatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(sound.channels, s.g_recordformat.nChannels);
    EXPECT_EQ(sound.samplesPerSecond, s.g_recordformat.nSamplesPerSec);
    EXPECT_EQ(sound.bitsPerSample, s.g_recordformat.wBitsPerSample);
    const double expected = (recording.stopped - recording.capture.started - pausedMs) / 1000.0;
    std::printf("recorded %.3f s of sound for %.3f s of recording\n", sound.Seconds(), expected);
    EXPECT_NEAR(sound.Seconds(), expected, 0.150);
    // Wine's device starts late: its first second or so is silence.
    EXPECT_EQ(DominantFrequency(sound, sound.Seconds() - 1.2, 1.0), kTone);
    EXPECT_EQ(QueuedWaveBuffers(), 0);
    DeleteFileA(s.g_tempwavfile.c_str());
}

class AudioRecording : public testing::Test {
protected:
    void SetUp() override
    {
        if (UnixPath("C:\\").empty()) {
            GTEST_SKIP() << "needs the sound server of the tests under Wine";
        }
        ChooseRecordingFormatFromDevice();
        ASSERT_TRUE(PlayTone());
        PumpFor(700); // until the monitor delivers sound
    }
};
} // namespace

TEST_F(AudioRecording, WavFileHoldsTheRecordingWithoutThePause)
{
    Recording recording;
    const DWORD paused = recording.Run(1, [] {
        PumpFor(1500);
        const DWORD pauseStart = timeGetTime();
        Settings().g_paused = 1;
        PumpFor(1000);
        Settings().g_paused = 0;
        const DWORD pausedMs = timeGetTime() - pauseStart;
        PumpFor(1500);
        return pausedMs;
    });
    EXPECT_EQ(recording.capture.starts, 1);
    ExpectSoundOfTheRecording(recording, paused);
}

TEST_F(AudioRecording, NoSoundIsLostWhileTheMainThreadIsBusy)
{
    Recording recording;
    recording.Run(1, [] {
        for (int i = 0; i < 4; ++i) {
            PumpFor(400);
            Sleep(300); // work that dispatches no message
        }
        PumpFor(400);
        return DWORD{0};
    });
    ExpectSoundOfTheRecording(recording, 0);
}

TEST_F(AudioRecording, WithoutRecordAudioNoSoundFileIsMade)
{
    const int before = CountTemporarySoundFiles();
    Recording recording;
    recording.Run(0, [] {
        PumpFor(1000);
        return DWORD{0};
    });
    EXPECT_EQ(recording.capture.starts, 0);
    EXPECT_TRUE(Settings().g_tempwavfile.empty());
    EXPECT_EQ(CountTemporarySoundFiles(), before);
}

TEST_F(AudioRecording, DeviceStoppedUnderABusyMainThreadTakesNoMoreSound)
{
    // A recording that ends by itself: the recording thread stops the device while the main
    // thread, busy, still takes the recording as running and has not seen the last notices.
    RecordingWindow window;
    window.onMessage = &PassSoundToCapture;
    AppSettings& s = Settings();
    s.g_mainwindow = window.hwnd();
    s.g_isrecording = 1;
    ASSERT_EQ(StartAudioRecording(), 1);
    ASSERT_EQ(OpenWaveInput(nullptr), 1);
    PumpFor(1500);
    MMRESULT stopped = MMSYSERR_ERROR;
    std::thread([&] { stopped = StopWaveInput(); }).join();
    EXPECT_EQ(stopped, MMSYSERR_NOERROR) << "the device must close with every buffer unprepared";
    const std::string atStop = ReadWholeFile(s.g_tempwavfile);
    PumpFor(500); // the notices of the reset arrive, the recording still running for this thread
    EXPECT_EQ(ReadWholeFile(s.g_tempwavfile), atStop) << "sound written after the stop";
    EXPECT_EQ(QueuedWaveBuffers(), 0);
    ReleaseWaveFile();
    s.g_isrecording = 0;
    const RecordedSound sound = ReadRecordedSound(ReadWholeFile(s.g_tempwavfile));
    EXPECT_GT(sound.Seconds(), 0.5);
    DeleteFileA(s.g_tempwavfile.c_str());
}

TEST(AudioCapture, StrayDataNotificationsAreIgnored)
{
    RecordingWindow window;
    window.onMessage = &PassSoundToCapture;
    WAVEHDR stranger{};
    char bytes[16] = {};
    stranger.lpData = bytes;
    stranger.dwBufferLength = sizeof(bytes);
    stranger.dwBytesRecorded = sizeof(bytes);
    PostMessageA(window.hwnd(), MM_WIM_DATA, 0, reinterpret_cast<LPARAM>(&stranger));
    PostMessageA(window.hwnd(), MM_WIM_DATA, 0, 0x1234);
    PumpFor(50);
    EXPECT_EQ(window.Count(MM_WIM_DATA), 2);
    EXPECT_EQ(stranger.dwFlags, 0u);
    EXPECT_EQ(QueuedWaveBuffers(), 0);
}

TEST(TemporarySoundName, SearchIsBoundedAndAvoidsAFileInUse)
{
    const std::string folder = GetTempDirectory();
    const std::string first = folder + "\\~temp001.wav";
    HANDLE holder = CreateFileA(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::string other = ReserveTempFilePath(folder, "~temp001.wav", ".wav");
    CloseHandle(holder);
    DeleteFileA(first.c_str());
    ASSERT_GT(other.size(), folder.size() + 10);
    EXPECT_EQ(other.substr(0, folder.size() + 6), folder + "\\~temp");
    EXPECT_EQ(other.substr(other.size() - 4), ".wav");
    const std::string number = other.substr(folder.size() + 6, other.size() - folder.size() - 10);
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << other;
    EXPECT_EQ(GetFileAttributesA(other.c_str()), INVALID_FILE_ATTRIBUTES) << "the name is tried, not kept";

    const DWORD start = GetTickCount();
    EXPECT_EQ(ReserveTempFilePath(folder + "\\no such folder", "~temp001.wav", ".wav"), "");
    EXPECT_LT(GetTickCount() - start, 10000u) << "an unwritable folder must end the search";
}

