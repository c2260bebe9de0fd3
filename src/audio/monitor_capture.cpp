#include "audio/monitor_capture.h"

#include "audio/monitor_choice.h"
#include "audio/sample_conversion.h"
#include "win/handles.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {
constexpr DWORD kBufferMilliseconds = 25;
// 0.4 s queued: the thread may be held up that long without a loss.
constexpr std::size_t kBuffers = 16;

inline void CloseWaveIn(HWAVEIN device) { waveInClose(device); }
using WaveIn = Owned<HWAVEIN, CloseWaveIn>;

class MonitorSound final : public ComputerSound {
public:
    MonitorSound(std::string name, int rate, int channels) : m_name(std::move(name)), m_rate(rate), m_channels(channels)
    {
        const std::size_t samples = static_cast<std::size_t>(rate) * kBufferMilliseconds / 1000 * channels;
        for (std::size_t i = 0; i < kBuffers; ++i) {
            m_samples.emplace_back(samples);
        }
    }
    ~MonitorSound() override
    {
        Stop();
        if (m_device) {
            waveInReset(m_device.get());
            for (WAVEHDR& header : m_headers) {
                waveInUnprepareHeader(m_device.get(), &header, sizeof(header));
            }
        }
    }

    bool Open(UINT id)
    {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = static_cast<WORD>(m_channels);
        format.nSamplesPerSec = static_cast<DWORD>(m_rate);
        format.wBitsPerSample = 16;
        format.nBlockAlign = static_cast<WORD>(2 * m_channels);
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
        m_event = KernelHandle(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        HWAVEIN device = nullptr;
        if (!m_event || waveInOpen(&device, id, &format, reinterpret_cast<DWORD_PTR>(m_event.get()), 0,
                                   CALLBACK_EVENT) != MMSYSERR_NOERROR) {
            return false;
        }
        m_device = WaveIn(device);
        m_headers.resize(kBuffers);
        for (std::size_t i = 0; i < kBuffers; ++i) {
            WAVEHDR& header = m_headers[i];
            header.lpData = reinterpret_cast<LPSTR>(m_samples[i].data());
            header.dwBufferLength = static_cast<DWORD>(m_samples[i].size() * 2);
            if (waveInPrepareHeader(device, &header, sizeof(header)) != MMSYSERR_NOERROR ||
                waveInAddBuffer(device, &header, sizeof(header)) != MMSYSERR_NOERROR) {
                return false;
            }
        }
        return true;
    }

    Layout layout() const override { return {m_rate, m_channels, 0}; }
    std::string name() const override { return m_name; }

    bool Start(std::uint32_t startMs, Deliver deliver, std::function<void()> ended) override
    {
        if (waveInStart(m_device.get()) != MMSYSERR_NOERROR) {
            return false;
        }
        m_thread = std::thread([this, startMs, deliver = std::move(deliver), ended = std::move(ended)] {
            Run(startMs, deliver, ended);
        });
        return true;
    }

    void Stop() override
    {
        m_stopping = true;
        if (m_thread.joinable()) {
            SetEvent(m_event.get());
            m_thread.join();
        }
    }

private:
    // Buffers come back in the order they were queued. Those found done together ended one
    // buffer's length apart, the last one now.
    void Run(std::uint32_t startMs, const Deliver& deliver, const std::function<void()>& ended)
    {
        std::vector<float> frames;
        std::size_t next = 0;
        while (!m_stopping) {
            WaitForSingleObject(m_event.get(), 100);
            const DWORD now = timeGetTime();
            std::size_t done = 0;
            while (done < kBuffers && (m_headers[(next + done) % kBuffers].dwFlags & WHDR_DONE)) {
                ++done;
            }
            for (std::size_t i = 0; i < done; ++i, next = (next + 1) % kBuffers) {
                WAVEHDR& header = m_headers[next];
                const std::size_t samples = header.dwBytesRecorded / 2;
                const std::size_t count = samples / static_cast<std::size_t>(m_channels);
                const auto endMs = static_cast<std::int32_t>(now - (done - 1 - i) * kBufferMilliseconds - startMs);
                frames.resize(samples);
                SamplesToFloat(header.lpData, samples, SampleKind::Signed16, frames.data());
                deliver(endMs / 1000.0 - static_cast<double>(count) / m_rate, frames.data(), count);
                if (waveInAddBuffer(m_device.get(), &header, sizeof(header)) != MMSYSERR_NOERROR) {
                    ended();
                    return;
                }
            }
        }
    }

    std::string m_name;
    int m_rate;
    int m_channels;
    std::vector<std::vector<std::int16_t>> m_samples;
    std::vector<WAVEHDR> m_headers;
    KernelHandle m_event;
    WaveIn m_device;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
};
} // namespace

std::vector<std::string> WaveInputNames()
{
    std::vector<std::string> names;
    const UINT count = waveInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        WAVEINCAPSA caps{};
        names.emplace_back(waveInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR
                               ? std::string(caps.szPname, strnlen(caps.szPname, sizeof(caps.szPname)))
                               : std::string());
    }
    return names;
}

std::unique_ptr<ComputerSound> OpenMonitor(const std::string& defaultOutput, int chosen, int rate, int channels)
{
    const std::vector<std::string> names = WaveInputNames();
    const int id = MonitorToRecord(names, defaultOutput, chosen);
    if (id < 0) {
        return nullptr;
    }
    auto monitor = std::make_unique<MonitorSound>(names[static_cast<std::size_t>(id)], rate, channels);
    return monitor->Open(static_cast<UINT>(id)) ? std::move(monitor) : nullptr;
}
