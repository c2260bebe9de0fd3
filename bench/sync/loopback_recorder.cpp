// Records the default wave input for a while and notes when each buffer arrived, so that the
// delay from a sound written into the sound server to its arrival at a wave-in client can be told.
//   loopback_recorder.exe <raw output file> <seconds>
// Writes the samples (22.05 kHz stereo 16-bit, as a recording's default) to the file and prints
//   clock frequency=<counts per second> now=<count>
//   buffer <performance counter at arrival> <sample frames recorded up to the buffer's end>
#include "win/handles.h"

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {
constexpr DWORD kRate = 22050;
constexpr WORD kChannels = 2;
constexpr WORD kBlockAlign = kChannels * 2;
// Short buffers, many of them: arrival times are read to within a buffer's length.
constexpr DWORD kBufferFrames = 441;
constexpr std::size_t kBufferCount = 16;

class WaveInput {
public:
    explicit WaveInput(HANDLE event)
    {
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = kChannels;
        format.nSamplesPerSec = kRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = kBlockAlign;
        format.nAvgBytesPerSec = kRate * kBlockAlign;
        if (waveInOpen(&m_device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT) !=
            MMSYSERR_NOERROR) {
            m_device = nullptr;
        }
    }
    WaveInput(const WaveInput&) = delete;
    WaveInput& operator=(const WaveInput&) = delete;
    ~WaveInput()
    {
        if (m_device) {
            waveInReset(m_device);
            for (WAVEHDR& header : m_headers) {
                waveInUnprepareHeader(m_device, &header, sizeof(header));
            }
            waveInClose(m_device);
        }
    }

    bool Start()
    {
        for (std::size_t i = 0; i < kBufferCount; ++i) {
            m_headers[i].lpData = m_data[i].data();
            m_headers[i].dwBufferLength = static_cast<DWORD>(m_data[i].size());
            if (waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
                !Queue(m_headers[i])) {
                return false;
            }
        }
        return waveInStart(m_device) == MMSYSERR_NOERROR;
    }

    bool Queue(WAVEHDR& header)
    {
        header.dwFlags &= ~WHDR_DONE;
        return waveInAddBuffer(m_device, &header, sizeof(header)) == MMSYSERR_NOERROR;
    }

    explicit operator bool() const { return m_device != nullptr; }
    WAVEHDR& Header(std::size_t index) { return m_headers[index]; }

private:
    HWAVEIN m_device = nullptr;
    std::array<WAVEHDR, kBufferCount> m_headers{};
    std::array<std::array<char, kBufferFrames * kBlockAlign>, kBufferCount> m_data{};
};

std::int64_t Counter()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: loopback_recorder <raw output file> <seconds>\n");
        return 2;
    }
    FILE* output = std::fopen(argv[1], "wb");
    if (!output) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const std::int64_t end = Counter() + static_cast<std::int64_t>(std::atof(argv[2]) * frequency.QuadPart);

    KernelHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    auto input = std::make_unique<WaveInput>(event.get());
    if (!*input || !input->Start()) {
        std::fprintf(stderr, "the wave input could not be opened and started\n");
        std::fclose(output);
        return 1;
    }
    std::printf("clock frequency=%lld now=%lld\n", static_cast<long long>(frequency.QuadPart),
                static_cast<long long>(Counter()));
    std::uint64_t frames = 0;
    std::size_t next = 0; // buffers come back in the order they were queued
    while (Counter() < end) {
        WaitForSingleObject(event.get(), 50);
        for (WAVEHDR* header = &input->Header(next); header->dwFlags & WHDR_DONE; header = &input->Header(next)) {
            const std::int64_t arrived = Counter();
            std::fwrite(header->lpData, 1, header->dwBytesRecorded, output);
            frames += header->dwBytesRecorded / kBlockAlign;
            std::printf("buffer %lld %llu\n", static_cast<long long>(arrived), static_cast<unsigned long long>(frames));
            if (!input->Queue(*header)) {
                std::fprintf(stderr, "a buffer could not be queued again\n");
                std::fclose(output);
                return 1;
            }
            next = (next + 1) % kBufferCount;
        }
    }
    input.reset();
    std::fclose(output);
    return 0;
}
