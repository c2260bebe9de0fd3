#include "audio/sound_mixing.h"

#include "settings/app_settings.h"

namespace {
// How long the mix waits for a source's sound before it writes silence in its place. The
// microphone's buffers come through the main window, which may be busy for seconds; the
// computer's sound stops coming whenever nothing plays.
constexpr double kMicrophonePatience = 3.0;
constexpr double kComputerPatience = 0.5;
// Pauses are watched this often; the mix is written every few watches.
constexpr DWORD kWatchMilliseconds = 10;
constexpr int kWatchesPerWrite = 5;
} // namespace

CSoundMixing::CSoundMixing(const WAVEFORMATEX& format, std::uint32_t startMs, bool microphone, bool apart,
                           std::unique_ptr<ComputerSound> computer, Writer write)
    : m_mix(static_cast<int>(format.nSamplesPerSec), format.nChannels, format.wBitsPerSample), m_startMs(startMs),
      m_rate(static_cast<int>(format.nSamplesPerSec)), m_channels(format.nChannels),
      m_bytesPerSample(format.wBitsPerSample / 8), m_apart(microphone && apart), m_computer(std::move(computer)), m_write(std::move(write))
{
    if (microphone) {
        m_microphone = m_mix.AddSource(m_rate, m_channels, 0, kMicrophonePatience);
    }
    if (m_computer) {
        const ComputerSound::Layout layout = m_computer->layout();
        m_computerSource = m_mix.AddSource(layout.rate, layout.channels, layout.speakerMask, kComputerPatience);
        const bool started = m_computer->Start(
            startMs,
            [this](double seconds, const float* frames, std::size_t count) {
                m_mix.Deliver(m_computerSource, seconds, frames, count);
            },
            [this] {
                m_computerEndedAt = Seconds(timeGetTime());
                m_mix.EndSource(m_computerSource);
            });
        if (!started) {
            m_computerEndedAt = 0.0;
            m_mix.EndSource(m_computerSource);
        }
    }
    m_thread = std::thread([this] { Run(); });
}

CSoundMixing::~CSoundMixing()
{
    Finish();
}

double CSoundMixing::Seconds(std::uint32_t ms) const
{
    // The millisecond clock may wrap during a recording; the microphone's first buffer may
    // carry a time a moment before the start.
    return static_cast<std::int32_t>(ms - m_startMs) / 1000.0;
}

void CSoundMixing::Microphone(std::uint32_t arrivedMs, const void* pcm, std::size_t bytes)
{
    if (m_microphone < 0) {
        return;
    }
    const std::size_t samples = bytes / static_cast<std::size_t>(m_bytesPerSample);
    const std::size_t frames = samples / static_cast<std::size_t>(m_channels);
    m_floats.resize(samples);
    SamplesToFloat(pcm, samples, m_bytesPerSample == 1 ? SampleKind::Unsigned8 : SampleKind::Signed16, m_floats.data());
    m_mix.Deliver(m_microphone, Seconds(arrivedMs) - static_cast<double>(frames) / m_rate, m_floats.data(), frames);
}

void CSoundMixing::MicrophoneEnded()
{
    if (m_microphone >= 0) {
        m_mix.EndSource(m_microphone);
    }
}

void CSoundMixing::Run()
{
    bool paused = false;
    for (int watch = 1; !m_finishing; ++watch) {
        Sleep(kWatchMilliseconds);
        const double now = Seconds(timeGetTime());
        if (const bool pausedNow = Settings().g_paused != 0; pausedNow != paused) {
            paused = pausedNow;
            if (paused) {
                m_mix.Pause(now);
            } else {
                m_mix.Resume(now);
            }
        }
        if (watch % kWatchesPerWrite == 0) {
            WriteUpTo(now, false);
        }
    }
}

void CSoundMixing::Finish()
{
    if (m_finishing.exchange(true)) {
        return;
    }
    if (m_computer) {
        m_computer->Stop();
    }
    m_thread.join();
    WriteUpTo(Seconds(timeGetTime()), true);
}

void CSoundMixing::WriteUpTo(double seconds, bool final)
{
    if (!m_apart) {
        if (const std::vector<std::uint8_t> pcm = m_mix.Take(seconds, final); !pcm.empty()) {
            m_write(0, pcm);
        }
        return;
    }
    const std::vector<std::vector<std::uint8_t>> tracks = m_mix.TakeApart(seconds, final);
    for (std::size_t track = 0; track < tracks.size(); ++track) {
        m_write(track, tracks[track]);
    }
}
