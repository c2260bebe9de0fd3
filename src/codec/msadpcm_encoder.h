#pragma once
// MS ADPCM (wave format tag 2) encoder: interleaved 16-bit PCM in, whole blocks out.
// Portable: the audio compression driver wraps it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace msadpcm {

constexpr int kFormatTag = 2;
constexpr int kBitsPerSample = 4;
constexpr int kMaxChannels = 2;
constexpr int kCoefficientCount = 7;
// The seven predictor pairs every decoder knows; a format lists them in its extra bytes.
inline constexpr std::array<std::array<std::int16_t, 2>, kCoefficientCount> kCoefficients = {{
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}}};
// Extra bytes after the wave format header: samples per block, coefficient count, the pairs.
constexpr std::size_t kFormatExtraBytes = 4 + 4 * kCoefficientCount;

constexpr std::size_t HeaderBytes(int channels) { return 7 * static_cast<std::size_t>(channels); }
// Bytes of a block holding this many sample frames (a block always holds at least two).
std::size_t BlockBytes(int frames, int channels);
// Sample frames a full block of blockAlign bytes holds; 0 if no block of that size can exist.
int SamplesPerBlock(int blockAlign, int channels);
// Block size the platform proposes: 256 bytes per channel per 11.025 kHz, at least 256.
int SuggestedBlockAlign(int samplesPerSecond, int channels);
// Average bytes per second of a stream (whole blocks, rounded down as the platform does).
int AverageBytesPerSecond(int samplesPerSecond, int blockAlign, int samplesPerBlock);
void WriteFormatExtra(int samplesPerBlock, std::uint8_t* out);

class Encoder {
public:
    // Channels of blocks coded at once, one in each lane of the processor's vectors.
    static constexpr int kLanes = 16;

    // False (and unusable) unless 1 or 2 channels and a block align that holds at least two frames.
    bool begin(int channels, int blockAlign);
    int channels() const { return m_channels; }
    int blockAlign() const { return m_blockAlign; }
    int samplesPerBlock() const { return m_samplesPerBlock; }

    // Codes interleaved frames into consecutive blocks: full ones of samplesPerBlock() frames, then
    // a shorter last one for the rest (a block of one frame holds it twice). out takes
    // BlockBytes(samplesPerBlock()) per full block plus BlockBytes(rest); returns the bytes written
    // (0 for no frames). When reconstruction is given it receives what a decoder yields,
    // frames * channels samples. Many blocks per call code faster than one at a time.
    std::size_t encode(const std::int16_t* pcm, int frames, std::uint8_t* out,
                       std::int16_t* reconstruction = nullptr);

private:
    struct Choice {
        int predictor = 0;
        int delta = 0;
        double predictorEnergy = 0.0; // squared residuals of the predictor alone
    };
    void codeBatch(const std::int16_t* pcm, int blocks, int frames, std::uint8_t* out, std::int16_t* reconstruction);
    using Choices = std::array<Choice, kLanes>;
    // One block from its channels' lanes, the first at firstLane, the second next to it.
    void writeBlock(int firstLane, int frames, const Choice* choices, std::uint8_t* out) const;
    using LaneErrors = std::array<double, kLanes>;
    void retryOtherPredictors(const std::array<int, kLanes>& lanes, int count, int frames, Choices& choices,
                              LaneErrors& errors);

    int m_channels = 0;
    int m_blockAlign = 0;
    int m_samplesPerBlock = 0;
    // One batch of lanes (a channel of a block each), step by step: samples, codes, decoded samples.
    std::vector<std::int32_t> m_laneSamples;
    std::vector<std::int8_t> m_laneCodes;
    std::vector<std::int16_t> m_laneDecoded;
    // Other predictors on the lanes whose coding missed, laid out as a batch.
    std::vector<std::int32_t> m_trialSamples;
    std::vector<std::int8_t> m_trialCodes;
    std::vector<std::int16_t> m_trialDecoded;
};

} // namespace msadpcm
