#include "codec/msadpcm_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <emmintrin.h>
#include <limits>

namespace msadpcm {
namespace {

// Step size factor (in 1/256) applied after each nibble, indexed by the nibble.
constexpr std::array<int, 16> kAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                             768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMinDelta = 16;
constexpr int kMaxInitialDelta = std::numeric_limits<std::int16_t>::max();
// Blocks are independent, so a batch codes one channel of many blocks at once: two vectors of eight
// lanes, which hides each step's long latency.
constexpr int kLanes = Encoder::kLanes;
constexpr int kLanesPerGroup = 8;
// A coding starts with a step of half the mean size of the first residuals.
constexpr int kInitialResiduals = 4;
// Squared error per sample below which a coding is good enough (an RMS error of 16).
constexpr double kAudibleError = 256;

// Larger than any format uses; refusing more bounds the lane buffers.
constexpr int kMaxBlockAlign = 8192;

int Predict(int sample1, int sample2, int predictor)
{
    return (sample1 * kCoefficients[predictor][0] + sample2 * kCoefficients[predictor][1]) / 256;
}

// The code nearest to residual / delta in -8 ... 7, by comparisons instead of a division.
int NearestCode(int residual, int delta)
{
    const int twice = 2 * (residual < 0 ? -residual : residual);
    const int low = (twice >= delta) + (twice >= 3 * delta) + (twice >= 5 * delta) + (twice >= 7 * delta);
    const int high = (twice >= 9 * delta) + (twice >= 11 * delta) + (twice >= 13 * delta) + (twice >= 15 * delta);
    const int magnitude = low + high;
    return residual < 0 ? -magnitude : std::min(magnitude, 7);
}

// Lane samples are laid out step by step: step i of lane k at [i * kLanes + k].
int MeanInitialResidual(const std::int32_t* lane, int frames, int predictor)
{
    const int end = std::min(frames, 2 + kInitialResiduals);
    long long sum = 0;
    for (int i = 2; i < end; ++i) {
        sum += std::abs(lane[i * kLanes] - Predict(lane[(i - 1) * kLanes], lane[(i - 2) * kLanes], predictor));
    }
    return end > 2 ? static_cast<int>(sum / (end - 2)) : 0;
}

int InitialDelta(const std::int32_t* lane, int frames, int predictor)
{
    return std::clamp(MeanInitialResidual(lane, frames, predictor) / 2, kMinDelta, kMaxInitialDelta);
}

// Codes one lane exactly for any step size (the vectors hold steps below 2^15); returns the squared
// error.
double CodeLane(const std::int32_t* lane, int frames, int predictor, int delta, std::int8_t* codes,
                std::int16_t* decoded)
{
    const int c1 = kCoefficients[predictor][0];
    const int c2 = kCoefficients[predictor][1];
    int sample2 = lane[0];
    int sample1 = lane[kLanes];
    long long error = 0;
    for (int i = 2; i < frames; ++i) {
        // A division rounding toward zero, as decoders compute it (not a shift).
        const int predicted = (sample1 * c1 + sample2 * c2) / 256;
        const int code = NearestCode(lane[i * kLanes] - predicted, delta);
        const int value = std::clamp(predicted + code * delta, static_cast<int>(std::numeric_limits<std::int16_t>::min()),
                                     static_cast<int>(std::numeric_limits<std::int16_t>::max()));
        const long long miss = lane[i * kLanes] - value;
        error += miss * miss;
        codes[i * kLanes] = static_cast<std::int8_t>(code);
        decoded[i * kLanes] = static_cast<std::int16_t>(value);
        delta = std::max(kMinDelta, (kAdaptation[code & 15] * delta) >> 8);
        sample2 = sample1;
        sample1 = value;
    }
    return static_cast<double>(error);
}

// Squared residuals of each predictor alone on each lane, from six sums of products taken in one
// pass. The sums are of first differences, which keeps them accurate in floats on smooth input:
// with d the step from the previous sample, a residual is d[i] + u x[i-1] + v d[i-1].
using Energies = std::array<std::array<double, kCoefficientCount>, kLanes>;
Energies PredictorEnergies(const std::int32_t* samples, int frames, int lanes)
{
    Energies energies{};
    const auto row = [samples](int i, int lane) {
        return _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + i * kLanes + lane)));
    };
    for (int group = 0; group < lanes; group += 4) {
        __m128 previous = row(1, group);
        __m128 previousStep = _mm_sub_ps(previous, row(0, group));
        __m128 sums[6] = {};
        for (int i = 2; i < frames; ++i) {
            const __m128 sample = row(i, group);
            const __m128 step = _mm_sub_ps(sample, previous);
            sums[0] = _mm_add_ps(sums[0], _mm_mul_ps(step, step));
            sums[1] = _mm_add_ps(sums[1], _mm_mul_ps(previous, previous));
            sums[2] = _mm_add_ps(sums[2], _mm_mul_ps(previousStep, previousStep));
            sums[3] = _mm_add_ps(sums[3], _mm_mul_ps(step, previous));
            sums[4] = _mm_add_ps(sums[4], _mm_mul_ps(step, previousStep));
            sums[5] = _mm_add_ps(sums[5], _mm_mul_ps(previous, previousStep));
            previous = sample;
            previousStep = step;
        }
        alignas(16) float lanes[6][4];
        for (int s = 0; s < 6; ++s) {
            _mm_store_ps(lanes[s], sums[s]);
        }
        for (int k = 0; k < 4; ++k) {
            const double dd = lanes[0][k], xx = lanes[1][k], pp = lanes[2][k], dx = lanes[3][k], dp = lanes[4][k],
                         xp = lanes[5][k];
            for (int p = 0; p < kCoefficientCount; ++p) {
                const double u = 1.0 - (kCoefficients[p][0] + kCoefficients[p][1]) / 256.0;
                const double v = kCoefficients[p][1] / 256.0;
                energies[group + k][p] = dd + u * u * xx + v * v * pp + 2 * u * dx + 2 * v * dp + 2 * u * v * xp;
            }
        }
    }
    return energies;
}

// Eight lanes coded in step: the last two decoded samples, the step size (below 2^15 while the
// lane is exact) and the predictor pairs as 16-bit halves of 32-bit lanes, for multiply-add.
struct LaneGroup {
    __m128i sample1, sample2, delta, pairsLow, pairsHigh;
    __m128i largestHigh; // high half of factor * delta; above 127 the step outgrew 16 bits
    __m128 errorLow, errorHigh;
};

inline __m128i DivideBy256(__m128i value)
{
    const __m128i towardZero = _mm_srli_epi32(_mm_srai_epi32(value, 31), 24);
    return _mm_srai_epi32(_mm_add_epi32(value, towardZero), 8);
}

// The code nearest to residual / step in -8 ... 7. A correctly rounded division, so the same on
// every processor.
inline __m128i QuantiseCodes(__m128i residual, __m128i delta)
{
    const __m128 quotient = _mm_div_ps(_mm_cvtepi32_ps(residual), _mm_cvtepi32_ps(delta));
    return _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(quotient, _mm_set1_ps(-8.0f)), _mm_set1_ps(7.0f)));
}

inline __m128 AddSquaredMiss(__m128 sum, __m128i sample, __m128i decoded)
{
    const __m128 miss = _mm_cvtepi32_ps(_mm_sub_epi32(sample, decoded));
    return _mm_add_ps(sum, _mm_mul_ps(miss, miss));
}

inline void CodeStep(LaneGroup& g, const std::int32_t* samples, std::int8_t* codes, std::int16_t* decoded)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i predictedLow = DivideBy256(_mm_madd_epi16(_mm_unpacklo_epi16(g.sample1, g.sample2), g.pairsLow));
    const __m128i predictedHigh = DivideBy256(_mm_madd_epi16(_mm_unpackhi_epi16(g.sample1, g.sample2), g.pairsHigh));
    const __m128i sampleLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples));
    const __m128i sampleHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 4));
    const __m128i deltaLow = _mm_unpacklo_epi16(g.delta, zero);
    const __m128i deltaHigh = _mm_unpackhi_epi16(g.delta, zero);
    const __m128i codeLow = QuantiseCodes(_mm_sub_epi32(sampleLow, predictedLow), deltaLow);
    const __m128i codeHigh = QuantiseCodes(_mm_sub_epi32(sampleHigh, predictedHigh), deltaHigh);
    // code * delta by multiply-add: the code's high half (0 or -1) meets the step's zero high half.
    const __m128i valueLow = _mm_add_epi32(predictedLow, _mm_madd_epi16(codeLow, deltaLow));
    const __m128i valueHigh = _mm_add_epi32(predictedHigh, _mm_madd_epi16(codeHigh, deltaHigh));
    const __m128i value = _mm_packs_epi32(valueLow, valueHigh); // clamps to 16 bits as decoders do
    const __m128i code = _mm_packs_epi32(codeLow, codeHigh);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(codes), _mm_packs_epi16(code, code));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(decoded), value);
    g.errorLow = AddSquaredMiss(g.errorLow, sampleLow, _mm_srai_epi32(_mm_unpacklo_epi16(value, value), 16));
    g.errorHigh = AddSquaredMiss(g.errorHigh, sampleHigh, _mm_srai_epi32(_mm_unpackhi_epi16(value, value), 16));
    g.sample2 = g.sample1;
    g.sample1 = value;

    // The adaptation factor by code size m: 230 up to 3, then 307, 409, 512, 614 and 768 for -8.
    const __m128i size = _mm_max_epi16(code, _mm_sub_epi16(zero, code));
    __m128i factor = _mm_add_epi16(_mm_mullo_epi16(size, _mm_set1_epi16(102)), _mm_set1_epi16(-101));
    factor = _mm_sub_epi16(factor, _mm_cmpgt_epi16(size, _mm_set1_epi16(5)));
    factor = _mm_add_epi16(factor, _mm_and_si128(_mm_cmpgt_epi16(size, _mm_set1_epi16(7)), _mm_set1_epi16(52)));
    factor = _mm_max_epi16(factor, _mm_set1_epi16(230));
    // (factor * delta) >> 8 from the product's two 16-bit halves.
    const __m128i high = _mm_mulhi_epi16(factor, g.delta);
    const __m128i low = _mm_mullo_epi16(factor, g.delta);
    g.largestHigh = _mm_max_epi16(g.largestHigh, high);
    g.delta = _mm_max_epi16(_mm_or_si128(_mm_slli_epi16(high, 8), _mm_srli_epi16(low, 8)), _mm_set1_epi16(kMinDelta));
}

struct LaneResults {
    std::array<double, kLanes> errors{};
    std::array<bool, kLanes> inexact{}; // the step outgrew 16 bits: code the lane again exactly
};

// Codes steps 2 ... frames-1 of the first lanes (the others in their group too, unused), each with
// its predictor and first step.
LaneResults CodeLanes(const std::int32_t* samples, int frames, int lanes, const std::array<int, kLanes>& predictors,
                      const std::array<int, kLanes>& deltas, std::int8_t* codes, std::int16_t* decoded)
{
    const int groupCount = lanes > kLanesPerGroup ? 2 : 1;
    LaneGroup groups[kLanes / kLanesPerGroup];
    for (int gi = 0; gi < groupCount; ++gi) {
        LaneGroup& g = groups[gi];
        const int first = gi * kLanesPerGroup;
        alignas(16) std::int32_t pairs[kLanesPerGroup];
        alignas(16) std::int16_t sample1[kLanesPerGroup], sample2[kLanesPerGroup], delta[kLanesPerGroup];
        for (int k = 0; k < kLanesPerGroup; ++k) {
            const auto& pair = kCoefficients[predictors[first + k]];
            pairs[k] = static_cast<std::int32_t>(static_cast<std::uint16_t>(pair[0]) |
                                                 (static_cast<std::uint32_t>(static_cast<std::uint16_t>(pair[1])) << 16));
            sample1[k] = static_cast<std::int16_t>(samples[kLanes + first + k]);
            sample2[k] = static_cast<std::int16_t>(samples[first + k]);
            delta[k] = static_cast<std::int16_t>(deltas[first + k]);
        }
        g.pairsLow = _mm_load_si128(reinterpret_cast<const __m128i*>(pairs));
        g.pairsHigh = _mm_load_si128(reinterpret_cast<const __m128i*>(pairs + 4));
        g.sample1 = _mm_load_si128(reinterpret_cast<const __m128i*>(sample1));
        g.sample2 = _mm_load_si128(reinterpret_cast<const __m128i*>(sample2));
        g.delta = _mm_load_si128(reinterpret_cast<const __m128i*>(delta));
        g.largestHigh = _mm_setzero_si128();
        g.errorLow = g.errorHigh = _mm_setzero_ps();
    }
    // A caller that hands over one block at a time then pays for one group, not two.
    if (groupCount == 2) {
        for (int i = 2; i < frames; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * kLanes;
            CodeStep(groups[0], samples + at, codes + at, decoded + at);
            CodeStep(groups[1], samples + at + kLanesPerGroup, codes + at + kLanesPerGroup,
                     decoded + at + kLanesPerGroup);
        }
    } else {
        for (int i = 2; i < frames; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * kLanes;
            CodeStep(groups[0], samples + at, codes + at, decoded + at);
        }
    }
    LaneResults results;
    for (int gi = 0; gi < groupCount; ++gi) {
        alignas(16) float errors[kLanesPerGroup];
        alignas(16) std::int16_t largestHigh[kLanesPerGroup];
        _mm_store_ps(errors, groups[gi].errorLow);
        _mm_store_ps(errors + 4, groups[gi].errorHigh);
        _mm_store_si128(reinterpret_cast<__m128i*>(largestHigh), groups[gi].largestHigh);
        for (int k = 0; k < kLanesPerGroup; ++k) {
            results.errors[gi * kLanesPerGroup + k] = errors[k];
            results.inexact[gi * kLanesPerGroup + k] = largestHigh[k] > 127;
        }
    }
    return results;
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
    const std::size_t steps = static_cast<std::size_t>(samplesPerBlock);
    m_laneSamples.assign(steps * kLanes, 0);
    m_laneCodes.assign(steps * kLanes, 0);
    m_laneDecoded.assign(steps * kLanes, 0);
    m_trialSamples.assign(steps * kLanes, 0);
    m_trialCodes.assign(steps * kLanes, 0);
    m_trialDecoded.assign(steps * kLanes, 0);
    return true;
}

std::size_t Encoder::encode(const std::int16_t* pcm, int frames, std::uint8_t* out, std::int16_t* reconstruction)
{
    if (m_samplesPerBlock == 0 || frames <= 0) {
        return 0;
    }
    const int blocksPerBatch = kLanes / m_channels;
    const int fullBlocks = frames / m_samplesPerBlock;
    const int rest = frames % m_samplesPerBlock;
    const std::size_t samplesPerBlock = static_cast<std::size_t>(m_samplesPerBlock) * m_channels;
    const std::size_t fullBlockBytes = BlockBytes(m_samplesPerBlock, m_channels);
    std::size_t written = 0;
    for (int block = 0; block < fullBlocks; block += blocksPerBatch) {
        const int blocks = std::min(blocksPerBatch, fullBlocks - block);
        const std::size_t offset = static_cast<std::size_t>(block) * samplesPerBlock;
        codeBatch(pcm + offset, blocks, m_samplesPerBlock, out + written,
                  reconstruction ? reconstruction + offset : nullptr);
        written += static_cast<std::size_t>(blocks) * fullBlockBytes;
    }
    if (rest > 0) {
        const std::size_t offset = static_cast<std::size_t>(fullBlocks) * samplesPerBlock;
        codeBatch(pcm + offset, 1, rest, out + written, reconstruction ? reconstruction + offset : nullptr);
        written += BlockBytes(rest, m_channels);
    }
    return written;
}

// Codes blocks of the same length, one lane per channel of each: each lane codes with the
// predictor that fits its input best. Where that coding misses by more than the predictor alone
// would (the steps cannot follow, as on a full-scale square), the other predictors are tried too.
void Encoder::codeBatch(const std::int16_t* pcm, int blocks, int frames, std::uint8_t* out,
                        std::int16_t* reconstruction)
{
    const int lanes = blocks * m_channels;
    const std::size_t blockSamples = static_cast<std::size_t>(m_samplesPerBlock) * m_channels;
    // Row by row, so that each row is written whole; lanes beyond the batch repeat the first.
    std::array<const std::int16_t*, kLanes> sources{};
    for (int lane = 0; lane < kLanes; ++lane) {
        const int from = lane < lanes ? lane : 0;
        sources[lane] = pcm + static_cast<std::size_t>(from / m_channels) * blockSamples + from % m_channels;
    }
    for (int i = 0; i < frames; ++i) {
        std::int32_t* row = m_laneSamples.data() + static_cast<std::size_t>(i) * kLanes;
        const std::size_t at = static_cast<std::size_t>(i) * m_channels;
        for (int lane = 0; lane < kLanes; ++lane) {
            row[lane] = sources[lane][at];
        }
    }
    Choices choices{};
    if (frames > 2) {
        const Energies energies = PredictorEnergies(m_laneSamples.data(), frames, lanes);
        std::array<int, kLanes> predictors{};
        std::array<int, kLanes> deltas{};
        deltas.fill(kMinDelta); // lanes beyond the batch are coded but not used
        for (int lane = 0; lane < lanes; ++lane) {
            const auto& laneEnergies = energies[lane];
            Choice& choice = choices[lane];
            choice.predictor = static_cast<int>(std::min_element(laneEnergies.begin(), laneEnergies.end()) -
                                                laneEnergies.begin());
            choice.predictorEnergy = laneEnergies[choice.predictor];
            choice.delta = InitialDelta(m_laneSamples.data() + lane, frames, choice.predictor);
            predictors[lane] = choice.predictor;
            deltas[lane] = choice.delta;
        }
        const LaneResults results =
            CodeLanes(m_laneSamples.data(), frames, lanes, predictors, deltas, m_laneCodes.data(), m_laneDecoded.data());
        LaneErrors errors = results.errors;
        std::array<int, kLanes> missed{};
        int missedCount = 0;
        for (int lane = 0; lane < lanes; ++lane) {
            if (results.inexact[lane]) {
                errors[lane] = CodeLane(m_laneSamples.data() + lane, frames, choices[lane].predictor, choices[lane].delta,
                                        m_laneCodes.data() + lane, m_laneDecoded.data() + lane);
            }
            if (errors[lane] > kAudibleError * frames && errors[lane] > choices[lane].predictorEnergy) {
                missed[missedCount++] = lane;
            }
        }
        if (missedCount > 0) {
            retryOtherPredictors(missed, missedCount, frames, choices, errors);
        }
    } else {
        for (Choice& choice : choices) {
            choice.delta = kMinDelta;
        }
    }

    for (int block = 0; block < blocks; ++block) {
        const int firstLane = block * m_channels;
        writeBlock(firstLane, frames, &choices[firstLane],
                   out + static_cast<std::size_t>(block) * BlockBytes(m_samplesPerBlock, m_channels));
    }
    if (reconstruction) {
        for (int lane = 0; lane < lanes; ++lane) {
            std::int16_t* target =
                reconstruction + static_cast<std::size_t>(lane / m_channels) * blockSamples + lane % m_channels;
            for (int i = 0; i < frames; ++i) {
                const std::size_t at = static_cast<std::size_t>(i) * kLanes + lane;
                target[static_cast<std::size_t>(i) * m_channels] =
                    i < 2 ? static_cast<std::int16_t>(m_laneSamples[at]) : m_laneDecoded[at];
            }
        }
    }
}

void Encoder::writeBlock(int firstLane, int frames, const Choice* choices, std::uint8_t* p) const
{
    const std::int32_t* samples = m_laneSamples.data() + firstLane;
    const std::int8_t* codes = m_laneCodes.data() + firstLane;
    const int channels = m_channels;
    const auto put16 = [&p](int value) {
        *p++ = static_cast<std::uint8_t>(value & 0xFF);
        *p++ = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    };
    for (int c = 0; c < channels; ++c) {
        *p++ = static_cast<std::uint8_t>(choices[c].predictor);
    }
    for (int c = 0; c < channels; ++c) {
        put16(choices[c].delta);
    }
    const int second = frames > 1 ? 1 : 0;
    for (int c = 0; c < channels; ++c) {
        put16(samples[second * kLanes + c]);
    }
    for (int c = 0; c < channels; ++c) {
        put16(samples[c]);
    }
    // Nibbles follow in time order, channels interleaved, high nibble first.
    const auto nibble = [codes](int step, int c) { return static_cast<unsigned>(codes[step * kLanes + c]) & 15u; };
    if (channels == 2) {
        for (int i = 2; i < frames; ++i) {
            *p++ = static_cast<std::uint8_t>(nibble(i, 0) << 4 | nibble(i, 1));
        }
    } else {
        int i = 2;
        for (; i + 1 < frames; i += 2) {
            *p++ = static_cast<std::uint8_t>(nibble(i, 0) << 4 | nibble(i + 1, 0));
        }
        if (i < frames) {
            *p++ = static_cast<std::uint8_t>(nibble(i, 0) << 4);
        }
    }
}

// Codes the lanes that missed with each of their other predictors, a batch of trials at a time,
// and keeps the closest coding of each.
void Encoder::retryOtherPredictors(const std::array<int, kLanes>& lanes, int count, int frames, Choices& choices,
                                   LaneErrors& errors)
{
    struct Trial {
        int lane, predictor, delta;
    };
    std::array<Trial, kLanes * (kCoefficientCount - 1)> trials{};
    int trialCount = 0;
    for (int m = 0; m < count; ++m) {
        for (int predictor = 0; predictor < kCoefficientCount; ++predictor) {
            if (predictor != choices[lanes[m]].predictor) {
                trials[trialCount++] = {lanes[m], predictor,
                                        InitialDelta(m_laneSamples.data() + lanes[m], frames, predictor)};
            }
        }
    }
    for (int first = 0; first < trialCount; first += kLanes) {
        const int batch = std::min(kLanes, trialCount - first);
        std::array<int, kLanes> predictors{};
        std::array<int, kLanes> deltas{};
        deltas.fill(kMinDelta);
        for (int k = 0; k < batch; ++k) {
            const Trial& trial = trials[first + k];
            for (int i = 0; i < frames; ++i) {
                m_trialSamples[static_cast<std::size_t>(i) * kLanes + k] =
                    m_laneSamples[static_cast<std::size_t>(i) * kLanes + trial.lane];
            }
            predictors[k] = trial.predictor;
            deltas[k] = trial.delta;
        }
        const LaneResults results =
            CodeLanes(m_trialSamples.data(), frames, batch, predictors, deltas, m_trialCodes.data(), m_trialDecoded.data());
        for (int k = 0; k < batch; ++k) {
            const Trial& trial = trials[first + k];
            double error = results.errors[k];
            if (results.inexact[k]) {
                error = CodeLane(m_trialSamples.data() + k, frames, trial.predictor, trial.delta,
                                 m_trialCodes.data() + k, m_trialDecoded.data() + k);
            }
            if (error >= errors[trial.lane]) {
                continue;
            }
            errors[trial.lane] = error;
            choices[trial.lane].predictor = trial.predictor;
            choices[trial.lane].delta = trial.delta;
            for (int i = 2; i < frames; ++i) {
                const std::size_t at = static_cast<std::size_t>(i) * kLanes;
                m_laneCodes[at + trial.lane] = m_trialCodes[at + k];
                m_laneDecoded[at + trial.lane] = m_trialDecoded[at + k];
            }
        }
    }
}

} // namespace msadpcm
