#include "responsiveness.h"

#include <commdlg.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <limits>

double Now()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

double ProcessorSeconds(HANDLE thread)
{
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const auto seconds = [](const FILETIME& time) {
        return static_cast<double>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double RoundTrip(HWND window)
{
    const double sent = Now();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    return Now() - sent;
}

double WorstOverlapping(const Probe& probe, const std::vector<Probe>& others)
{
    double worst = 0;
    for (const Probe& other : others) {
        if (other.sent < probe.sent + probe.trip && probe.sent < other.sent + other.trip) {
            worst = std::max(worst, other.trip);
        }
    }
    return worst;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(share * values.size()))];
}

void PrintTrips(const char* what, const std::vector<Probe>& probes)
{
    std::vector<double> trips;
    for (const Probe& probe : probes) {
        trips.push_back(probe.trip * 1000);
    }
    std::printf("%s: %zu round trips, median %.1f ms, 99th percentile %.1f ms, worst %.1f ms, %zd over 100 ms\n", what,
                trips.size(), Percentile(trips, 0.5), Percentile(trips, 0.99), Percentile(trips, 1.0),
                std::count_if(trips.begin(), trips.end(), [](double trip) { return trip > 100; }));
}

void PrintSlowProbes(const std::vector<Probe>& probes, const std::vector<Probe>& idleProbes, const char* during)
{
    const double from = probes.empty() ? 0 : probes.front().sent;
    for (const Probe& probe : probes) {
        if (probe.trip > 0.1) {
            std::printf("  slow probe %.1f s into the %s (progress %d): %.0f ms, the main thread worked %.1f ms of "
                        "it; the idle window's slowest meanwhile %.0f ms\n",
                        probe.sent - from, during, probe.position, probe.trip * 1000, probe.mainWork * 1000,
                        WorstOverlapping(probe, idleProbes) * 1000);
        }
    }
}

HWND CreateMainWindow(const char* className, WNDPROC procedure)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowA(className, "Framelark", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr),
                         nullptr);
}

std::thread ProbeIdleWindow(HWND idle, const std::atomic<bool>& running, const std::atomic<bool>& active,
                            std::vector<Probe>& into)
{
    return std::thread([idle, &running, &active, &into] {
        while (idle && running) {
            if (active) {
                const double sent = Now();
                into.push_back({sent, RoundTrip(idle)});
            }
            Sleep(20);
        }
    });
}

void PumpUntil(const std::atomic<bool>& done)
{
    PumpFor(std::numeric_limits<double>::infinity(), [&done] { return done.load(); });
}

void PumpFor(double seconds, const std::function<bool()>& done)
{
    const double until = Now() + seconds;
    MSG message;
    while (Now() < until && !done()) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(1);
    }
}

ProbedRun Probed(HWND main, HWND idle, const std::function<void()>& start, const std::function<bool()>& done)
{
    ProbedRun run;
    std::atomic<bool> probing{true};
    auto probe = [&probing](HWND window, std::vector<Probe>& into) {
        return std::thread([&probing, window, &into] {
            while (probing) {
                const double sent = Now();
                into.push_back({sent, RoundTrip(window)});
                Sleep(2);
            }
        });
    };
    std::thread mainProber = probe(main, run.mainProbes);
    std::thread idleProber = probe(idle, run.idleProbes);
    PumpFor(0.3, [] { return false; });
    const double began = Now();
    start();
    PumpFor(600, done);
    run.took = Now() - began;
    PumpFor(0.3, [] { return false; });
    probing = false;
    PumpFor(1, [] { return false; });
    mainProber.join();
    idleProber.join();
    return run;
}

void PrintRun(const ProbedRun& run)
{
    PrintTrips("main window", run.mainProbes);
    PrintTrips("idle window of another process", run.idleProbes);
}

int Idle()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SaveBenchIdle";
    RegisterClassA(&windowClass);
    CreateWindowA("SaveBenchIdle", "idle", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

HWND FindIdleWindow()
{
    HWND idle = nullptr;
    for (int i = 0; i < 200 && !idle; ++i, Sleep(50)) {
        idle = FindWindowA("SaveBenchIdle", nullptr);
    }
    if (!idle) {
        std::fprintf(stderr, "no idle window\n");
    }
    return idle;
}

void AnswerSaveDialog(DWORD mainThread, std::string name)
{
    for (;;) {
        HWND found = nullptr;
        EnumThreadWindows(
            mainThread,
            [](HWND window, LPARAM result) -> BOOL {
                char title[32] = {};
                GetWindowTextA(window, title, sizeof(title));
                if (IsWindowVisible(window) && lstrcmpA(title, "Save to...") == 0) {
                    *reinterpret_cast<HWND*>(result) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        if (found) {
            Sleep(200);
            HWND field = GetDlgItem(found, edt1) ? GetDlgItem(found, edt1) : GetDlgItem(found, cmb13);
            SetWindowTextA(field, name.c_str());
            PostMessageA(found, WM_COMMAND, IDOK, 0);
            return;
        }
        Sleep(20);
    }
}
