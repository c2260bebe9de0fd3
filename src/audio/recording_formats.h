#pragma once
// The twelve PCM formats sound is recorded in, named by the wave input capability bit that a
// device reports for each, and the texts that describe formats to the user.
#include <array>
#include <cstdint>
#include <string>

struct RecordingFormat {
    std::int32_t bit; // the device capability bit, stored as waveinselected
    std::int32_t samplesPerSecond;
    std::int32_t channels;
    std::int32_t bitsPerSample;
    int stringId; // its text in the program's string table
};

// In the order in which the formats are listed to the user.
extern const std::array<RecordingFormat, 12> kRecordingFormats;

// The format the program records in when a device reports the given capability mask: the first of
// its formats in the order of preference, or 22.05 kHz mono 8-bit when it reports none.
const RecordingFormat& PreferredRecordingFormat(std::uint32_t capabilityMask);

// Nullptr when the bit names no recording format.
const RecordingFormat* FindRecordingFormat(std::int32_t bit);

// The list text of a format, for instance "22.05 kHz, stereo, 16-bit".
std::string RecordingFormatText(const RecordingFormat& format);

struct PcmLayout {
    std::int32_t blockAlign;
    std::int32_t averageBytesPerSecond;
};
PcmLayout PcmLayoutFor(std::int32_t samplesPerSecond, std::int32_t channels, std::int32_t bitsPerSample);

// MPEG Layer-3 is offered only for 22.05 kHz stereo of at most 16 bits.
bool MpegLayer3Applies(std::int32_t samplesPerSecond, std::int32_t channels, std::int32_t bitsPerSample);

// "22050 Hz, 16 Bit, Stereo      88200 Bytes/sec"; the bit part is left out for 0 bits.
std::string AudioFormatDetailText(std::int64_t samplesPerSecond, std::int64_t bitsPerSample, std::int64_t channels,
                                  std::int64_t averageBytesPerSecond);

// Sample frames in each buffer handed to the wave input device.
constexpr std::int32_t kWaveBufferFrames = 1000;

// Buffers to queue at the device: a second of sound, and never fewer than 3, so that a main
// thread busy for a moment (a few hundred milliseconds of work) loses none of it.
int WaveBuffersToQueue(std::int32_t samplesPerSecond);
