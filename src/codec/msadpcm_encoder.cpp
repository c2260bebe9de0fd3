#include "codec/msadpcm_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace msadpcm {
namespace {

// Step size factor (in 1/256) applied after each nibble, indexed by the nibble.
constexpr std::array<int, 16> kAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                             768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMinDelta = 16;
constexpr int kMaxInitialDelta = std::numeric_limits<std::int16_t>::max();
// Predictors tried per channel and block, best guesses first; each with these starting steps
// (in quarters of the mean size of the first residuals).
constexpr int kTrialPredictors = 3;
constexpr std::array<int, 3> kInitialDeltaQuarters = {1, 2, 4};
constexpr int kInitialResiduals = 4;

constexpr int kMaxBlockAlign = 0xFFFF;

int Predict(int sample1, int sample2, int predictor)
{
    return (sample1 * kCoefficients[predictor][0] + sample2 * kCoefficients[predictor][1]) / 256;
}

int ClampSample(int value)
{
    return std::clamp(value, static_cast<int>(std::numeric_limits<std::int16_t>::min()),
                      static_cast<int>(std::numeric_limits<std::int16_t>::max()));
}

struct ChannelChoice {
    int predictor = 0;
    int delta = kMinDelta;
    long long error = std::numeric_limits<long long>::max();
};

// Codes samples 2 ... count-1 of one channel; stops early (returning more than limit) once the
// squared error passes limit.
long long CodeChannel(const std::int32_t* samples, int count, int predictor, int delta, long long limit,
                      std::uint8_t* nibbles, std::int16_t* reconstruction)
{
    const int c1 = kCoefficients[predictor][0];
    const int c2 = kCoefficients[predictor][1];
    int sample2 = samples[0];
    int sample1 = count > 1 ? samples[1] : samples[0];
    long long error = 0;
    for (int i = 2; i < count; ++i) {
        // A division rounding toward zero, as decoders compute it (not a shift).
        const int predicted = (sample1 * c1 + sample2 * c2) / 256;
        const int residual = samples[i] - predicted;
        const float steps = static_cast<float>(residual) / static_cast<float>(delta);
        const int code = std::clamp(static_cast<int>(std::lrint(steps)), -8, 7);
        const int decoded = ClampSample(predicted + code * delta);
        const long long miss = samples[i] - decoded;
        error += miss * miss;
        if (error > limit) {
            return error;
        }
        const int nibble = code & 15;
        nibbles[i] = static_cast<std::uint8_t>(nibble);
        reconstruction[i] = static_cast<std::int16_t>(decoded);
        delta = std::max(kMinDelta, (kAdaptation[nibble] * delta) >> 8);
        sample2 = sample1;
        sample1 = decoded;
    }
    return error;
}

// Residual energy of each predictor on the input itself: a cheap ranking before trial coding.
std::array<long long, kCoefficientCount> PredictorEnergies(const std::int32_t* samples, int count)
{
    std::array<long long, kCoefficientCount> energies{};
    for (int p = 0; p < kCoefficientCount; ++p) {
        long long energy = 0;
        for (int i = 2; i < count; ++i) {
            const long long residual = samples[i] - Predict(samples[i - 1], samples[i - 2], p);
            energy += residual * residual;
        }
        energies[p] = energy;
    }
    return energies;
}

int MeanInitialResidual(const std::int32_t* samples, int count, int predictor)
{
    const int end = std::min(count, 2 + kInitialResiduals);
    long long sum = 0;
    for (int i = 2; i < end; ++i) {
        sum += std::abs(samples[i] - Predict(samples[i - 1], samples[i - 2], predictor));
    }
    return end > 2 ? static_cast<int>(sum / (end - 2)) : 0;
}

} // namespace

std::size_t BlockBytes(int frames, int channels)
{
    const std::size_t nibbles = static_cast<std::size_t>(std::max(frames - 2, 0)) * static_cast<std::size_t>(channels);
    return HeaderBytes(channels) + (nibbles + 1) / 2;
}

int SamplesPerBlock(int blockAlign, int channels)
{
    if (channels < 1 || channels > kMaxChannels || blockAlign < static_cast<int>(HeaderBytes(channels)) ||
        blockAlign > kMaxBlockAlign) {
        return 0;
    }
    return static_cast<int>((static_cast<std::size_t>(blockAlign) - HeaderBytes(channels)) * 2 / channels + 2);
}

int SuggestedBlockAlign(int samplesPerSecond, int channels)
{
    return 256 * channels * std::max(1, samplesPerSecond / 11025);
}

int AverageBytesPerSecond(int samplesPerSecond, int blockAlign, int samplesPerBlock)
{
    if (samplesPerBlock <= 0) {
        return 0;
    }
    return static_cast<int>(static_cast<long long>(samplesPerSecond) * blockAlign / samplesPerBlock);
}

void WriteFormatExtra(int samplesPerBlock, std::uint8_t* out)
{
    const auto put16 = [&out](int value) {
        *out++ = static_cast<std::uint8_t>(value & 0xFF);
        *out++ = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    put16(samplesPerBlock);
    put16(kCoefficientCount);
    for (const auto& pair : kCoefficients) {
        put16(pair[0]);
        put16(pair[1]);
    }
}

bool Encoder::begin(int channels, int blockAlign)
{
    const int samplesPerBlock = SamplesPerBlock(blockAlign, channels);
    if (samplesPerBlock == 0) {
        m_channels = m_blockAlign = m_samplesPerBlock = 0;
        return false;
    }
    m_channels = channels;
    m_blockAlign = blockAlign;
    m_samplesPerBlock = samplesPerBlock;
    const std::size_t frames = static_cast<std::size_t>(samplesPerBlock);
    m_samples.resize(frames);
    m_bestNibbles.resize(frames * channels);
    m_trialNibbles.resize(frames);
    m_bestRecon.resize(frames * channels);
    m_trialRecon.resize(frames);
    return true;
}

std::size_t Encoder::encodeBlock(const std::int16_t* pcm, int frames, std::uint8_t* out,
                                 std::int16_t* reconstruction)
{
    frames = std::clamp(frames, 1, m_samplesPerBlock);
    const std::size_t count = static_cast<std::size_t>(frames);
    std::array<ChannelChoice, kMaxChannels> choices{};
    for (int c = 0; c < m_channels; ++c) {
        for (std::size_t i = 0; i < count; ++i) {
            m_samples[i] = pcm[i * m_channels + c];
        }
        const std::array<long long, kCoefficientCount> energies = PredictorEnergies(m_samples.data(), frames);
        std::array<int, kCoefficientCount> order{};
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return energies[a] < energies[b]; });

        ChannelChoice& best = choices[c];
        std::uint8_t* bestNibbles = m_bestNibbles.data() + count * c;
        std::int16_t* bestRecon = m_bestRecon.data() + count * c;
        for (int t = 0; t < kTrialPredictors; ++t) {
            const int predictor = order[t];
            const int mean = MeanInitialResidual(m_samples.data(), frames, predictor);
            int previousDelta = 0;
            for (const int quarters : kInitialDeltaQuarters) {
                const int delta = std::clamp(mean * quarters / 4, kMinDelta, kMaxInitialDelta);
                if (delta == previousDelta) {
                    continue;
                }
                previousDelta = delta;
                const long long error = CodeChannel(m_samples.data(), frames, predictor, delta, best.error,
                                                    m_trialNibbles.data(), m_trialRecon.data());
                if (error < best.error) {
                    best = {predictor, delta, error};
                    std::copy_n(m_trialNibbles.begin() + 2, std::max<std::size_t>(count, 2) - 2, bestNibbles + 2);
                    std::copy_n(m_trialRecon.begin() + 2, std::max<std::size_t>(count, 2) - 2, bestRecon + 2);
                }
            }
        }
        bestRecon[0] = static_cast<std::int16_t>(m_samples[0]);
        if (count > 1) {
            bestRecon[1] = static_cast<std::int16_t>(m_samples[1]);
        }
    }

    std::uint8_t* p = out;
    const auto put16 = [&p](int value) {
        *p++ = static_cast<std::uint8_t>(value & 0xFF);
        *p++ = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    for (int c = 0; c < m_channels; ++c) {
        *p++ = static_cast<std::uint8_t>(choices[c].predictor);
    }
    for (int c = 0; c < m_channels; ++c) {
        put16(choices[c].delta);
    }
    const std::size_t second = count > 1 ? 1 : 0;
    for (int c = 0; c < m_channels; ++c) {
        put16(pcm[second * m_channels + c]);
    }
    for (int c = 0; c < m_channels; ++c) {
        put16(pcm[c]);
    }
    // Nibbles follow in time order, channels interleaved, high nibble first.
    bool high = true;
    for (std::size_t i = 2; i < count; ++i) {
        for (int c = 0; c < m_channels; ++c) {
            const std::uint8_t nibble = m_bestNibbles[count * c + i];
            if (high) {
                *p = static_cast<std::uint8_t>(nibble << 4);
            } else {
                *p++ |= nibble;
            }
            high = !high;
        }
    }
    if (!high) {
        ++p;
    }
    if (reconstruction) {
        for (std::size_t i = 0; i < count; ++i) {
            for (int c = 0; c < m_channels; ++c) {
                reconstruction[i * m_channels + c] = m_bestRecon[count * c + i];
            }
        }
    }
    return static_cast<std::size_t>(p - out);
}

} // namespace msadpcm
