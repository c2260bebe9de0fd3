#include "audio/recording_formats.h"

#include "resources/resource_ids.h"

#include <algorithm>

namespace {
constexpr std::int32_t kFallbackBit = 16; // 22.05 kHz mono 8-bit
constexpr int kFewestWaveBuffers = 3;

// 22.05 kHz first, then 11.025 kHz, then 44.1 kHz.
constexpr std::array<std::int32_t, 12> kPreference = {128, 16, 32, 64, 1, 4, 2, 8, 256, 1024, 512, 2048};

std::string KilohertzText(std::int32_t samplesPerSecond)
{
    std::string text = std::to_string(samplesPerSecond / 1000) + "." + std::to_string(samplesPerSecond % 1000 + 1000).substr(1);
    while (text.back() == '0') {
        text.pop_back();
    }
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}
} // namespace

const std::array<RecordingFormat, 12> kRecordingFormats = {{
    {1, 11025, 1, 8, IDS_FORMAT_11M08},
    {4, 11025, 1, 16, IDS_FORMAT_11M16},
    {2, 11025, 2, 8, IDS_FORMAT_11S08},
    {8, 11025, 2, 16, IDS_FORMAT_11S16},
    {16, 22050, 1, 8, IDS_FORMAT_22M08},
    {64, 22050, 1, 16, IDS_FORMAT_22M16},
    {32, 22050, 2, 8, IDS_FORMAT_22S08},
    {128, 22050, 2, 16, IDS_FORMAT_22S16},
    {256, 44100, 1, 8, IDS_FORMAT_44M08},
    {1024, 44100, 1, 16, IDS_FORMAT_44M16},
    {512, 44100, 2, 8, IDS_FORMAT_44S08},
    {2048, 44100, 2, 16, IDS_FORMAT_44S16},
}};

const RecordingFormat* FindRecordingFormat(std::int32_t bit)
{
    const auto found = std::find_if(kRecordingFormats.begin(), kRecordingFormats.end(),
                                    [bit](const RecordingFormat& format) { return format.bit == bit; });
    return found == kRecordingFormats.end() ? nullptr : &*found;
}

const RecordingFormat& PreferredRecordingFormat(std::uint32_t capabilityMask)
{
    for (const std::int32_t bit : kPreference) {
        if ((capabilityMask & static_cast<std::uint32_t>(bit)) != 0) {
            return *FindRecordingFormat(bit);
        }
    }
    return *FindRecordingFormat(kFallbackBit);
}

std::string RecordingFormatText(const RecordingFormat& format)
{
    return KilohertzText(format.samplesPerSecond) + " kHz, " + (format.channels == 1 ? "mono, " : "stereo, ") +
           std::to_string(format.bitsPerSample) + "-bit";
}

PcmLayout PcmLayoutFor(std::int32_t samplesPerSecond, std::int32_t channels, std::int32_t bitsPerSample)
{
    const std::int32_t blockAlign = bitsPerSample / 8 * channels;
    return {blockAlign, samplesPerSecond * blockAlign};
}

bool MpegLayer3Applies(std::int32_t samplesPerSecond, std::int32_t channels, std::int32_t bitsPerSample)
{
    return samplesPerSecond == 22050 && channels == 2 && bitsPerSample <= 16;
}

std::string AudioFormatDetailText(std::int64_t samplesPerSecond, std::int64_t bitsPerSample, std::int64_t channels,
                                  std::int64_t averageBytesPerSecond)
{
    std::string text = std::to_string(samplesPerSecond) + " Hz, ";
    if (bitsPerSample != 0) {
        text += std::to_string(bitsPerSample) + " Bit, ";
    }
    text += channels == 1 ? "Mono" : "Stereo";
    text += "      " + std::to_string(averageBytesPerSecond) + " Bytes/sec";
    return text;
}

int WaveBuffersToQueue(std::int32_t samplesPerSecond)
{
    const int forOneSecond = samplesPerSecond > 0 ? (samplesPerSecond + kWaveBufferFrames - 1) / kWaveBufferFrames : 0;
    return std::max(forOneSecond, kFewestWaveBuffers);
}
