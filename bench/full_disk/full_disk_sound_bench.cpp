// A recording with sound whose temporary folder fills up, through the real engine and sound
// device: it counts the sound buffers the device hands back, those written to the WAV file, and
// those that come back or get written once the device was stopped; it reports why the recording
// ended, the device's close result, and whether the WAV file holds whole sample frames to its end.
//   full_disk_sound_bench grows     the recording fills the disk by itself
//   full_disk_sound_bench ballast   another file takes the last free byte while it records
// The temporary folder must be on a small file system (run.sh mounts one).
#include "audio/audio_capture.h"
#include "audio/audio_formats.h"
#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/record_command.h"
#include "recording/recording_audio.h"
#include "recording/recording_end.h"
#include "recording/recording_journal.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/handles.h"

#include "test_support.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
// The sound device as the recording thread drives it, with its close result and the moment of
// the stop kept.
struct WatchedCapture : IAudioCapture {
    void Start() override { capture.Start(); }
    void Stop() override
    {
        stopping = true;
        closeResult = StopWaveInput();
        stopped = true;
        ReleaseWaveFile();
    }
    bool Failed() const override { return capture.Failed(); }

    CAudioCapture capture;
    std::atomic<bool> stopping{false};
    std::atomic<bool> stopped{false};
    std::atomic<MMRESULT> closeResult{MMSYSERR_ERROR};
};

struct Counts {
    int returned = 0;            // buffers the device handed back
    int written = 0;             // of those, written into the WAV file
    int returnedWhileStopping = 0;
    int writtenWhileStopping = 0; // the stop had begun, the device not yet closed
    int returnedAfterStop = 0;
    int writtenAfterStop = 0;     // must stay 0
};

WatchedCapture g_capture;
Counts g_counts;
std::atomic<bool> g_ended{false};
RecordingStop g_stop = RecordingStop::None;

std::uint64_t SoundFileBytes()
{
    return FileSize(Settings().g_tempwavfile).value_or(0);
}

// The main window's part: sound buffers to the capture, and the recording's end.
void OnMainMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == MM_WIM_DATA) {
        const bool stopped = g_capture.stopped;
        const bool stopping = g_capture.stopping;
        const std::uint64_t before = SoundFileBytes();
        OnWaveInData(reinterpret_cast<WAVEHDR*>(lParam));
        const bool written = SoundFileBytes() > before;
        ++g_counts.returned;
        g_counts.written += written ? 1 : 0;
        if (stopped) {
            ++g_counts.returnedAfterStop;
            g_counts.writtenAfterStop += written ? 1 : 0;
        } else if (stopping) {
            ++g_counts.returnedWhileStopping;
            g_counts.writtenWhileStopping += written ? 1 : 0;
        }
    } else if (message == WM_USER_GENERIC_MSG) {
        g_stop = static_cast<RecordingStop>(wParam);
        g_ended = true;
    }
}

// Takes every free byte of the folder's disk; the file is deleted when this goes.
class Ballast {
public:
    explicit Ballast(const std::string& folder) : m_path(folder + "\\ballast.bin")
    {
        const KernelHandle file = OwnFile(CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        if (!file) {
            return;
        }
        std::vector<char> block(64 * 1024);
        for (std::size_t size = block.size(); size > 0; size /= 2) {
            DWORD done = 0;
            while (WriteFile(file.get(), block.data(), static_cast<DWORD>(size), &done, nullptr) && done == size) {
                m_bytes += done;
            }
            m_bytes += done;
        }
    }
    ~Ballast() { DeleteFileA(m_path.c_str()); }
    Ballast(const Ballast&) = delete;
    Ballast& operator=(const Ballast&) = delete;
    std::uint64_t bytes() const { return m_bytes; }

private:
    std::string m_path;
    std::uint64_t m_bytes = 0;
};

std::uint32_t Little32(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, sizeof(value));
    return value;
}

// The WAV file's chunks against its size and its sample frame.
void ReportSoundFile(const std::string& path)
{
    const std::string bytes = ReadWholeFile(path);
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        std::printf("WAV file: %zu bytes, no RIFF/WAVE header\n", bytes.size());
        return;
    }
    std::uint32_t blockAlign = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = Little32(bytes, at + 4);
        if (id == "fmt " && at + 22 <= bytes.size()) {
            blockAlign = static_cast<std::uint16_t>(Little32(bytes, at + 20));
        }
        if (id == "data") {
            const std::uint64_t end = at + 8 + std::uint64_t{size};
            const std::uint32_t perSecond = Settings().g_recordformat.nAvgBytesPerSec;
            std::printf("WAV file: %zu bytes, RIFF size %u (file - 8 = %zu), data chunk %u bytes = %.3f s, "
                        "%s sample frames of %u bytes, data ends at %llu of %zu\n",
                        bytes.size(), Little32(bytes, 4), bytes.size() - 8, size,
                        perSecond ? static_cast<double>(size) / perSecond : 0.0,
                        blockAlign && size % blockAlign == 0 ? "whole" : "NOT whole", blockAlign,
                        static_cast<unsigned long long>(end), bytes.size());
            return;
        }
        at += 8 + size + (size & 1);
    }
    std::printf("WAV file: %zu bytes, no data chunk\n", bytes.size());
}
} // namespace

int main(int argc, char** argv)
{
    const std::string how = argc == 2 ? argv[1] : "";
    if (how != "grows" && how != "ballast") {
        std::fprintf(stderr, "usage: full_disk_sound_bench grows|ballast\n");
        return 2;
    }
    RegisterPrivateMessages();
    AppSettings& s = Settings();
    RecordingWindow main;
    main.onMessage = &OnMainMessage;
    s.g_mainwindow = main.hwnd();
    UsePlainCaptureSettings();
    s.minimizeOnStart = 0;
    s.recordaudio = 1;
    s.timelapse = 50;
    s.frames_per_second = 20;
    s.compfccHandler = static_cast<std::int32_t>(mmioFOURCC('D', 'I', 'B', ' '));
    s.g_capturerect = {0, 0, 159, 119};
    ChooseRecordingFormatFromDevice();
    Seams().audio = &g_capture;

    const std::string temp = GetTempDirectory();
    std::printf("temporary folder %s: %.1f MB free; sound %lu Hz, %u channels, %u bits\n", temp.c_str(),
                FreeDiskBytes(temp).value_or(0) / 1e6, s.g_recordformat.nSamplesPerSec, s.g_recordformat.nChannels,
                s.g_recordformat.wBitsPerSample);
    const DWORD start = GetTickCount();
    OnRecordStart();
    std::unique_ptr<Ballast> ballast;
    while (!g_ended && GetTickCount() - start < 120000) {
        PumpFor(50);
        if (how == "ballast" && !ballast && GetTickCount() - start > 3000) {
            ballast = std::make_unique<Ballast>(temp);
            std::printf("ballast took the last %.1f MB after %.1f s\n", ballast->bytes() / 1e6,
                        (GetTickCount() - start) / 1000.0);
        }
    }
    const DWORD ended = GetTickCount() - start;
    // The last notices of the reset reach the window after the report.
    PumpFor(1000);
    UninstallMouseHook();
    s.g_isrecording = 0;
    const std::string note = RecordingStopNote(g_stop, true);
    std::printf("the recording ended after %.1f s %s, stop %d (\"%s\"); the sound file %s\n", ended / 1000.0,
                g_ended ? "by itself" : "NOT by itself", static_cast<int>(g_stop), note.substr(0, note.find('\n')).c_str(),
                SoundFileFailed() ? "took no more sound" : "took all it was given");
    std::printf("buffers handed back: %d, written %d; while the device stopped: %d, written %d; after it "
                "closed: %d, written %d; still queued: %d\n",
                g_counts.returned, g_counts.written, g_counts.returnedWhileStopping, g_counts.writtenWhileStopping,
                g_counts.returnedAfterStop, g_counts.writtenAfterStop, QueuedWaveBuffers());
    std::printf("device close result: %u (%s)\n", static_cast<unsigned>(g_capture.closeResult.load()),
                g_capture.closeResult == MMSYSERR_NOERROR ? "closed" : "FAILED");
    ReportSoundFile(s.g_tempwavfile);
    Seams().audio = nullptr;
    DeleteFileA(s.g_tempwavfile.c_str());
    DeleteFileA(s.g_tempmoviepath.c_str());
    DeleteJournalOf(s.g_tempmoviepath);
    return g_ended && g_counts.writtenAfterStop == 0 ? 0 : 1;
}
