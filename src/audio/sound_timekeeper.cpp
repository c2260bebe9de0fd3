#include "audio/sound_timekeeper.h"

#include <algorithm>

namespace {
// Shortfalls below this are delivery jitter, not lost sound.
constexpr std::uint32_t kOutOfStepMilliseconds = 50;
// How long a shortfall must last before it is taken for lost sound.
constexpr std::uint32_t kSteadyMilliseconds = 1000;
} // namespace

void CSoundTimekeeper::Restart(std::uint32_t startMs, std::uint32_t samplesPerSecond)
{
    m_startMs = startMs;
    m_rate = samplesPerSecond;
    m_accounted = 0;
    m_recent.clear();
}

std::uint64_t CSoundTimekeeper::SilenceBefore(std::uint32_t nowMs, std::uint32_t frames)
{
    if (m_rate == 0) {
        return 0;
    }
    const bool first = m_accounted == 0;
    m_accounted += frames;
    // Unsigned difference: the millisecond clock may wrap during a recording.
    const std::uint64_t expected = std::uint64_t{nowMs - m_startMs} * m_rate / 1000;
    m_recent.push_back({nowMs, static_cast<std::int64_t>(expected) - static_cast<std::int64_t>(m_accounted)});
    while (nowMs - m_recent.front().atMs > kSteadyMilliseconds) {
        m_recent.pop_front();
    }
    const bool steady = first || nowMs - m_recent.front().atMs >= kSteadyMilliseconds / 2;
    const std::int64_t shortfall =
        std::min_element(m_recent.begin(), m_recent.end(),
                         [](const Arrival& a, const Arrival& b) { return a.shortfall < b.shortfall; })
            ->shortfall;
    if (!steady || shortfall <= static_cast<std::int64_t>(std::uint64_t{kOutOfStepMilliseconds} * m_rate / 1000)) {
        return 0;
    }
    m_accounted += static_cast<std::uint64_t>(shortfall);
    for (Arrival& arrival : m_recent) {
        arrival.shortfall -= shortfall;
    }
    return static_cast<std::uint64_t>(shortfall);
}
