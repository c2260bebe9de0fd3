#include "audio/audio_capture.h"

#include "audio/audio_formats.h"
#include "audio/computer_sound.h"
#include "audio/recording_formats.h"
#include "audio/sound_mixing.h"
#include "audio/sound_timekeeper.h"
#include "audio/wave_file.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/message_box.h"

#include <algorithm>
#include <cstddef>
#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {
struct WaveBuffer {
    WAVEHDR header{};
    std::unique_ptr<char[]> data;
};

// The device handle is opened and closed on the recording thread and used on the main thread;
// the lock also guards the list of buffers handed out (so that a stray MM_WIM_DATA is ignored),
// the stopping state and the writer: once the recording thread has stopped the device, no buffer
// is written or queued again, and the writer is never released under a write.
std::mutex g_deviceLock;
HWAVEIN g_device = nullptr;
bool g_stopping = false;
std::vector<std::unique_ptr<WaveBuffer>> g_buffers;
std::atomic<int> g_queuedbuffers{0};
std::unique_ptr<WaveFile> g_wavewriter;
std::unique_ptr<WaveFile> g_computerwriter; // the computer's sound on a track of its own
// Main thread once the device runs; set up before the device is opened.
CSoundTimekeeper g_timekeeper;
std::atomic<bool> g_soundfilefailed{false};
std::atomic<bool> g_devicefailed{false};
// With the computer's sound the microphone's buffers go to the mix, which writes the files.
std::unique_ptr<CSoundMixing> g_mixing;
// What the user is told about the sound sources after the save; recording thread.
std::string g_sourcesnote;

WaveBuffer* FindBuffer(const WAVEHDR* header)
{
    const auto found = std::find_if(g_buffers.begin(), g_buffers.end(),
                                    [header](const auto& buffer) { return &buffer->header == header; });
    return found == g_buffers.end() ? nullptr : found->get();
}

void FreeBuffer(WaveBuffer* buffer)
{
    std::erase_if(g_buffers, [buffer](const auto& owned) { return owned.get() == buffer; });
    --g_queuedbuffers;
}

// Caller holds the lock.
bool QueueAtDevice(WAVEHDR& header)
{
    if (!g_device || waveInPrepareHeader(g_device, &header, sizeof(header)) != MMSYSERR_NOERROR) {
        return false;
    }
    if (waveInAddBuffer(g_device, &header, sizeof(header)) != MMSYSERR_NOERROR) {
        waveInUnprepareHeader(g_device, &header, sizeof(header));
        return false;
    }
    return true;
}

// Caller holds the lock. A failed write ends the sound of this recording; the recording thread
// sees it, ends the recording and stops the device.
void WriteAudioData(const void* data, std::size_t length, std::unique_ptr<WaveFile>& writer = g_wavewriter)
{
    if (writer && !writer->Write(data, length)) {
        g_soundfilefailed = true;
        writer.reset();
    }
}

// A sound file of the recording's format, under a free temporary name kept in path; none when it
// cannot be made.
std::unique_ptr<WaveFile> CreateSoundFile(std::string& path, const char* firstName)
{
    path = ReserveTempFilePath(GetTempDirectory(), firstName, ".wav");
    auto writer = path.empty() ? nullptr : std::make_unique<WaveFile>(path, Settings().g_recordformat);
    return writer && writer->IsOpen() ? std::move(writer) : nullptr;
}

// Sound the device did not deliver (a late start, or a stretch dropped while the machine was busy)
// becomes silence, so that the sound keeps time with the movie.
void WriteMissedSilence(DWORD arrivedAt, DWORD bytesRecorded, bool paused)
{
    const WAVEFORMATEX& format = Settings().g_recordformat;
    if (format.nBlockAlign == 0) {
        return;
    }
    const std::uint64_t frames = g_timekeeper.SilenceBefore(arrivedAt, bytesRecorded / format.nBlockAlign);
    if (frames == 0 || paused) {
        return;
    }
    // 8-bit samples are unsigned: their silence is 128.
    const std::vector<char> silence(frames * format.nBlockAlign, format.wBitsPerSample == 8 ? char(0x80) : char(0));
    WriteAudioData(silence.data(), silence.size());
}
} // namespace

int StartAudioRecording()
{
    AppSettings& settings = Settings();
    // The recording's clock started a moment ago: its first frame and this sound's first sample
    // belong together.
    const DWORD startedAt = timeGetTime();
    g_queuedbuffers = 0;
    g_soundfilefailed = false;
    g_devicefailed = false;
    ReleaseWaveFile();
    BuildRecordFormat();
    g_timekeeper.Restart(startedAt, settings.g_recordformat.nSamplesPerSec);

    std::unique_ptr<WaveFile> writer = CreateSoundFile(settings.g_tempwavfile, "~temp001.wav");
    // Apart from the microphone's, the computer's sound goes to a file of its own.
    std::unique_ptr<WaveFile> computerWriter;
    settings.g_tempcomputerwavfile.clear();
    if (writer && settings.computerSound != 0 && settings.recordaudio != 0 && settings.computerSoundTracks == 1) {
        computerWriter = CreateSoundFile(settings.g_tempcomputerwavfile, "~temp002.wav");
        if (!computerWriter) {
            writer.reset();
            DeleteFileA(settings.g_tempwavfile.c_str());
        }
    }
    const bool opened = writer != nullptr;
    std::unique_ptr<ComputerSound> computer;
    g_sourcesnote.clear();
    if (opened && settings.computerSound != 0) {
        computer = OpenComputerSound(static_cast<int>(settings.g_recordformat.nSamplesPerSec),
                                     settings.g_recordformat.nChannels, settings.computerSoundDevice);
        if (!computer) {
            g_sourcesnote = "No sound from the computer was recorded: this system offers no way to record what it "
                            "plays (no loopback of its output, and no input that monitors it).";
            g_devicefailed = settings.recordaudio == 0;
            computerWriter.reset();
            if (!settings.g_tempcomputerwavfile.empty()) {
                DeleteFileA(settings.g_tempcomputerwavfile.c_str());
                settings.g_tempcomputerwavfile.clear();
            }
        }
    }
    {
        std::lock_guard lock(g_deviceLock);
        g_device = nullptr;
        g_stopping = false;
        if (opened) {
            g_wavewriter = std::move(writer);
            g_computerwriter = std::move(computerWriter);
        }
        if (computer) {
            g_mixing = std::make_unique<CSoundMixing>(
                settings.g_recordformat, startedAt, settings.recordaudio != 0, g_computerwriter != nullptr,
                std::move(computer), [](std::size_t track, const std::vector<std::uint8_t>& pcm) {
                    std::lock_guard writing(g_deviceLock);
                    WriteAudioData(pcm.data(), pcm.size(), track == 0 ? g_wavewriter : g_computerwriter);
                });
        }
    }
    if (!opened) {
        ShowNote(nullptr,
                 LoadMessageText(ID_ERR_CREATE_SOUND_FILE,
                                 "The temporary sound file cannot be created. The video is recorded without sound."),
                 MB_OK | MB_ICONEXCLAMATION);
    }
    return 1;
}

int OpenWaveInput(const WAVEFORMATEX* format)
{
    AppSettings& settings = Settings();
    if (format) {
        settings.g_recordformat = *format;
    }
    {
        std::lock_guard lock(g_deviceLock);
        HWAVEIN device = nullptr;
        if (waveInOpen(&device, static_cast<UINT>(settings.AudioDeviceID), &settings.g_recordformat,
                       reinterpret_cast<DWORD_PTR>(settings.g_mainwindow.load()), 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
            // With the computer's sound the file still holds that.
            if (g_mixing) {
                g_mixing->MicrophoneEnded();
                g_sourcesnote = "The microphone could not be opened: the movie has the computer's sound alone.";
            } else {
                g_devicefailed = true;
            }
            return 0;
        }
        g_device = device;
    }
    const int count = WaveBuffersToQueue(static_cast<std::int32_t>(settings.g_recordformat.nSamplesPerSec));
    for (int i = 0; i < count; ++i) {
        AddWaveBuffer();
    }
    std::lock_guard lock(g_deviceLock);
    return waveInStart(g_device) == MMSYSERR_NOERROR ? 1 : 0;
}

int AddWaveBuffer()
{
    auto buffer = std::unique_ptr<WaveBuffer>(new (std::nothrow) WaveBuffer);
    if (!buffer) {
        return 0;
    }
    const DWORD length = Settings().g_recordformat.nBlockAlign * DWORD{kWaveBufferFrames};
    buffer->data.reset(new (std::nothrow) char[length]);
    if (!buffer->data) {
        ShowNote(nullptr, "Out of memory for audio buffer!", MB_OK);
        return g_queuedbuffers;
    }
    buffer->header.lpData = buffer->data.get();
    buffer->header.dwBufferLength = length;

    std::lock_guard lock(g_deviceLock);
    if (!QueueAtDevice(buffer->header)) {
        return g_queuedbuffers;
    }
    g_buffers.push_back(std::move(buffer));
    return g_queuedbuffers++;
}

void OnWaveInData(WAVEHDR* header)
{
    const AppSettings& settings = Settings();
    std::lock_guard lock(g_deviceLock);
    WaveBuffer* buffer = FindBuffer(header);
    if (!buffer || waveInUnprepareHeader(g_device, header, sizeof(*header)) != MMSYSERR_NOERROR) {
        return;
    }
    if (g_stopping || settings.g_isrecording != 1) {
        FreeBuffer(buffer);
        return;
    }
    // Only what the device filled: a buffer cut short holds stale bytes after that.
    if (g_mixing) {
        g_mixing->Microphone(static_cast<DWORD>(GetMessageTime()), header->lpData, header->dwBytesRecorded);
    } else {
        const bool paused = settings.g_paused != 0;
        WriteMissedSilence(static_cast<DWORD>(GetMessageTime()), header->dwBytesRecorded, paused);
        if (!paused) {
            WriteAudioData(header->lpData, header->dwBytesRecorded);
        }
    }
    if (!QueueAtDevice(*header)) {
        FreeBuffer(buffer);
    }
}

MMRESULT StopWaveInput()
{
    std::lock_guard lock(g_deviceLock);
    g_stopping = true;
    if (!g_device) {
        return MMSYSERR_INVALHANDLE;
    }
    // The reset hands every buffer back at once. They are unprepared here rather than when their
    // notices reach the main thread, which may be too busy to take them before the close.
    MMRESULT result = waveInReset(g_device);
    for (const auto& buffer : g_buffers) {
        if (buffer->header.dwFlags & WHDR_PREPARED) {
            const MMRESULT unprepared = waveInUnprepareHeader(g_device, &buffer->header, sizeof(buffer->header));
            result = result != MMSYSERR_NOERROR ? result : unprepared;
        }
    }
    const MMRESULT closed = waveInClose(g_device);
    if (closed != MMSYSERR_NOERROR) {
        return closed;
    }
    // Their notices, still on their way, now find no buffer and are ignored.
    g_device = nullptr;
    g_queuedbuffers -= static_cast<int>(g_buffers.size());
    g_buffers.clear();
    return result;
}

void FinishSoundMixing()
{
    std::unique_ptr<CSoundMixing> mixing;
    {
        std::lock_guard lock(g_deviceLock);
        mixing = std::move(g_mixing);
    }
    if (!mixing) {
        return;
    }
    // Its last writes take the lock.
    mixing->Finish();
    if (const double endedAt = mixing->ComputerSoundEndedAt(); endedAt >= 0) {
        const auto seconds = static_cast<int>(endedAt);
        g_sourcesnote = "The computer's sound stopped " + std::to_string(seconds / 60) + ":" +
                        (seconds % 60 < 10 ? "0" : "") + std::to_string(seconds % 60) +
                        " into the recording, when its device went away; the rest of the movie has " +
                        (Settings().recordaudio != 0 ? "the microphone's sound alone." : "silence.");
    }
}

const std::string& SoundSourcesNote()
{
    return g_sourcesnote;
}

void ReleaseWaveFile()
{
    std::lock_guard lock(g_deviceLock);
    g_stopping = true;
    g_wavewriter.reset();
    g_computerwriter.reset();
}

bool SoundFileFailed()
{
    return g_soundfilefailed;
}

bool SoundDeviceFailed()
{
    return g_devicefailed;
}

int QueuedWaveBuffers()
{
    return g_queuedbuffers;
}
