#include "msadpcm_test_audio.h"

#include "codec/msadpcm_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

namespace msadpcm_test {
namespace {

void Put16(std::vector<std::uint8_t>& out, int value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, static_cast<int>(value & 0xFFFF));
    Put16(out, static_cast<int>(value >> 16));
}

void PutTag(std::vector<std::uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

bool WriteWav(const std::string& path, const std::vector<std::uint8_t>& format, std::uint32_t frames,
              const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file;
    PutTag(file, "RIFF");
    Put32(file, 0);
    PutTag(file, "WAVE");
    PutTag(file, "fmt ");
    Put32(file, static_cast<std::uint32_t>(format.size()));
    file.insert(file.end(), format.begin(), format.end());
    PutTag(file, "fact");
    Put32(file, 4);
    Put32(file, frames);
    PutTag(file, "data");
    Put32(file, static_cast<std::uint32_t>(size));
    file.insert(file.end(), data, data + size);
    if (size % 2) {
        file.push_back(0);
    }
    const std::uint32_t riffSize = static_cast<std::uint32_t>(file.size() - 8);
    for (int i = 0; i < 4; ++i) {
        file[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

std::vector<std::int16_t> RunDecoder(const std::string& command, const std::string& errorsPath, std::string& errors)
{
    std::vector<std::int16_t> samples;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        errors = "cannot start: " + command;
        return samples;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const int status = pclose(pipe);
    std::ifstream errorsFile(errorsPath);
    errors.assign(std::istreambuf_iterator<char>(errorsFile), std::istreambuf_iterator<char>());
    if (status != 0) {
        errors += "exit status " + std::to_string(status);
    }
    std::remove(errorsPath.c_str());
    samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

} // namespace

const char* SignalName(Signal signal)
{
    switch (signal) {
    case Signal::Sine: return "sine";
    case Signal::SpeechLikeNoise: return "speech-like noise";
    case Signal::Silence: return "silence";
    case Signal::FullScaleSquare: return "full-scale square";
    }
    return "?";
}

std::vector<std::int16_t> MakeSignal(Signal signal, int samplesPerSecond, int channels, int frames)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * channels);
    for (int c = 0; c < channels; ++c) {
        std::mt19937 random(1234 + c);
        std::normal_distribution<double> noise(0.0, 1.0);
        double low = 0.0; // two one-pole filters shape white noise into a voice-like band
        double band = 0.0;
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / samplesPerSecond;
            double value = 0.0;
            switch (signal) {
            case Signal::Sine:
                value = 0.5 * std::sin(2 * std::numbers::pi * 440.0 * t + c);
                break;
            case Signal::SpeechLikeNoise: {
                low += 0.3 * (noise(random) - low);
                band += 0.5 * (low - band);
                // Syllables: a 4 Hz envelope with pauses between them.
                const double envelope = std::max(0.0, std::sin(2 * std::numbers::pi * 4.0 * t + c));
                value = 0.9 * envelope * band;
                break;
            }
            case Signal::Silence:
                break;
            case Signal::FullScaleSquare:
                value = std::fmod(t * (200.0 + 50 * c), 1.0) < 0.5 ? 1.0 : -1.0;
                break;
            }
            pcm[static_cast<std::size_t>(i) * channels + c] =
                static_cast<std::int16_t>(std::clamp(std::lround(value * 32768.0), -32768L, 32767L));
        }
    }
    return pcm;
}

EncodedStream Encode(const std::vector<std::int16_t>& pcm, int samplesPerSecond, int channels, int blockAlign,
                     bool keepReconstruction)
{
    EncodedStream stream;
    msadpcm::Encoder encoder;
    if (!encoder.begin(channels, blockAlign ? blockAlign : msadpcm::SuggestedBlockAlign(samplesPerSecond, channels))) {
        return stream;
    }
    stream.channels = channels;
    stream.samplesPerSecond = samplesPerSecond;
    stream.blockAlign = encoder.blockAlign();
    stream.samplesPerBlock = encoder.samplesPerBlock();
    stream.frames = static_cast<int>(pcm.size() / channels);
    if (keepReconstruction) {
        stream.reconstruction.resize(pcm.size());
    }
    const int fullBlocks = stream.frames / stream.samplesPerBlock;
    const int rest = stream.frames % stream.samplesPerBlock;
    stream.data.resize(static_cast<std::size_t>(fullBlocks) * msadpcm::BlockBytes(stream.samplesPerBlock, channels) +
                       (rest ? msadpcm::BlockBytes(rest, channels) : 0));
    const std::size_t written = encoder.encode(pcm.data(), stream.frames, stream.data.data(),
                                               keepReconstruction ? stream.reconstruction.data() : nullptr);
    stream.data.resize(written);
    return stream;
}

bool WriteAdpcmWav(const std::string& path, const EncodedStream& stream)
{
    std::vector<std::uint8_t> format;
    Put16(format, msadpcm::kFormatTag);
    Put16(format, stream.channels);
    Put32(format, static_cast<std::uint32_t>(stream.samplesPerSecond));
    Put32(format, static_cast<std::uint32_t>(
                      msadpcm::AverageBytesPerSecond(stream.samplesPerSecond, stream.blockAlign, stream.samplesPerBlock)));
    Put16(format, stream.blockAlign);
    Put16(format, msadpcm::kBitsPerSample);
    Put16(format, static_cast<int>(msadpcm::kFormatExtraBytes));
    format.resize(format.size() + msadpcm::kFormatExtraBytes);
    msadpcm::WriteFormatExtra(stream.samplesPerBlock, format.data() + format.size() - msadpcm::kFormatExtraBytes);
    return WriteWav(path, format, static_cast<std::uint32_t>(stream.frames), stream.data.data(), stream.data.size());
}

bool WritePcmWav(const std::string& path, const std::vector<std::int16_t>& pcm, int samplesPerSecond, int channels)
{
    std::vector<std::uint8_t> format;
    Put16(format, 1);
    Put16(format, channels);
    Put32(format, static_cast<std::uint32_t>(samplesPerSecond));
    Put32(format, static_cast<std::uint32_t>(samplesPerSecond * channels * 2));
    Put16(format, channels * 2);
    Put16(format, 16);
    std::vector<std::uint8_t> data(pcm.size() * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        data[2 * i] = static_cast<std::uint8_t>(pcm[i] & 0xFF);
        data[2 * i + 1] = static_cast<std::uint8_t>((pcm[i] >> 8) & 0xFF);
    }
    return WriteWav(path, format, static_cast<std::uint32_t>(pcm.size() / channels), data.data(), data.size());
}

std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path, std::string& errors)
{
    const std::string errorsPath = path + ".errors";
    return RunDecoder("ffmpeg -nostdin -v error -i '" + path + "' -f s16le - 2>'" + errorsPath + "'", errorsPath,
                      errors);
}

std::vector<std::int16_t> FfmpegRoundTrip(const std::string& pcmWav, int blockAlign, const std::string& adpcmWav,
                                          std::string& errors)
{
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + pcmWav + "' -c:a adpcm_ms -block_size " +
                                std::to_string(blockAlign) + " '" + adpcmWav + "'";
    if (std::system(command.c_str()) != 0) {
        errors = "failed: " + command;
        return {};
    }
    return DecodeWithFfmpeg(adpcmWav, errors);
}

double SnrDb(const std::vector<std::int16_t>& original, const std::vector<std::int16_t>& decoded)
{
    const std::size_t count = std::min(original.size(), decoded.size());
    double signal = 0.0;
    double noise = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double miss = static_cast<double>(original[i]) - decoded[i];
        signal += static_cast<double>(original[i]) * original[i];
        noise += miss * miss;
    }
    if (noise == 0.0) {
        return 200.0;
    }
    return 10.0 * std::log10(std::max(signal, 1.0) / noise);
}

} // namespace msadpcm_test
