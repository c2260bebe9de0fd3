#pragma once
// What a user meets while the program works: round trips of messages to a window, taken from
// another thread, and an idle window in another process probed alongside to tell the machine's
// delays from the program's. Shared by the benchmarks that watch a save or a conversion.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
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

// The slow probes of the main window (over 100 ms), each with the idle window's slowest meanwhile.
void PrintSlowProbes(const std::vector<Probe>& probes, const std::vector<Probe>& idleProbes, const char* during);
// A hidden top-level window of a class of its own, standing in for the program's main window.
HWND CreateMainWindow(const char* className, WNDPROC procedure);
// Probes the idle window every 20 ms while active holds, until running ends.
std::thread ProbeIdleWindow(HWND idle, const std::atomic<bool>& running, const std::atomic<bool>& active,
                            std::vector<Probe>& into);
// Dispatches the thread's messages until done: a probe on its way is answered, not left to time out.
void PumpUntil(const std::atomic<bool>& done);
// Dispatches the thread's messages for at most that long, or until done() says so.
void PumpFor(double seconds, const std::function<bool()>& done);

// A piece of work run on a window's thread that only pumps its messages, with that window and the
// idle window of another process probed every 2 ms from before it starts until after done().
struct ProbedRun {
    double took = 0;
    std::vector<Probe> mainProbes;
    std::vector<Probe> idleProbes;
};
ProbedRun Probed(HWND main, HWND idle, const std::function<void()>& start, const std::function<bool()>& done);
void PrintRun(const ProbedRun& run);

// A window of its own that does nothing but answer; runs until its process ends.
int Idle();
// The idle window of another process, or null after 10 s.
HWND FindIdleWindow();

// Types the name into the Save dialog once it shows on the given thread.
void AnswerSaveDialog(DWORD mainThread, std::string name);
