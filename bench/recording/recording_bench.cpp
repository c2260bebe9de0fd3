// Records a screen region through the real engine for a while and reports frames written per
// second, processor time per frame and per stage, and memory. Also shows the moving picture that is
// recorded, in a process of its own: Wine paints windows in the painting process, whose processor
// time would otherwise count as the engine's. Started under Wine without glibc's heap setting, it relaunches itself as framelark.exe does.
//   recording_bench record <left> <top> <width> <height> <timelapse> <seconds> [zmbv] [marks]
//                                                     with marks, clicks and keys shown, a click
//                                                     and a typed key 4 times a second
//   recording_bench animate <seconds>
//   recording_bench grab <width> <height> <count> [marks]  the frame grab alone; with marks, a click
//                                                     and a typed key 4 times a second are drawn in
//   recording_bench write <width> <height> <count>    grab, then the movie write alone
//   recording_bench journal <count>                   what the crash journal adds to each write
#include "app/heap_relaunch.h"
#include "app/heap_relaunch_rules.h"
#include "audio/movie_index.h"
#include "codec/video1_driver.h"
#include "codec/video1_install.h"
#include "codec/zmbv_driver.h"
#include "common/fourcc.h"
#include "messages/private_messages.h"
#include "recording/frame_grab.h"
#include "recording/input_event_log.h"
#include "recording/movie_writer.h"
#include "recording/recording_journal.h"
#include "recording/record_command.h"
#include "recording/recording_arithmetic.h"
#include "recording/stage_times.h"
#include "settings/app_settings.h"
#include "win/handles.h"

#include <psapi.h>
#include <vfw.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {
UINT g_endmessage = 0;

// Full-screen bars that move a few pixels at every tick, so that every frame differs.
LRESULT CALLBACK Animate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static int shift = 0;
    if (message == WM_TIMER) {
        shift += 7;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        for (int x = -64; x < client.right; x += 32) {
            const int band = (x + shift) / 32;
            GdiBrush brush(CreateSolidBrush(RGB(band * 53 % 256, band * 97 % 256, band * 31 % 256)));
            const RECT bar{x + shift % 32, 0, x + shift % 32 + 32, client.bottom};
            FillRect(dc, &bar, brush.get());
        }
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER_GENERIC_MSG) {
        g_endmessage = message;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateWindowOf(const char* className, WNDPROC procedure, DWORD exStyle, DWORD style, int width, int height)
{
    WNDCLASSA cls{};
    cls.lpfnWndProc = procedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = className;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassA(&cls);
    return CreateWindowExA(exStyle, className, "", style, 0, 0, width, height, nullptr, nullptr, cls.hInstance, nullptr);
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

// One of our compressors with its compress calls credited to the encoder stage.
template <LRESULT(CALLBACK* Driver)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM)>
LRESULT CALLBACK Timed(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2)
{
    if (message == ICM_COMPRESS) {
        const StageTimer timer(RecordingStage::Encoder);
        return Driver(driverId, driver, message, param1, param2);
    }
    return Driver(driverId, driver, message, param1, param2);
}

// Video 1 unless told "zmbv" (the lossless one).
DWORD g_handler = kFourCCVideo1;

// A quick hand: a click and a typed key every kInputEveryMs, at (x, y) on the screen.
constexpr DWORD kInputEveryMs = 250;

void AddInput(DWORD now, int i, int x, int y)
{
    InputEvent click;
    click.kind = InputEvent::Kind::Click;
    click.click = {now, static_cast<MouseButton>(i % 3), x, y};
    InputEvents().Add(click);
    InputEvent key;
    key.key = {now, 'A' + i % 26, false, false};
    InputEvents().Add(key);
}

void ShowMarks(bool marks)
{
    AppSettings& settings = Settings();
    settings.g_showclicks = marks ? 1 : 0;
    settings.g_showkeys = marks ? 1 : 0;
    settings.g_shortcutsonly = 0;
}

// During a recording, from the main window's timer.
void CALLBACK InputTimer(HWND, UINT, UINT_PTR, DWORD)
{
    static int count = 0;
    const ScreenRect& region = Settings().g_capturerect;
    AddInput(timeGetTime(), count++, (region.left + region.right) / 2, (region.top + region.bottom) / 2);
}

bool InstallTimedCompressor()
{
    const auto driver = g_handler == kFourCCZmbv ? &Timed<ZmbvDriverProc> : &Timed<Video1DriverProc>;
    return ICInstall(ICTYPE_VIDEO, g_handler, reinterpret_cast<LPARAM>(driver), nullptr, ICINSTALL_FUNCTION) != FALSE;
}

void RemoveTimedCompressor()
{
    ICRemove(ICTYPE_VIDEO, g_handler, 0);
}

bool g_relaunched = false;

// How this process got glibc's heap setting: from its launcher, through the relaunch, or not at all.
const char* HeapSetting()
{
    if (g_relaunched) {
        return "relaunched";
    }
    return GetEnvironmentVariableA(kFastHeapSettings[0].name, nullptr, 0) != 0 ? "launcher" : "none";
}

void PrintStages(const char* what)
{
    const auto ms = RecordingStageMsPerFrame();
    std::printf("stages %s cpu_ms_per_frame grab=%.2f cursor=%.2f encoder=%.2f writer=%.2f (one frame in %d timed)\n",
                what, ms[0], ms[1], ms[2], ms[3], kStageSampleEvery);
}

double ProcessorMs()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters;
}

// Slots that carry data: the frames the loop wrote (empty slots have none).
long WrittenFrames(const std::string& path, long* length)
{
    std::ifstream file(path, std::ios::binary);
    const std::optional<MovieContents> movie = ReadMovie(file);
    *length = movie && !movie->chunks.empty() ? static_cast<long>(movie->chunks[0].size()) : 0;
    return *length ? static_cast<long>(std::count_if(movie->chunks[0].begin(), movie->chunks[0].end(),
                                                     [](const MovieChunkEntry& chunk) { return chunk.size > 0; }))
                   : 0;
}

int Record(int left, int top, int width, int height, int timelapse, int seconds, bool marks)
{
    AppSettings& s = Settings();
    WindowDC screen(nullptr);
    s.g_capturebits = GetDeviceCaps(screen.get(), BITSPIXEL);
    s.g_screenwidth = GetSystemMetrics(SM_CXSCREEN);
    s.g_screenheight = GetSystemMetrics(SM_CYSCREEN);
    s.compfccHandler = static_cast<std::int32_t>(g_handler);
    s.timelapse = timelapse;
    s.frames_per_second = timelapse > 0 ? 1000 / timelapse : 200;
    s.flashingRect = 0;
    s.recordaudio = 0;
    s.g_capturerect = ScreenRect{left, top, left + width - 1, top + height - 1};
    if (!InstallTimedCompressor()) {
        std::fprintf(stderr, "no compressor\n");
        return 1;
    }
    ShowMarks(marks);
    s.g_mainwindow = CreateWindowOf("FramelarkBenchMain", &MainProcedure, 0, WS_OVERLAPPED, 10, 10);
    PumpFor(500);
    if (marks) {
        SetTimer(s.g_mainwindow, 1, kInputEveryMs, &InputTimer);
    }

    const std::size_t workingSetBefore = Memory().WorkingSetSize;
    std::size_t lowest = SIZE_MAX;
    std::size_t highest = 0;
    MeasureRecordingStages(true);
    const double cpuStart = ProcessorMs();
    const DWORD start = GetTickCount();
    OnRecordStart();
    for (int elapsed = 0; elapsed < seconds; elapsed += 10) {
        PumpFor(static_cast<DWORD>(std::min(10, seconds - elapsed) * 1000));
        const PROCESS_MEMORY_COUNTERS memory = Memory();
        lowest = std::min(lowest, memory.WorkingSetSize);
        highest = std::max(highest, memory.WorkingSetSize);
        std::printf("memory t=%ds working_set_kb=%zu private_kb=%zu\n", std::min(elapsed + 10, seconds),
                    memory.WorkingSetSize / 1024, memory.PagefileUsage / 1024);
    }
    s.g_paused = 0;
    s.g_isrecording = 0;
    const DWORD stop = GetTickCount();
    while (g_endmessage == 0) {
        PumpFor(20);
    }
    const double cpu = ProcessorMs() - cpuStart;
    long length = 0;
    const long frames = WrittenFrames(s.g_tempmoviepath, &length);
    long long movieBytes = 0;
    if (WIN32_FILE_ATTRIBUTE_DATA file{}; GetFileAttributesExA(s.g_tempmoviepath.c_str(), GetFileExInfoStandard, &file)) {
        movieBytes = (static_cast<long long>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
    }
    DeleteFileA(s.g_tempmoviepath.c_str());
    DeleteJournalOf(s.g_tempmoviepath);
    const double wall = (stop - start) / 1000.0;
    const double frameBytes = LayoutFor(width, height, s.g_capturebits).blockSize;
    std::printf("result region=%dx%d timelapse=%d marks=%d heap=%s frames=%ld timeline=%ld wall_s=%.1f fps=%.1f "
                "cpu_ms_per_frame=%.2f cpu_ns_per_pixel=%.2f peak_working_set_kb=%zu ended=%s codec=%s movie_bytes=%lld\n",
                width, height, timelapse, marks ? 1 : 0, HeapSetting(), frames, length, wall, frames / wall, frames ? cpu / frames : 0.0,
                frames ? cpu * 1e6 / frames / (static_cast<double>(width) * height) : 0.0,
                Memory().PeakWorkingSetSize / 1024, g_endmessage == WM_USER_GENERIC_MSG ? "complete" : "interrupted",
                g_handler == kFourCCZmbv ? "zmbv" : "video1", movieBytes);
    PrintStages("record");
    // Frames' worth of memory that the recording added at its peak, and how far the samples spread.
    std::printf("memory_summary frame_kb=%.0f peak_over_start_frames=%.2f sample_spread_frames=%.2f\n",
                frameBytes / 1024, (static_cast<double>(Memory().PeakWorkingSetSize) - workingSetBefore) / frameBytes,
                highest >= lowest ? static_cast<double>(highest - lowest) / frameBytes : 0.0);
    MeasureRecordingStages(false);
    RemoveTimedCompressor();
    return g_endmessage == WM_USER_GENERIC_MSG ? 0 : 1;
}
// The recording's grabs, one after another on this thread.
int GrabOnly(int width, int height, int count, bool marks)
{
    AppSettings& settings = Settings();
    settings.g_capturebits = GetDeviceCaps(WindowDC(nullptr).get(), BITSPIXEL);
    ShowMarks(marks);
    CFrameGrabber grabber(width, height);
    MeasureRecordingStages(true);
    const double cpuStart = ProcessorMs();
    const DWORD start = GetTickCount();
    DWORD lastInput = 0;
    for (int i = 0; i < count; ++i) {
        if (const DWORD now = timeGetTime(); marks && now - lastInput >= kInputEveryMs) {
            lastInput = now;
            AddInput(now, i, width / 2, height / 2);
        }
        StartStageFrame();
        grabber.Grab(0, 0);
    }
    const DWORD wall = GetTickCount() - start;
    std::printf("grab region=%dx%d bits=%d heap=%s marks=%d wall_ms_per_frame=%.2f cpu_ms_per_frame=%.2f\n", width,
                height, settings.g_capturebits, HeapSetting(), marks ? 1 : 0, static_cast<double>(wall) / count,
                (ProcessorMs() - cpuStart) / count);
    PrintStages("grab");
    MeasureRecordingStages(false);
    return 0;
}
// Frames of the moving picture are grabbed first; only the writes are timed, 8 slots apart as at
// timelapse 5.
int WriteOnly(int width, int height, int count)
{
    AppSettings& s = Settings();
    s.g_capturebits = GetDeviceCaps(WindowDC(nullptr).get(), BITSPIXEL);
    s.compfccHandler = static_cast<std::int32_t>(g_handler);
    InstallTimedCompressor();
    HWND animation = CreateWindowOf("FramelarkBenchAnimation", &Animate, WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE,
                                    GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SetTimer(animation, 1, 15, nullptr);
    std::vector<FramePtr> frames;
    for (int i = 0; i < count; ++i) {
        PumpFor(20);
        frames.emplace_back(GrabFrame(0, 0, width, height, true));
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "framelark_write_bench.avi";
    CMovieWriter movie;
    if (movie.Open(path, 200, frames.front().get()) != 0) {
        return 1;
    }
    MeasureRecordingStages(true);
    const double cpuStart = ProcessorMs();
    const DWORD start = GetTickCount();
    for (int i = 0; i < count; ++i) {
        StartStageFrame();
        movie.Write(frames[static_cast<std::size_t>(i)].get(), static_cast<std::uint32_t>(i * 8));
    }
    const DWORD wall = GetTickCount() - start;
    std::printf("write region=%dx%d wall_ms_per_frame=%.2f cpu_ms_per_frame=%.2f\n", width, height,
                static_cast<double>(wall) / count, (ProcessorMs() - cpuStart) / count);
    PrintStages("write");
    MeasureRecordingStages(false);
    movie.ReleaseOptions();
    movie.ReleaseMovie();
    DeleteFileA(path.c_str());
    DestroyWindow(animation);
    RemoveTimedCompressor();
    return 0;
}
// The work each frame's write gains for the journal: one record written (the movie writer knows
// the stored size and key flag), 8 slots apart, a key frame every 200 slots as by default.
int JournalOnly(int count)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "framelark_journal_bench.avi";
    CRecordingJournal journal;
    journal.Open(path, {200, 1, 0, std::vector<std::uint8_t>(40)});
    LARGE_INTEGER frequency{};
    LARGE_INTEGER begin{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    for (int i = 0; i < count; ++i) {
        journal.AddFrame({static_cast<std::uint32_t>(i * 8), 150000, i % 25 == 0});
    }
    QueryPerformanceCounter(&end);
    std::printf("journal frames=%d wall_us_per_frame=%.1f\n", count,
                static_cast<double>(end.QuadPart - begin.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart) / count);
    journal.Close();
    DeleteJournalOf(path);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    g_relaunched = GetEnvironmentVariableA(kRelaunchedByVariable, nullptr, 0) != 0;
    if (const std::optional<int> relaunched = RunRelaunchedWithFastHeap()) {
        return *relaunched;
    }
    RegisterPrivateMessages();
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "animate" && argc == 3) {
        HWND animation = CreateWindowOf("FramelarkBenchAnimation", &Animate, WS_EX_TOOLWINDOW, WS_POPUP | WS_VISIBLE,
                                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        SetTimer(animation, 1, 15, nullptr);
        PumpFor(static_cast<DWORD>(std::atoi(argv[2]) * 1000));
        return 0;
    }
    if (mode == "write" && argc == 5) {
        return WriteOnly(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    }
    if (mode == "journal" && argc == 3) {
        return JournalOnly(std::atoi(argv[2]));
    }
    if (mode == "grab" && (argc == 5 || (argc == 6 && std::string(argv[5]) == "marks"))) {
        return GrabOnly(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argc == 6);
    }
    const auto given = [&](const char* option) { return std::find(argv + 8, argv + argc, std::string(option)) != argv + argc; };
    if (mode == "record" && argc >= 8 && argc - 8 == given("zmbv") + given("marks")) {
        g_handler = given("zmbv") ? kFourCCZmbv : kFourCCVideo1;
        const bool marks = given("marks");
        return Record(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]),
                      std::atoi(argv[7]), marks);
    }
    std::fprintf(stderr, "usage: recording_bench record <left> <top> <width> <height> <timelapse> <seconds> [zmbv] [marks]\n"
                         "       recording_bench animate <seconds>\n"
                         "       recording_bench grab <width> <height> <count> [marks]\n"
                         "       recording_bench write <width> <height> <count>\n"
                         "       recording_bench journal <count>\n");
    return 2;
}
