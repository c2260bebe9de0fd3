#pragma once
// Test signals, WAV files and ffmpeg decoding for the MS ADPCM encoder's tests and benchmark.
#include <cstdint>
#include <string>
#include <vector>

namespace msadpcm_test {

enum class Signal { Sine, SpeechLikeNoise, Silence, FullScaleSquare };
const char* SignalName(Signal signal);
// Interleaved 16-bit frames; stereo channels differ (phase, seed) so that mixing them up shows.
std::vector<std::int16_t> MakeSignal(Signal signal, int samplesPerSecond, int channels, int frames);

struct EncodedStream {
    int channels = 0;
    int samplesPerSecond = 0;
    int blockAlign = 0;
    int samplesPerBlock = 0;
    int frames = 0;
    std::vector<std::uint8_t> data; // whole blocks, the last one possibly partial
    std::vector<std::int16_t> reconstruction;
};
// Our encoder over the whole signal with the suggested block size (or the given one).
EncodedStream Encode(const std::vector<std::int16_t>& pcm, int samplesPerSecond, int channels, int blockAlign = 0,
                     bool keepReconstruction = true);

bool WriteAdpcmWav(const std::string& path, const EncodedStream& stream);
bool WritePcmWav(const std::string& path, const std::vector<std::int16_t>& pcm, int samplesPerSecond, int channels);

// ffmpeg's decoding of any audio file as interleaved 16-bit samples; errors holds what it reported.
std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path, std::string& errors);
// The same input encoded by ffmpeg's own adpcm_ms encoder at this block size, then decoded.
std::vector<std::int16_t> FfmpegRoundTrip(const std::string& pcmWav, int blockAlign, const std::string& adpcmWav,
                                          std::string& errors);

// Signal-to-noise ratio in dB over the common length; 200 dB when the decoding is exact.
double SnrDb(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded);

} // namespace msadpcm_test
