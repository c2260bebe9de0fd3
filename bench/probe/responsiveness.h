#pragma once
// What a user meets while the program works: round trips of messages to a window, taken from
// another thread, and an idle window in another process probed alongside to tell the machine's
// delays from the program's. Shared by the benchmarks that watch a save or a conversion.
#include <windows.h>

#include <string>
#include <vector>

struct Probe {
    double sent;
    double trip;
    double mainWork = 0; // processor time of the main thread during a probe of the main window
    int position = 0;    // of the progress bar when it was sent
};

// Seconds on the performance counter.
double Now();
// Processor time of a thread in seconds, user and kernel.
double ProcessorSeconds(HANDLE thread);
// Seconds until the window answered a WM_NULL (30 s at most).
double RoundTrip(HWND window);
// The slowest probe of those that overlap the given one.
double WorstOverlapping(const Probe& probe, const std::vector<Probe>& others);
double Percentile(std::vector<double> values, double share);
void PrintTrips(const char* what, const std::vector<Probe>& probes);

// A window of its own that does nothing but answer; runs until its process ends.
int Idle();
// The idle window of another process, or null after 10 s.
HWND FindIdleWindow();

// Types the name into the Save dialog once it shows on the given thread.
void AnswerSaveDialog(DWORD mainThread, std::string name);
