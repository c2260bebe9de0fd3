#pragma once
// Under Wine without glibc's fast heap setting, the program runs once more through Wine's Unix
// loader, which hands the setting to the new process; this one then only waits for it.
#include <optional>

// The relaunched run's exit code, or nothing when this process is to run the program itself: on
// Windows, in the relaunched process, with the setting already there, or when the relaunch failed.
std::optional<int> RunRelaunchedWithFastHeap();
