#pragma once
// The loudness of each source while the Audio Options are open, so that a user sees that sound
// arrives before recording: the wave input device in the recording format, and the computer's
// sound as a recording would take it.
#include <windows.h>
#include <mmsystem.h>

#include "audio/computer_sound.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

class CSoundLevels {
public:
    CSoundLevels() = default;
    CSoundLevels(const CSoundLevels&) = delete;
    CSoundLevels& operator=(const CSoundLevels&) = delete;
    ~CSoundLevels();

    // Listens to the wave input device (-1: the system's default; none when !microphone) in the
    // format, and to the computer's sound from the chosen monitor (none when !computer).
    void Listen(bool microphone, int deviceId, const WAVEFORMATEX& format, bool computer, int chosenMonitor);
    void Stop();

    // The loudest sample of each source since the last call, 0 to 1; -1 for a source not heard from
    // (off, or its device would not open).
    float MicrophonePeak();
    float ComputerPeak();

private:
    static constexpr std::size_t kBuffers = 4;
    HWAVEIN m_device = nullptr;
    WAVEFORMATEX m_format{};
    std::array<WAVEHDR, kBuffers> m_headers{};
    std::array<std::vector<std::uint8_t>, kBuffers> m_data;
    std::unique_ptr<ComputerSound> m_computer;
    std::atomic<float> m_computerPeak{0.0f};
};

// A peak as a meter's position, 0 to 100 over -60 to 0 dB.
int MeterPosition(float peak);
