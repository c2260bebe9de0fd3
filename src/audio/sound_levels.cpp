#include "audio/sound_levels.h"

#include "audio/sample_conversion.h"

#include <algorithm>
#include <cmath>

namespace {
// A tenth of a second each: the meter follows speech without flicker.
constexpr DWORD kBufferMilliseconds = 100;
constexpr float kMeterFloorDb = -60.0f;

float Peak(const float* samples, std::size_t count)
{
    float peak = 0;
    for (std::size_t i = 0; i < count; ++i) {
        peak = std::max(peak, std::abs(samples[i]));
    }
    return peak;
}
} // namespace

CSoundLevels::~CSoundLevels()
{
    Stop();
}

void CSoundLevels::Listen(bool microphone, int deviceId, const WAVEFORMATEX& format, bool computer, int chosenMonitor)
{
    Stop();
    m_format = format;
    m_format.cbSize = 0;
    if (microphone && format.nBlockAlign > 0 &&
        waveInOpen(&m_device, static_cast<UINT>(deviceId), &m_format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR) {
        const std::size_t bytes = m_format.nAvgBytesPerSec * kBufferMilliseconds / 1000 / m_format.nBlockAlign *
                                  m_format.nBlockAlign;
        for (std::size_t i = 0; i < kBuffers; ++i) {
            m_data[i].assign(bytes, 0);
            m_headers[i] = {};
            m_headers[i].lpData = reinterpret_cast<LPSTR>(m_data[i].data());
            m_headers[i].dwBufferLength = static_cast<DWORD>(bytes);
            waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
            waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
        }
        waveInStart(m_device);
    }
    if (computer) {
        m_computer = OpenComputerSound(static_cast<int>(format.nSamplesPerSec), format.nChannels, chosenMonitor);
        const auto channels = static_cast<std::size_t>(m_computer ? m_computer->layout().channels : 0);
        if (m_computer && !m_computer->Start(timeGetTime(),
                                             [this, channels](double, const float* frames, std::size_t count) {
                                                 const float peak = Peak(frames, count * channels);
                                                 float seen = m_computerPeak;
                                                 while (peak > seen && !m_computerPeak.compare_exchange_weak(seen, peak)) {
                                                 }
                                             },
                                             [] {})) {
            m_computer.reset();
        }
    }
}

void CSoundLevels::Stop()
{
    if (m_computer) {
        m_computer->Stop();
        m_computer.reset();
    }
    if (m_device) {
        waveInReset(m_device);
        for (WAVEHDR& header : m_headers) {
            waveInUnprepareHeader(m_device, &header, sizeof(WAVEHDR));
        }
        waveInClose(m_device);
        m_device = nullptr;
    }
}

float CSoundLevels::MicrophonePeak()
{
    if (!m_device) {
        return -1.0f;
    }
    float peak = 0;
    std::vector<float> samples;
    for (WAVEHDR& header : m_headers) {
        if ((header.dwFlags & WHDR_DONE) == 0) {
            continue;
        }
        const std::size_t count = header.dwBytesRecorded / (m_format.wBitsPerSample / 8);
        samples.resize(count);
        SamplesToFloat(header.lpData, count, m_format.wBitsPerSample == 8 ? SampleKind::Unsigned8 : SampleKind::Signed16,
                       samples.data());
        peak = std::max(peak, Peak(samples.data(), count));
        waveInAddBuffer(m_device, &header, sizeof(WAVEHDR));
    }
    return peak;
}

float CSoundLevels::ComputerPeak()
{
    return m_computer ? m_computerPeak.exchange(0.0f) : -1.0f;
}

int MeterPosition(float peak)
{
    if (peak <= 0) {
        return 0;
    }
    const float db = 20 * std::log10(peak);
    return static_cast<int>(std::lround(std::clamp(100 * (1 - db / kMeterFloorDb), 0.0f, 100.0f)));
}
