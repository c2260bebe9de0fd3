#include "msadpcm_reference_decoder.h"

#include "codec/msadpcm_encoder.h"

#include <algorithm>

bool DecodeMsAdpcmBlock(const std::uint8_t* block, std::size_t size, int channels, std::vector<std::int16_t>& out)
{
    static constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                            768, 614, 512, 409, 307, 230, 230, 230};
    const auto word = [block](std::size_t at) { return static_cast<std::int16_t>(block[at] | (block[at + 1] << 8)); };
    int predictor[2] = {};
    int delta[2] = {};
    int sample1[2] = {};
    int sample2[2] = {};
    for (int c = 0; c < channels; ++c) {
        predictor[c] = block[c];
        if (predictor[c] >= msadpcm::kCoefficientCount) {
            return false;
        }
        delta[c] = word(channels + 2 * c);
        sample1[c] = word(3 * channels + 2 * c);
        sample2[c] = word(5 * channels + 2 * c);
    }
    for (int c = 0; c < channels; ++c) {
        out.push_back(static_cast<std::int16_t>(sample2[c]));
    }
    for (int c = 0; c < channels; ++c) {
        out.push_back(static_cast<std::int16_t>(sample1[c]));
    }
    int c = 0;
    for (std::size_t at = 7 * static_cast<std::size_t>(channels); at < size; ++at) {
        for (const int nibble : {block[at] >> 4, block[at] & 15}) {
            const auto& pair = msadpcm::kCoefficients[predictor[c]];
            const int predicted = (sample1[c] * pair[0] + sample2[c] * pair[1]) / 256;
            const int value = std::clamp(predicted + (nibble >= 8 ? nibble - 16 : nibble) * delta[c], -32768, 32767);
            out.push_back(static_cast<std::int16_t>(value));
            sample2[c] = sample1[c];
            sample1[c] = value;
            delta[c] = std::max(16, (kAdaptation[nibble] * delta[c]) >> 8);
            c = (c + 1) % channels;
        }
    }
    return true;
}
