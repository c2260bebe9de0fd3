#include "audio/source_aligner.h"

#include <algorithm>
#include <cmath>

namespace {
// Sound that lands this far from its place for a quarter second was lost (or came twice): it
// is put right at once, as steering would take too long.
constexpr double kRecentSeconds = 0.25;
constexpr double kJumpSeconds = 0.05;
// Arrival times only ever come late (a busy machine delays a packet, never hastens it): the
// packet that came earliest against the device's sample count over the last seconds tells the
// device's timing. Longer would lag behind a drifting clock.
constexpr double kSteadySeconds = 3.0;
// The steering takes out an error over this time, changing the rate by at most the share
// below (a pitch change of 3.5 cents, which nobody hears while it is made slowly).
constexpr double kSteerSeconds = 5.0;
constexpr double kMostAdjustment = 0.002;
} // namespace

SourceAligner::SourceAligner(int deviceRate, int deviceChannels, std::uint32_t speakerMask, int rate, int channels)
    : m_deviceRate(deviceRate), m_rate(rate), m_channels(channels), m_fold(StereoFoldWeights(deviceChannels, speakerMask))
{
}

void SourceAligner::Deliver(double position, const float* frames, std::size_t count)
{
    if (count == 0) {
        return;
    }
    m_folded.resize(count * static_cast<std::size_t>(m_channels));
    FoldChannels(frames, count, m_fold, m_channels, m_folded.data());
    if (!m_resampler) {
        StartAt(position, m_folded.data(), count);
        return;
    }
    const double placed = static_cast<double>(m_origin) + m_resampler->OutputPositionOfNextInput();
    const double seconds = static_cast<double>(count) / m_deviceRate;
    m_recentError += (placed - position - m_recentError) * std::min(1.0, seconds / kRecentSeconds);
    if (std::abs(m_recentError) > kJumpSeconds * m_rate) {
        StartAt(position, m_folded.data(), count);
        return;
    }
    // The steering aims at the earliest arrival of the last seconds, not at each packet's, so that
    // it follows the device's clock rather than the machine's delays.
    const double lateness = position - m_delivered * m_rate;
    m_arrivals.push_back({m_delivered, lateness});
    while (m_arrivals.front().delivered < m_delivered - kSteadySeconds) {
        m_arrivals.pop_front();
    }
    double earliest = lateness;
    for (const Arrival& arrival : m_arrivals) {
        earliest = std::min(earliest, arrival.lateness);
    }
    const double error = placed - (m_delivered * m_rate + earliest);
    m_delivered += seconds;
    m_resampler->SetAdjustment(std::clamp(-error / (kSteerSeconds * m_rate), -kMostAdjustment, kMostAdjustment));
    m_resampled.clear();
    m_resampler->Push(m_folded.data(), count, m_resampled);
    m_queue.insert(m_queue.end(), m_resampled.begin(), m_resampled.end());
}

// The packet goes to its own place: after silence where it begins later than the sound so far,
// without its first frames where it begins earlier.
void SourceAligner::StartAt(double position, const float* folded, std::size_t count)
{
    const long long end = DeliveredEnd();
    long long start = std::llround(position);
    std::size_t skipped = 0;
    if (start < end) {
        skipped = std::min(count, static_cast<std::size_t>(
                                      std::llround((static_cast<double>(end) - position) * m_deviceRate / m_rate)));
        start = end;
    } else {
        m_queue.insert(m_queue.end(), static_cast<std::size_t>(start - end) * static_cast<std::size_t>(m_channels),
                       0.0f);
    }
    m_resampler = std::make_unique<Resampler>(m_deviceRate, m_rate, m_channels);
    m_origin = start;
    m_recentError = 0;
    m_arrivals.assign(1, Arrival{0, position});
    m_delivered = static_cast<double>(count) / m_deviceRate;
    m_resampled.clear();
    const auto channels = static_cast<std::size_t>(m_channels);
    m_resampler->Push(folded + skipped * channels, count - skipped, m_resampled);
    m_queue.insert(m_queue.end(), m_resampled.begin(), m_resampled.end());
}

void SourceAligner::MixInto(long long from, long long until, float* out)
{
    const auto channels = static_cast<std::size_t>(m_channels);
    const auto take = [&](long long to, float* into) {
        if (to <= m_taken) {
            return;
        }
        const auto wanted = static_cast<std::size_t>(to - m_taken) * channels;
        const std::size_t have = std::min(wanted, m_queue.size());
        if (into) {
            for (std::size_t i = 0; i < have; ++i) {
                into[i] += m_queue[i];
            }
        }
        m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(have));
        if (have < wanted) {
            m_resampler.reset(); // a silence: the next packet goes to its own place
        }
        m_taken = to;
    };
    take(from, nullptr);
    take(until, out + static_cast<std::size_t>(std::max(0LL, m_taken - from)) * channels);
}
