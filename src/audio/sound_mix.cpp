#include "audio/sound_mix.h"

#include <algorithm>
#include <cmath>
#include <utility>

SoundMix::SoundMix(int rate, int channels, int bitsPerSample) : m_rate(rate), m_channels(channels), m_bits(bitsPerSample)
{
}

int SoundMix::AddSource(int deviceRate, int deviceChannels, std::uint32_t speakerMask, double patienceSeconds)
{
    std::lock_guard lock(m_lock);
    m_sources.push_back({SourceAligner(deviceRate, deviceChannels, speakerMask, m_rate, m_channels), patienceSeconds});
    return static_cast<int>(m_sources.size()) - 1;
}

// The clock without the pauses; within a pause, where the pause began.
double SoundMix::TimeLineSeconds(double seconds) const
{
    double line = seconds;
    for (const PausedStretch& pause : m_pauses) {
        if (seconds > pause.start) {
            line -= std::min(seconds, pause.end) - pause.start;
        }
    }
    return line;
}

void SoundMix::Deliver(int source, double seconds, const float* frames, std::size_t count)
{
    std::lock_guard lock(m_lock);
    Source& to = m_sources.at(static_cast<std::size_t>(source));
    if (to.ended) {
        return;
    }
    const int rate = to.aligner.DeviceRate();
    const std::size_t channels = to.aligner.DeviceChannels();
    // The packet in the pieces between pauses.
    std::size_t first = 0;
    for (const PausedStretch& pause : m_pauses) {
        const double at = seconds + static_cast<double>(first) / rate;
        if (first >= count || pause.end <= at) {
            continue;
        }
        const auto before = static_cast<std::size_t>(
            std::clamp(std::ceil((pause.start - at) * rate), 0.0, static_cast<double>(count - first)));
        to.aligner.Deliver(TimeLineSeconds(at) * m_rate, frames + first * channels, before);
        const double resumed = std::ceil((pause.end - seconds) * rate); // infinite while the pause lasts
        first = resumed >= static_cast<double>(count) ? count : static_cast<std::size_t>(std::max(0.0, resumed));
    }
    if (first < count) {
        const double at = seconds + static_cast<double>(first) / rate;
        to.aligner.Deliver(TimeLineSeconds(at) * m_rate, frames + first * channels, count - first);
    }
}

void SoundMix::EndSource(int source)
{
    std::lock_guard lock(m_lock);
    m_sources.at(static_cast<std::size_t>(source)).ended = true;
}

void SoundMix::Pause(double seconds)
{
    std::lock_guard lock(m_lock);
    if (m_pauses.empty() || std::isfinite(m_pauses.back().end)) {
        m_pauses.push_back({seconds});
    }
}

void SoundMix::Resume(double seconds)
{
    std::lock_guard lock(m_lock);
    if (!m_pauses.empty() && !std::isfinite(m_pauses.back().end)) {
        m_pauses.back().end = std::max(seconds, m_pauses.back().start);
    }
}

std::vector<std::uint8_t> SoundMix::Take(double seconds, bool final)
{
    std::vector<std::vector<std::uint8_t>> mixed = Render(seconds, final, false);
    return mixed.empty() ? std::vector<std::uint8_t>{} : std::move(mixed.front());
}

std::vector<std::vector<std::uint8_t>> SoundMix::TakeApart(double seconds, bool final)
{
    return Render(seconds, final, true);
}

std::vector<std::vector<std::uint8_t>> SoundMix::Render(double seconds, bool final, bool apart)
{
    std::lock_guard lock(m_lock);
    const auto now = static_cast<long long>(std::floor(TimeLineSeconds(seconds) * m_rate));
    long long due = now;
    if (!final) {
        for (const Source& source : m_sources) {
            if (!source.ended) {
                const auto waited = now - static_cast<long long>(std::ceil(source.patience * m_rate));
                due = std::min(due, std::max(source.aligner.DeliveredEnd(), waited));
            }
        }
    }
    if (due <= m_taken) {
        return {};
    }
    const auto samples = static_cast<std::size_t>(due - m_taken) * static_cast<std::size_t>(m_channels);
    std::vector<std::vector<std::uint8_t>> tracks;
    const std::size_t count = apart ? m_sources.size() : 1;
    for (std::size_t track = 0; track < count; ++track) {
        m_mix.assign(samples, 0.0f);
        for (std::size_t source = 0; source < m_sources.size(); ++source) {
            if (!apart || source == track) {
                m_sources[source].aligner.MixInto(m_taken, due, m_mix.data());
            }
        }
        std::vector<std::uint8_t>& pcm = tracks.emplace_back(samples * static_cast<std::size_t>(m_bits / 8));
        FloatToPcm(m_mix.data(), samples, m_bits, pcm.data());
    }
    m_taken = due;
    return tracks;
}
