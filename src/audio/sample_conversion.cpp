#include "audio/sample_conversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {
constexpr float kSide = 0.70710678f; // -3 dB: a speaker beside or behind, or the centre in both

// Speaker bits on the left and on the right; the centre ones go to both, the low-frequency one to
// neither.
constexpr std::uint32_t kFrontLeft = 0x1;
constexpr std::uint32_t kFrontRight = 0x2;
constexpr std::uint32_t kLeft = 0x1 | 0x10 | 0x40 | 0x200 | 0x1000 | 0x8000;
constexpr std::uint32_t kRight = 0x2 | 0x20 | 0x80 | 0x400 | 0x4000 | 0x20000;
constexpr std::uint32_t kCentre = 0x4 | 0x100 | 0x800 | 0x2000 | 0x10000;

// The usual layout by channel count: stereo, 3.0, quad, 5.0, 5.1, 6.1, 7.1 (one channel goes to both).
constexpr std::array<std::uint32_t, 9> kUsualMasks = {0, 0, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};
} // namespace

int SampleBytes(SampleKind kind)
{
    switch (kind) {
    case SampleKind::Unsigned8:
        return 1;
    case SampleKind::Signed16:
        return 2;
    case SampleKind::Signed24:
        return 3;
    case SampleKind::Signed32:
    case SampleKind::Float32:
        return 4;
    }
    return 0;
}

void SamplesToFloat(const void* data, std::size_t samples, SampleKind kind, float* out)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < samples; ++i) {
        switch (kind) {
        case SampleKind::Unsigned8:
            out[i] = (static_cast<float>(bytes[i]) - 128.0f) / 128.0f;
            break;
        case SampleKind::Signed16: {
            const auto value = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
            out[i] = static_cast<float>(value) / 32768.0f;
            break;
        }
        case SampleKind::Signed24: {
            const std::uint8_t* p = bytes + 3 * i;
            const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                                         static_cast<std::uint32_t>(p[1]) << 16 |
                                                         static_cast<std::uint32_t>(p[2]) << 24);
            out[i] = static_cast<float>(value / 256) / 8388608.0f;
            break;
        }
        case SampleKind::Signed32: {
            std::int32_t value = 0;
            std::memcpy(&value, bytes + 4 * i, 4);
            out[i] = static_cast<float>(static_cast<double>(value) / 2147483648.0);
            break;
        }
        case SampleKind::Float32:
            std::memcpy(&out[i], bytes + 4 * i, 4);
            break;
        }
    }
}

std::vector<std::pair<float, float>> StereoFoldWeights(int channels, std::uint32_t speakerMask)
{
    std::vector<std::pair<float, float>> weights(static_cast<std::size_t>(std::max(channels, 0)), {0.0f, 0.0f});
    if (channels == 1) {
        weights[0] = {1.0f, 1.0f};
        return weights;
    }
    if (speakerMask == 0 && channels < static_cast<int>(kUsualMasks.size())) {
        speakerMask = kUsualMasks[static_cast<std::size_t>(channels)];
    }
    // Channels come in the order of their speaker bits; channels beyond the bits are left out.
    std::size_t channel = 0;
    for (std::uint32_t bit = 1; bit != 0 && channel < weights.size(); bit <<= 1) {
        if ((speakerMask & bit) == 0) {
            continue;
        }
        const float near = bit == kFrontLeft || bit == kFrontRight ? 1.0f : kSide;
        weights[channel++] = {(bit & (kLeft | kCentre)) ? near : 0.0f, (bit & (kRight | kCentre)) ? near : 0.0f};
    }
    return weights;
}

void FoldChannels(const float* in, std::size_t frames, const std::vector<std::pair<float, float>>& weights, int to,
                  float* out)
{
    const std::size_t from = weights.size();
    for (std::size_t f = 0; f < frames; ++f) {
        float left = 0;
        float right = 0;
        for (std::size_t c = 0; c < from; ++c) {
            left += weights[c].first * in[f * from + c];
            right += weights[c].second * in[f * from + c];
        }
        if (to == 1) {
            out[f] = (left + right) / 2;
        } else {
            out[2 * f] = left;
            out[2 * f + 1] = right;
        }
    }
}

void FloatToPcm(const float* in, std::size_t samples, int bitsPerSample, std::uint8_t* out)
{
    for (std::size_t i = 0; i < samples; ++i) {
        // NaN, which a device should never send, becomes silence.
        const float sample = std::isnan(in[i]) ? 0.0f : std::clamp(in[i], -1.0f, 1.0f);
        if (bitsPerSample == 8) {
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(sample * 128.0f) + 128, 0L, 255L));
        } else {
            const auto value = static_cast<std::int16_t>(std::clamp(std::lround(sample * 32768.0f), -32768L, 32767L));
            out[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
            out[2 * i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        }
    }
}
