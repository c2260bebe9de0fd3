#include "audio/monitor_choice.h"

namespace {
constexpr std::string_view kMonitorOf = "Monitor of ";
constexpr std::size_t kLongestDeviceName = 31;
} // namespace

bool IsMonitor(const std::string& inputName)
{
    return inputName.starts_with(kMonitorOf);
}

int MonitorToRecord(const std::vector<std::string>& inputNames, const std::string& defaultOutput, int chosen)
{
    if (chosen >= 0 && static_cast<std::size_t>(chosen) < inputNames.size() &&
        IsMonitor(inputNames[static_cast<std::size_t>(chosen)])) {
        return chosen;
    }
    const std::string named = (std::string(kMonitorOf) + defaultOutput).substr(0, kLongestDeviceName);
    int first = -1;
    for (std::size_t i = 0; i < inputNames.size(); ++i) {
        if (inputNames[i] == named) {
            return static_cast<int>(i);
        }
        if (first < 0 && IsMonitor(inputNames[i])) {
            first = static_cast<int>(i);
        }
    }
    return first;
}
