#include "audio/computer_sound.h"

#include "audio/loopback_capture.h"
#include "audio/monitor_capture.h"
#include "audio/monitor_choice.h"

#include <algorithm>

ComputerSoundChoices ListComputerSound(int chosenMonitor)
{
    ComputerSoundChoices choices;
    std::string defaultOutput;
    if (OpenLoopback(defaultOutput)) {
        choices.loopback = defaultOutput;
        return choices;
    }
    const std::vector<std::string> names = WaveInputNames();
    for (std::size_t id = 0; id < names.size(); ++id) {
        if (IsMonitor(names[id])) {
            choices.monitors.emplace_back(static_cast<int>(id), names[id]);
        }
    }
    std::sort(choices.monitors.begin(), choices.monitors.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    choices.recorded = MonitorToRecord(names, defaultOutput, chosenMonitor);
    return choices;
}

std::unique_ptr<ComputerSound> OpenComputerSound(int rate, int channels, int chosenMonitor)
{
    std::string defaultOutput;
    if (auto loopback = OpenLoopback(defaultOutput)) {
        return loopback;
    }
    return OpenMonitor(defaultOutput, chosenMonitor, rate, channels);
}
