#include "codec/msadpcm_encoder.h"

#include <algorithm>
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
// Codings done at once per block, in lanes: the processor overlaps two independent ones for about
// the time of one, while more run out of registers. Mono tries its two best-fitting predictors,
// stereo the best one per channel. A coding starts with a step of half the mean size of the first
// residuals.
constexpr int kLanes = 2;
constexpr int kInitialResiduals = 4;
// Squared error per sample below which a coding is good enough (an RMS error of 16).
constexpr long long kAudibleError = 256;

// Keeps a block's summed absolute residuals (each below 2^17) within 32 bits.
constexpr int kMaxBlockAlign = 8192;

int Predict(int sample1, int sample2, int predictor)
{
    return (sample1 * kCoefficients[predictor][0] + sample2 * kCoefficients[predictor][1]) / 256;
}

int ClampSample(int value)
{
    return std::clamp(value, static_cast<int>(std::numeric_limits<std::int16_t>::min()),
                      static_cast<int>(std::numeric_limits<std::int16_t>::max()));
}

struct Candidate {
    int predictor = 0;
    int delta = kMinDelta;
};

// The code nearest to residual / delta in -8 ... 7, by comparisons instead of a division. The
// thresholds do not depend on one another, nor do the sums, so the processor works on them at once.
inline int NearestCode(int residual, int delta)
{
    const int twice = 2 * (residual < 0 ? -residual : residual);
    const int low = (twice >= delta) + (twice >= 3 * delta) + (twice >= 5 * delta) + (twice >= 7 * delta);
    const int high = (twice >= 9 * delta) + (twice >= 11 * delta) + (twice >= 13 * delta) + (twice >= 15 * delta);
    const int magnitude = low + high;
    return residual < 0 ? -magnitude : std::min(magnitude, 7);
}

// Codes samples 2 ... count-1 of every lane (a channel with one candidate) at once; each lane's
// squared error goes to error.
template <int Lanes>
void CodeLanes(int count, const std::int32_t* const* samples, const Candidate* candidates,
               std::uint8_t* const* nibbles, std::int16_t* const* reconstructions, long long* error)
{
    std::array<int, Lanes> c1{}, c2{}, delta{}, sample1{}, sample2{};
    for (int k = 0; k < Lanes; ++k) {
        c1[k] = kCoefficients[candidates[k].predictor][0];
        c2[k] = kCoefficients[candidates[k].predictor][1];
        delta[k] = candidates[k].delta;
        error[k] = 0;
        sample2[k] = samples[k][0];
        sample1[k] = count > 1 ? samples[k][1] : samples[k][0];
    }
    for (int i = 2; i < count; ++i) {
        for (int k = 0; k < Lanes; ++k) {
            // A division rounding toward zero, as decoders compute it (not a shift).
            const int predicted = (sample1[k] * c1[k] + sample2[k] * c2[k]) / 256;
            const int code = NearestCode(samples[k][i] - predicted, delta[k]);
            const int decoded = ClampSample(predicted + code * delta[k]);
            const long long miss = samples[k][i] - decoded;
            error[k] += miss * miss;
            const int nibble = code & 15;
            nibbles[k][i] = static_cast<std::uint8_t>(nibble);
            reconstructions[k][i] = static_cast<std::int16_t>(decoded);
            delta[k] = std::max(kMinDelta, (kAdaptation[nibble] * delta[k]) >> 8);
            sample2[k] = sample1[k];
            sample1[k] = decoded;
        }
    }
}

// How far each predictor misses on the input itself (sum of absolute residuals, which fits in 32
// bits for any block): a cheap ranking before coding. Integer sums let the compiler vectorise.
std::array<std::int32_t, kCoefficientCount> PredictorMisses(const std::int32_t* samples, int count)
{
    std::array<std::int32_t, kCoefficientCount> misses{};
    for (int p = 0; p < kCoefficientCount; ++p) {
        const std::int32_t c1 = kCoefficients[p][0];
        const std::int32_t c2 = kCoefficients[p][1];
        std::int32_t sum = 0;
        for (int i = 2; i < count; ++i) {
            const std::int32_t residual = samples[i] - ((samples[i - 1] * c1 + samples[i - 2] * c2) >> 8);
            sum += residual < 0 ? -residual : residual;
        }
        misses[p] = sum;
    }
    return misses;
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
    m_samples.resize(frames * channels);
    m_laneNibbles.resize(frames * (kLanes + 1));
    m_laneRecon.resize(frames * (kLanes + 1));
    return true;
}

std::size_t Encoder::encodeBlock(const std::int16_t* pcm, int frames, std::uint8_t* out,
                                 std::int16_t* reconstruction)
{
    frames = std::clamp(frames, 1, m_samplesPerBlock);
    const std::size_t count = static_cast<std::size_t>(frames);
    const int candidatesPerChannel = kLanes / m_channels;
    // The lanes, then a spare for a rescue search.
    std::array<const std::int32_t*, kLanes + 1> samples{};
    std::array<Candidate, kLanes + 1> candidates{};
    std::array<std::uint8_t*, kLanes + 1> nibbles{};
    std::array<std::int16_t*, kLanes + 1> recons{};
    std::array<std::array<int, kCoefficientCount>, kMaxChannels> orders{};
    std::array<long long, kMaxChannels> leastMisses{};
    for (int lane = 0; lane <= kLanes; ++lane) {
        nibbles[lane] = m_laneNibbles.data() + count * lane;
        recons[lane] = m_laneRecon.data() + count * lane;
    }
    for (int c = 0; c < m_channels; ++c) {
        std::int32_t* channel = m_samples.data() + count * c;
        for (std::size_t i = 0; i < count; ++i) {
            channel[i] = pcm[i * m_channels + c];
        }
        const std::array<std::int32_t, kCoefficientCount> misses = PredictorMisses(channel, frames);
        std::array<int, kCoefficientCount>& order = orders[c];
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return misses[a] < misses[b]; });
        leastMisses[c] = misses[order[0]];
        for (int k = 0; k < candidatesPerChannel; ++k) {
            const int lane = c * candidatesPerChannel + k;
            const int predictor = order[k];
            const int mean = MeanInitialResidual(channel, frames, predictor);
            samples[lane] = channel;
            candidates[lane] = {predictor, std::clamp(mean / 2, kMinDelta, kMaxInitialDelta)};
        }
    }
    std::array<long long, kLanes + 1> errors{};
    CodeLanes<kLanes>(frames, samples.data(), candidates.data(), nibbles.data(), recons.data(), errors.data());
    std::array<int, kMaxChannels> chosen{}; // lane per channel
    for (int c = 0; c < m_channels; ++c) {
        const auto lanes = errors.begin() + c * candidatesPerChannel;
        chosen[c] = static_cast<int>(std::min_element(lanes, lanes + candidatesPerChannel) - errors.begin());
        // The steps could not follow the input (a full-scale square does this): the coding then
        // misses by more than the best predictor alone does (at least the square of its summed
        // misses over the count), so try the other predictors.
        const long long residualEnergy = leastMisses[c] * leastMisses[c] / std::max<long long>(frames - 2, 1);
        if (errors[chosen[c]] <= kAudibleError * frames || errors[chosen[c]] <= residualEnergy) {
            continue;
        }
        for (int k = candidatesPerChannel; k < kCoefficientCount; ++k) {
            const int predictor = orders[c][k];
            const int mean = MeanInitialResidual(m_samples.data() + count * c, frames, predictor);
            samples[kLanes] = m_samples.data() + count * c;
            candidates[kLanes] = {predictor, std::clamp(mean / 2, kMinDelta, kMaxInitialDelta)};
            CodeLanes<1>(frames, &samples[kLanes], &candidates[kLanes], &nibbles[kLanes], &recons[kLanes],
                         &errors[kLanes]);
            if (errors[kLanes] < errors[chosen[c]]) {
                std::swap(candidates[kLanes], candidates[chosen[c]]);
                std::swap(nibbles[kLanes], nibbles[chosen[c]]);
                std::swap(recons[kLanes], recons[chosen[c]]);
                std::swap(errors[kLanes], errors[chosen[c]]);
            }
        }
    }
    for (int c = 0; c < m_channels; ++c) {
        recons[chosen[c]][0] = static_cast<std::int16_t>(m_samples[count * c]);
        recons[chosen[c]][1 % count] = static_cast<std::int16_t>(m_samples[count * c + 1 % count]);
    }

    std::uint8_t* p = out;
    const auto put16 = [&p](int value) {
        *p++ = static_cast<std::uint8_t>(value & 0xFF);
        *p++ = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    for (int c = 0; c < m_channels; ++c) {
        *p++ = static_cast<std::uint8_t>(candidates[chosen[c]].predictor);
    }
    for (int c = 0; c < m_channels; ++c) {
        put16(candidates[chosen[c]].delta);
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
            const std::uint8_t nibble = nibbles[chosen[c]][i];
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
                reconstruction[i * m_channels + c] = recons[chosen[c]][i];
            }
        }
    }
    return static_cast<std::size_t>(p - out);
}

} // namespace msadpcm
