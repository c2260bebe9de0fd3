#pragma once
// What a test needs to know of a recorded WAV file: its format, its length and its pitch.
#include <cstdint>
#include <string>
#include <vector>

struct RecordedSound {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint32_t dataBytes = 0;
    std::vector<double> mono; // samples of the channels mixed, -1 to 1

    double Seconds() const;
};

// A file laid out as our writer writes PCM; formatTag stays 0 when it is not one.
RecordedSound ReadRecordedSound(const std::string& fileContents);

// The frequency of the strongest tone between 100 Hz and 2 kHz in a stretch of the sound, in 1 Hz steps.
int DominantFrequency(const RecordedSound& sound, double fromSecond, double seconds);
