#include "audio/monitor_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(MonitorChoice, TheChosenMonitorElseTheDefaultOutputsElseTheFirst)
{
    const std::vector<std::string> wine = {"PulseAudio", "Monitor of Null Output", "Monitor of Speakers"};
    const struct {
        std::vector<std::string> inputs;
        std::string output;
        int chosen;
        int recorded;
    } cases[] = {
        {wine, "Speakers", -1, 2},
        {wine, "PulseAudio", -1, 1},
        {wine, "PulseAudio", 2, 2},
        {wine, "Speakers", 1, 1},
        {wine, "Speakers", 0, 2},  // not a monitor
        {wine, "Speakers", 7, 2},  // gone since it was chosen
        // A device name holds 31 characters.
        {{"Monitor of HDMI", "Monitor of Built-in Audio Analo"}, "Built-in Audio Analog Stereo", -1, 1},
        {{"PulseAudio", "Microphone (USB)"}, "Speakers", -1, -1},
        {{}, "Speakers", 0, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MonitorToRecord(c.inputs, c.output, c.chosen), c.recorded) << c.output << ", chosen " << c.chosen;
    }
}

} // namespace
