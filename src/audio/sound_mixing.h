#pragma once
// The recording's sound from the microphone and the computer together: both put on the
// recording's clock and mixed, or kept apart on two tracks, and handed to the sound files on a
// thread of its own.
#include <windows.h>
#include <mmsystem.h>

#include "audio/computer_sound.h"
#include "audio/sound_mix.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class CSoundMixing {
public:
    // track 0: the mix, or the microphone's sound; track 1: the computer's sound, kept apart.
    using Writer = std::function<void(std::size_t track, const std::vector<std::uint8_t>& pcm)>;

    // format: the recording's PCM; startMs: its start on timeGetTime's clock. Without a
    // microphone the computer's sound alone is recorded; apart: with one, each on its own track.
    // Pauses are read from the settings.
    CSoundMixing(const WAVEFORMATEX& format, std::uint32_t startMs, bool microphone, bool apart,
                 std::unique_ptr<ComputerSound> computer, Writer write);
    CSoundMixing(const CSoundMixing&) = delete;
    CSoundMixing& operator=(const CSoundMixing&) = delete;
    ~CSoundMixing();

    // A buffer of the microphone's that came back at arrivedMs.
    void Microphone(std::uint32_t arrivedMs, const void* pcm, std::size_t bytes);
    // The microphone delivers nothing more; the mix stops waiting for it.
    void MicrophoneEnded();
    // Stops the computer's capture and writes the mix up to now.
    void Finish();

    // Seconds into the recording at which the computer's device went away; negative while it is there.
    double ComputerSoundEndedAt() const { return m_computerEndedAt; }

private:
    double Seconds(std::uint32_t ms) const;
    void Run();
    void WriteUpTo(double seconds, bool final);

    SoundMix m_mix;
    std::uint32_t m_startMs;
    int m_microphone = -1;
    int m_computerSource = -1;
    int m_rate;
    int m_channels;
    int m_bytesPerSample;
    bool m_apart;
    std::unique_ptr<ComputerSound> m_computer;
    Writer m_write;
    std::atomic<double> m_computerEndedAt{-1.0};
    std::atomic<bool> m_finishing{false};
    std::vector<float> m_floats; // the microphone's buffer as floats; main thread only
    std::thread m_thread;        // last: it uses everything above
};
