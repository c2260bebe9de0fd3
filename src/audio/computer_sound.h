#pragma once
// The computer's own sound, captured on a thread of its own: what the default output plays,
// through WASAPI loopback where the system has it; elsewhere (Wine 8, which accepts the loopback
// flag but then opens a playback stream) through the wave input device that monitors the output.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ComputerSound {
public:
    struct Layout {
        int rate = 0;
        int channels = 0;
        std::uint32_t speakerMask = 0; // 0: the usual speakers for the channel count
    };
    // Frames as floats, the first captured `seconds` after the start time given to Start.
    using Deliver = std::function<void(double seconds, const float* frames, std::size_t count)>;

    virtual ~ComputerSound() = default;
    virtual Layout layout() const = 0;
    // The device, for notes: "Speakers (loopback)", "Monitor of Speakers".
    virtual std::string name() const = 0;
    // Starts the capture thread; startMs is on timeGetTime's clock. `ended` is called on that
    // thread once the device went away (unplugged, its sound server restarted).
    virtual bool Start(std::uint32_t startMs, Deliver deliver, std::function<void()> ended) = 0;
    // Ends the thread once what was captured has been delivered.
    virtual void Stop() = 0;
};

// What the user may choose from: the default output's loopback where the system has one; else
// the monitors (wave input id and name, by name), of which `recorded` is the one a recording takes.
struct ComputerSoundChoices {
    std::string loopback;
    std::vector<std::pair<int, std::string>> monitors;
    int recorded = -1;
};
ComputerSoundChoices ListComputerSound(int chosenMonitor);

// Nullptr where neither source exists. A monitor is opened at rate and channels; chosenMonitor is
// the wave input the user picked, -1 for the one named after the default output.
std::unique_ptr<ComputerSound> OpenComputerSound(int rate, int channels, int chosenMonitor);
