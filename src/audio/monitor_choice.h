#pragma once
// Which wave input device records what the default output plays, where the system offers no
// loopback: PulseAudio lists a monitor of every output ("Monitor of Speakers"). Under Wine 8 the
// default output is named "PulseAudio" whatever it is, and the list's order is arbitrary, so with
// several outputs the user chooses.
#include <string>
#include <vector>

// The chosen input where it is a monitor; else "Monitor of <defaultOutput>" (names are cut to the
// 31 characters a device name holds); else the first monitor; -1 when no name starts with
// "Monitor of ".
int MonitorToRecord(const std::vector<std::string>& inputNames, const std::string& defaultOutput, int chosen);

bool IsMonitor(const std::string& inputName);
