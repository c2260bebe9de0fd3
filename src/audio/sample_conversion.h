#pragma once
// Sound samples between a device's format and the recording's: integer and float samples as
// floats, any speaker layout folded into one or two channels, and floats back to 8- or 16-bit
// PCM, clamped at full scale.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

enum class SampleKind { Unsigned8, Signed16, Signed24, Signed32, Float32 };

// Bytes of one sample of the kind.
int SampleBytes(SampleKind kind);

// The samples as floats, full scale at -1 and 1.
void SamplesToFloat(const void* data, std::size_t samples, SampleKind kind, float* out);

// Weight of each of a device's channels in the left and right channel of a fold to stereo.
// speakerMask holds the device's speaker bits (front left 1, front right 2, front centre 4, ...),
// its channels in the order of those bits; 0 takes the usual layout for the channel count.
std::vector<std::pair<float, float>> StereoFoldWeights(int channels, std::uint32_t speakerMask);

// Frames of the device's channels folded into `to` (1 or 2) channels with those weights; mono is
// the mean of the left and right folds.
void FoldChannels(const float* in, std::size_t frames, const std::vector<std::pair<float, float>>& weights, int to,
                  float* out);

// Floats as 16-bit (little-endian) or 8-bit (unsigned) PCM. Beyond full scale a sample clamps,
// so that a loud mix saturates and never wraps around to the other sign.
void FloatToPcm(const float* in, std::size_t samples, int bitsPerSample, std::uint8_t* out);
