#include "sound_analysis.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace {
template <typename T> T Read(const std::string& bytes, std::size_t at)
{
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

// Goertzel: the power of one frequency in the samples.
double Power(const std::vector<double>& samples, std::size_t from, std::size_t count, double frequency, double rate)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double previous = 0;
    double beforePrevious = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        const double current = samples[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}
} // namespace

double RecordedSound::Seconds() const
{
    const std::uint32_t frameBytes = channels * bitsPerSample / 8;
    return frameBytes == 0 ? 0 : static_cast<double>(dataBytes / frameBytes) / samplesPerSecond;
}

RecordedSound ReadRecordedSound(const std::string& file)
{
    RecordedSound sound;
    if (file.size() < 46 || file.compare(0, 4, "RIFF") != 0 || file.compare(38, 4, "data") != 0) {
        return sound;
    }
    sound.formatTag = Read<std::uint16_t>(file, 20);
    sound.channels = Read<std::uint16_t>(file, 22);
    sound.samplesPerSecond = Read<std::uint32_t>(file, 24);
    sound.bitsPerSample = Read<std::uint16_t>(file, 34);
    sound.dataBytes = Read<std::uint32_t>(file, 42);
    if (sound.formatTag != 1 || sound.channels == 0 || file.size() < 46 + std::size_t{sound.dataBytes}) {
        sound.formatTag = 0;
        return sound;
    }
    const std::size_t sampleBytes = sound.bitsPerSample / 8;
    const std::size_t frames = sound.dataBytes / (sampleBytes * sound.channels);
    sound.mono.resize(frames);
    for (std::size_t frame = 0; frame < frames; ++frame) {
        double sum = 0;
        for (std::size_t channel = 0; channel < sound.channels; ++channel) {
            const std::size_t at = 46 + (frame * sound.channels + channel) * sampleBytes;
            sum += sampleBytes == 1 ? (static_cast<std::uint8_t>(file[at]) - 128) / 128.0
                                    : Read<std::int16_t>(file, at) / 32768.0;
        }
        sound.mono[frame] = sum / sound.channels;
    }
    return sound;
}

int DominantFrequency(const RecordedSound& sound, double fromSecond, double seconds)
{
    const auto from = static_cast<std::size_t>(fromSecond * sound.samplesPerSecond);
    const auto count = static_cast<std::size_t>(seconds * sound.samplesPerSecond);
    if (from + count > sound.mono.size()) {
        return 0;
    }
    int best = 0;
    double bestPower = 0;
    for (int frequency = 100; frequency <= 2000; ++frequency) {
        const double power = Power(sound.mono, from, count, frequency, sound.samplesPerSecond);
        if (power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}
