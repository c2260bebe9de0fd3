#pragma once
// The wave input device that monitors the default output (PulseAudio's "Monitor of ..." under Wine).
#include "audio/computer_sound.h"

#include <vector>

// The wave input devices' names, by device id.
std::vector<std::string> WaveInputNames();

// Nullptr where no input monitors an output, or it cannot be opened at 16 bits, rate and channels;
// chosen as for MonitorToRecord.
std::unique_ptr<ComputerSound> OpenMonitor(const std::string& defaultOutput, int chosen, int rate, int channels);
