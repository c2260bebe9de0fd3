#pragma once
// When and how the program starts itself again through Wine's Unix loader, so that glibc in the new
// process keeps its heap instead of handing screen-sized buffers back to the system after every
// frame (each frame then faults in megabytes of fresh pages).
#include <functional>
#include <optional>
#include <string>

struct EnvironmentSetting {
    const char* name;
    const char* value;
};
// glibc reads these once, when a process starts. Without mmap, buffers above glibc's 32 MB cap on
// the mmap threshold (a 3840 x 2160 screen image) come from the heap too and stay there. One arena:
// a thread's own arena gives a whole sub-heap back to the system once it is free, whatever the
// trim threshold, and a 4K screen image takes one of its own every frame. No MALLOC_TOP_PAD_: with
// it, about one Wine start in ten fails before the program runs.
inline constexpr EnvironmentSetting kFastHeapSettings[] = {
    {"MALLOC_TRIM_THRESHOLD_", "1073741824"},
    {"MALLOC_MMAP_MAX_", "0"},
    {"MALLOC_ARENA_MAX", "1"},
};
// Set in the relaunched process: it never relaunches again. Holds the first process's id.
inline constexpr char kRelaunchedByVariable[] = "FRAMELARK_RELAUNCHED_BY";

using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// Under Wine, not relaunched already, and the heap's trim threshold not set by the user (directly or
// as a glibc tunable).
bool ShouldRelaunchForHeap(bool underWine, const EnvironmentLookup& lookup);

// The program's arguments: the command line without its first (possibly quoted) word.
std::string ArgumentsOf(const std::string& commandLine);

// "loader" "program" arguments
std::string RelaunchCommandLine(const std::string& loader, const std::string& program, const std::string& arguments);
