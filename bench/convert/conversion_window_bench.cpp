// A long full-HD recording saved as MP4 the way the program does it after a stop (the Save dialog
// answered with a .mp4 name, the AVI saved, then ffmpeg.exe run by the conversion), and what a user
// meets meanwhile: round trips of messages to the main window every 20 ms while ffmpeg runs, the
// idle window of another process probed alongside, and every position the progress bar took.
// With "cancel", the progress window's Cancel is clicked once the bar reaches 50: the AVI must stay
// and neither the MP4 nor its partial file may be left.
//   conversion_window_bench FOLDER FFMPEG SECONDS [cancel]
//   conversion_window_bench idle
// The recording is made first in the temporary folder, as the program writes it: ZMBV at
// 1920 x 1080, a picture every 10 slots of the 200 frames/s time line (20 a second), a window
// dragged over a desktop of text.
#include "app/convert_progress_dialog.h"
#include "app/recording_completion.h"
#include "codec/zmbv_install.h"
#include "messages/private_messages.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/background_work.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "responsiveness.h"
#include "zmbv_recording.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPicturesPerSecond = 20;
constexpr std::uint32_t kSlotsPerPicture = 200 / kPicturesPerSecond;
constexpr int kCancelAt = 50;

CRecordingCompletion* g_completion = nullptr;
CConvertProgressDialog* g_progress = nullptr;
bool g_cancel = false;
bool g_cancelled = false;
std::vector<int> g_positions; // of the progress bar while ffmpeg ran, in order
std::atomic<bool> g_converting{false};
std::atomic<bool> g_done{false};
std::atomic<int> g_position{0};
double g_cancelledAt = 0;

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSaveDoneMessage) {
        const CRecordingCompletion::Step step = g_completion->OnSaveDone(window);
        g_converting = step == CRecordingCompletion::Step::ConvertStarted;
        g_done = !g_converting;
        return 0;
    }
    if (message == kConvertDoneMessage) {
        g_converting = false;
        g_completion->OnConvertDone(window);
        g_done = true;
        return 0;
    }
    if (message == MergeProgressMessage) {
        g_progress->SetPosition(static_cast<int>(wParam));
        if (g_converting) {
            g_positions.push_back(static_cast<int>(wParam));
            g_position = static_cast<int>(wParam);
            if (g_cancel && !g_cancelled && static_cast<int>(wParam) >= kCancelAt) {
                // As a click on the progress window's Cancel button arrives.
                g_cancelled = true;
                g_cancelledAt = Now();
                const HWND button = GetDlgItem(g_progress->hwnd(), IDC_CONVERTPROGRESS_CANCEL);
                PostMessageA(g_progress->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_CONVERTPROGRESS_CANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
            }
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A desktop of text lines, with a window dragged across it and the seconds counted in its title.
void DrawPicture(std::vector<std::uint8_t>& pixels, int n)
{
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * kWidth * 4;
        for (int x = 0; x < kWidth; ++x) {
            const bool ink = (y % 20) < 12 && ((x / 7 + y / 20 * 3) % 11) < 8 && ((x * 7 + y * 3) % 5) < 2;
            const std::uint8_t shade = ink ? 30 : 235;
            row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = shade;
            row[4 * x + 3] = 0;
        }
    }
    const int left = (n * 6) % (kWidth - 640);
    const int top = 100 + (n * 3) % (kHeight - 600);
    for (int y = top; y < top + 480; ++y) {
        std::uint8_t* row = pixels.data() + static_cast<std::size_t>(kHeight - 1 - y) * kWidth * 4;
        for (int x = left; x < left + 640; ++x) {
            const bool title = y < top + 24;
            const bool digit = title && x < left + 40 + (n / kPicturesPerSecond) % 60 * 8 && x > left + 40;
            row[4 * x] = title ? (digit ? 255 : 160) : static_cast<std::uint8_t>(x - left);
            row[4 * x + 1] = title ? 80 : static_cast<std::uint8_t>(y - top);
            row[4 * x + 2] = title ? 20 : 200;
        }
    }
}

// OK on the note that follows a cancelled conversion, once it shows.
void AnswerNotes(const std::atomic<bool>& stop)
{
    while (!stop) {
        if (const HWND note = FindWindowA("#32770", "Note"); note && IsWindowVisible(note)) {
            char text[512] = {};
            GetDlgItemTextA(note, 0xFFFF, text, sizeof(text));
            std::printf("note: %s\n", text);
            PostMessageA(note, WM_COMMAND, IDOK, 0);
            Sleep(500);
        }
        Sleep(100);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "idle") {
        return Idle();
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: conversion_window_bench FOLDER FFMPEG SECONDS [cancel] | idle\n");
        return 2;
    }
    const std::string folder = argv[1];
    const int seconds = std::atoi(argv[3]);
    g_cancel = argc > 4 && std::string(argv[4]) == "cancel";
    RegisterPrivateMessages();
    if (!ChooseZmbv(kWidth, kHeight)) {
        return 1;
    }
    AppSettings& settings = Settings();
    settings.launchPlayer = 0;
    settings.ffmpegPath = argv[2];
    const std::string movie = GetTempDirectory() + "\\~convertbench.avi";
    const double madeFrom = Now();
    if (!WriteZmbvRecording(movie, kWidth, kHeight, seconds * kPicturesPerSecond, kSlotsPerPicture, &DrawPicture)) {
        std::fprintf(stderr, "the recording could not be written\n");
        return 1;
    }
    std::printf("recording: %d s, ZMBV %d x %d, %.1f MB, made in %.1f s\n", seconds, kWidth, kHeight,
                FileSize(movie).value_or(0) / 1e6, Now() - madeFrom);

    const HWND main = CreateMainWindow("ConversionBenchMain", &MainProcedure);
    CConvertProgressDialog progress;
    progress.Create(main);
    CRecordingCompletion completion(progress);
    g_completion = &completion;
    g_progress = &progress;
    settings.g_mainwindow = main;

    const std::string mp4 = folder + "\\converted.mp4";
    const std::string avi = folder + "\\converted.avi";
    std::atomic<bool> probing{true};
    std::atomic<bool> proberDone{false};
    std::vector<Probe> probes;
    std::vector<Probe> idleProbes;
    const HWND idle = FindWindowA("SaveBenchIdle", nullptr);
    const KernelHandle mainThread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()));
    double convertingFrom = 0;
    double convertingTo = 0;
    std::thread prober([&] {
        while (probing) {
            if (!g_converting) {
                Sleep(5);
                continue;
            }
            if (convertingFrom == 0) {
                convertingFrom = Now();
            }
            const double work = ProcessorSeconds(mainThread.get());
            const int position = g_position;
            const double sent = Now();
            const double trip = RoundTrip(main);
            probes.push_back({sent, trip, ProcessorSeconds(mainThread.get()) - work, position});
            convertingTo = Now();
            Sleep(20);
        }
        proberDone = true;
    });
    std::thread idleProber = ProbeIdleWindow(idle, probing, g_converting, idleProbes);
    std::atomic<bool> stopAnswering{false};
    std::thread answerer(&AnswerSaveDialog, GetCurrentThreadId(), mp4);
    std::thread noteAnswerer(&AnswerNotes, std::cref(stopAnswering));
    completion.AddRecovered({{movie, "", false}});
    g_done = completion.Next(main) != CRecordingCompletion::Step::SaveStarted;
    MSG message;
    while (!g_done && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    probing = false;
    stopAnswering = true;
    PumpUntil(proberDone);
    prober.join();
    idleProber.join();
    answerer.join();
    noteAnswerer.join();

    std::printf("ffmpeg ran %.1f s\n", convertingTo - convertingFrom);
    PrintTrips("main window", probes);
    PrintTrips("idle window of another process", idleProbes);
    PrintSlowProbes(probes, idleProbes, "conversion");
    std::size_t backwards = 0;
    for (std::size_t i = 1; i < g_positions.size(); ++i) {
        backwards += g_positions[i] < g_positions[i - 1] ? 1 : 0;
    }
    std::printf("progress bar: %zu positions, %zu of them backwards, first %d, last %d\n", g_positions.size(),
                backwards, g_positions.empty() ? -1 : g_positions.front(), g_positions.empty() ? -1 : g_positions.back());
    BackgroundWork().Drain(); // the AVI of a finished conversion goes on the background queue
    const bool aviLeft = FileExists(avi);
    const bool mp4Left = FileExists(mp4);
    const bool partialLeft = FileExists(mp4 + ".partial");
    if (g_cancelled) {
        std::printf("cancelled at %d: the last probe %.0f ms later; AVI %s, MP4 %s, partial file %s\n", kCancelAt,
                    (convertingTo - g_cancelledAt) * 1000, aviLeft ? "saved" : "MISSING", mp4Left ? "LEFT" : "none",
                    partialLeft ? "LEFT" : "none");
    } else {
        std::printf("MP4 %.1f MB; AVI %s; partial file %s\n", FileSize(mp4).value_or(0) / 1e6,
                    aviLeft ? "LEFT" : "gone", partialLeft ? "LEFT" : "none");
    }
    DestroyWindow(main);
    RemoveZmbv();
    const bool right = g_cancelled ? aviLeft && !mp4Left && !partialLeft : mp4Left && !aviLeft && !partialLeft;
    return right && backwards == 0 ? 0 : 1;
}
