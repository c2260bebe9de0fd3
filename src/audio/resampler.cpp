#include "audio/resampler.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// Zero crossings of the sinc on each side, and the Kaiser window's shape: about 80 dB of stop band.
constexpr int kZeroCrossings = 16;
constexpr double kKaiserBeta = 8.0;
// The pass band ends at this share of the lower rate's Nyquist frequency.
constexpr double kRolloff = 0.9;
constexpr int kTableSteps = 512; // per zero crossing; read with linear interpolation
constexpr double kPi = 3.141592653589793;

double BesselI0(double x)
{
    double sum = 1;
    double term = 1;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

using KernelTable = std::array<float, kZeroCrossings * kTableSteps + 2>;

// The windowed sinc at u zero crossings from its middle, u = i / kTableSteps.
const KernelTable& Kernel()
{
    static const KernelTable table = [] {
        KernelTable t{};
        for (int i = 0; i <= kZeroCrossings * kTableSteps; ++i) {
            const double u = static_cast<double>(i) / kTableSteps;
            const double sinc = i == 0 ? 1.0 : std::sin(kPi * u) / (kPi * u);
            const double r = u / kZeroCrossings;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(sinc * BesselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1 - r * r))) /
                                   BesselI0(kKaiserBeta));
        }
        return t;
    }();
    return table;
}

} // namespace

Resampler::Resampler(int inputRate, int outputRate, int channels)
    : m_channels(channels), m_nominalStep(static_cast<double>(inputRate) / outputRate), m_step(m_nominalStep),
      m_cutoff(kRolloff * std::min(1.0, static_cast<double>(outputRate) / inputRate)),
      m_halfWidth(static_cast<int>(std::ceil(kZeroCrossings / m_cutoff))), m_sums(static_cast<std::size_t>(channels))
{
}

void Resampler::SetAdjustment(double adjustment)
{
    m_step = m_nominalStep / (1 + adjustment);
}

void Resampler::Push(const float* frames, std::size_t count, std::vector<float>& out)
{
    const float* kernel = Kernel().data();
    constexpr auto kKernelEnd = static_cast<std::size_t>(kZeroCrossings * kTableSteps);
    const auto channels = static_cast<std::size_t>(m_channels);
    m_history.insert(m_history.end(), frames, frames + count * channels);
    m_pushed += static_cast<long long>(count);
    for (;;) {
        const auto center = static_cast<long long>(std::floor(m_position));
        const long long last = center + m_halfWidth;
        if (last >= m_pushed) {
            break;
        }
        // Taps before the first input frame meet silence but still weigh in, so that the gain
        // stays one: dividing by the weights keeps it one at every phase.
        std::fill(m_sums.begin(), m_sums.end(), 0.0f);
        float weights = 0;
        long long j = center - m_halfWidth + 1;
        double at = (m_position - static_cast<double>(j)) * m_cutoff * kTableSteps;
        const double stepAt = m_cutoff * kTableSteps;
        for (; j <= last; ++j, at -= stepAt) {
            const double distance = at < 0 ? -at : at;
            const auto index = static_cast<std::size_t>(distance);
            if (index >= kKernelEnd) {
                continue;
            }
            const float weight =
                kernel[index] + (kernel[index + 1] - kernel[index]) * static_cast<float>(distance - static_cast<double>(index));
            weights += weight;
            if (j >= m_historyStart) {
                const float* frame = m_history.data() + static_cast<std::size_t>(j - m_historyStart) * channels;
                float* sums = m_sums.data();
                for (std::size_t c = 0; c < channels; ++c) {
                    sums[c] += weight * frame[c];
                }
            }
        }
        for (const float sum : m_sums) {
            out.push_back(sum / weights);
        }
        ++m_produced;
        m_position += m_step;
    }
    // Keeps what the next output frame reads.
    const long long keepFrom = static_cast<long long>(std::floor(m_position)) - m_halfWidth + 1;
    if (keepFrom > m_historyStart) {
        const auto drop = static_cast<std::size_t>(std::min(keepFrom, m_pushed) - m_historyStart);
        m_history.erase(m_history.begin(), m_history.begin() + static_cast<std::ptrdiff_t>(drop * channels));
        m_historyStart += static_cast<long long>(drop);
    }
}

double Resampler::OutputPositionOfNextInput() const
{
    return static_cast<double>(m_produced) + (static_cast<double>(m_pushed) - m_position) / m_step;
}
