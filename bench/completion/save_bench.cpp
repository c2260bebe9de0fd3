// Saves a long recording with sound as the program does after a stop, and measures what a user
// meets meanwhile: the round trips of messages to the main window, how often the progress bar
// moved, the largest the merge's scratch file grew, the free disk space it took, and the time.
// Alongside, another thread probes an idle window in another process (`idle`) just as often, and
// the main thread's processor time during each probe is taken: a slow probe that the idle window
// shares, with no work of the main thread in it, is the machine's, not the save's.
//   save_bench <folder to save into> <adpcm | pcm> <seconds>
//   save_bench idle
//   save_bench delete <file> <at-once | in-steps>   what deleting a large file costs the idle window
//   save_bench discard <movie>   a recording thrown away as the cancel key does it, the main window
//                                and the idle window probed until the movie is gone
//   save_bench recover <MB>      a recording of that size left by a crash, rebuilt as at the next
//                                start while the main window and the idle window are probed
// The inputs are made first in the temporary folder, as a recording leaves them: a movie of
// small uncompressed frames at 10 frames/s and a 22.05 kHz stereo tone.
#include "app/convert_progress_dialog.h"
#include "app/recording_completion.h"
#include "app/recovery_offer.h"
#include "audio/audio_formats.h"
#include "audio/avi_handles.h"
#include "audio/merge_audio_video.h"
#include "audio/movie_file.h"
#include "audio/odml_writer.h"
#include "audio/wave_file.h"
#include "codec/msadpcm_install.h"
#include "messages/private_messages.h"
#include "recording/recording_journal.h"
#include "settings/app_settings.h"
#include "win/background_work.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/global_block.h"
#include "win/handles.h"
#include "responsiveness.h"

#include <mmreg.h>
#include <msacm.h>
#include <vfw.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <functional>
#include <vector>

namespace {
constexpr int kFramesPerSecond = 10;
constexpr int kWidth = 32;
constexpr int kHeight = 24;
constexpr DWORD kSampleRate = 22050;

CRecordingCompletion* g_completion = nullptr;
CConvertProgressDialog* g_progress = nullptr;
std::set<int> g_positions;
std::atomic<bool> g_done{false};
std::atomic<bool> g_saving{false}; // the first progress has reached the window
std::atomic<int> g_position{0};

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSaveDoneMessage) {
        g_done = g_completion->OnSaveDone(window) == CRecordingCompletion::Step::Done;
        return 0;
    }
    if (message == MergeProgressMessage) {
        g_progress->SetPosition(static_cast<int>(wParam));
        g_positions.insert(static_cast<int>(wParam));
        g_position = static_cast<int>(wParam);
        g_saving = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool WriteMovie(const std::string& path, int seconds)
{
    PAVIFILE rawFile = nullptr;
    if (AVIFileOpenA(&rawFile, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != 0) {
        return false;
    }
    AviFile file(rawFile);
    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
    info.dwScale = 1;
    info.dwRate = kFramesPerSecond;
    SetRect(&info.rcFrame, 0, 0, kWidth, kHeight);
    PAVISTREAM rawStream = nullptr;
    if (AVIFileCreateStreamA(file.get(), &rawStream, &info) != 0) {
        return false;
    }
    AviStream stream(rawStream);
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, BI_RGB, kWidth * kHeight * 3, 0, 0, 0, 0};
    bool written = AVIStreamSetFormat(stream.get(), 0, &header, sizeof(header)) == 0;
    std::vector<BYTE> frame(header.biSizeImage);
    for (int i = 0; written && i < seconds * kFramesPerSecond; ++i) {
        std::fill(frame.begin(), frame.end(), static_cast<BYTE>(i));
        written = AVIStreamWrite(stream.get(), i, 1, frame.data(), static_cast<LONG>(frame.size()), AVIIF_KEYFRAME,
                                 nullptr, nullptr) == 0;
    }
    return written;
}

// The recording format the program would build for 22.05 kHz stereo 16-bit.
const WAVEFORMATEX& Pcm()
{
    AppSettings& settings = Settings();
    settings.waveinselected = WAVE_FORMAT_2S16;
    settings.audio_bits_per_sample = 16;
    settings.audio_num_channels = 2;
    settings.audio_samples_per_seconds = kSampleRate;
    BuildRecordFormat();
    return settings.g_recordformat;
}

bool WriteSound(const std::string& path, int seconds)
{
    WaveFile wave(path, Pcm());
    std::vector<short> second(2 * kSampleRate);
    for (DWORD i = 0; i < kSampleRate; ++i) {
        second[2 * i] = second[2 * i + 1] = static_cast<short>(8000 * std::sin(2 * 3.141592653589793 * 440 * i / kSampleRate));
    }
    for (int s = 0; s < seconds; ++s) {
        if (!wave.Write(second.data(), second.size() * sizeof(short))) {
            return false;
        }
    }
    return true;
}

// The sound format chosen in the Audio Options: MS ADPCM as suggested, or the recorded PCM.
bool ChooseFormat(const std::string& which)
{
    AppSettings& settings = Settings();
    DWORD largest = 0;
    acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
    settings.g_audioformat = GlobalBlock(std::max<DWORD>(largest, sizeof(WAVEFORMATEX)));
    LockedGlobal block(settings.g_audioformat.handle());
    auto* target = block.as<WAVEFORMATEX>();
    WAVEFORMATEX source = Pcm();
    if (which == "pcm") {
        *target = source;
    } else {
        target->wFormatTag = WAVE_FORMAT_ADPCM;
        if (acmFormatSuggest(nullptr, &source, target, largest, ACM_FORMATSUGGESTF_WFORMATTAG) != 0) {
            return false;
        }
    }
    settings.cbwfx = sizeof(WAVEFORMATEX) + target->cbSize;
    settings.bAudioCompression = 1;
    settings.interleaveFrames = 1;
    settings.interleaveFactor = 100;
    settings.interleaveUnit = 0;
    settings.launchPlayer = 0;
    return true;
}

// Deletes the file while another thread probes the idle window: Wine's server frees the blocks.
int Delete(const std::string& path, bool inSteps)
{
    const HWND idle = FindIdleWindow();
    if (!idle) {
        return 1;
    }
    const double size = FileSize(path).value_or(0) / 1e6;
    std::atomic<bool> probing{true};
    std::vector<Probe> probes;
    std::thread prober([&] {
        while (probing) {
            const double sent = Now();
            probes.push_back({sent, RoundTrip(idle)});
            Sleep(2);
        }
    });
    Sleep(300);
    const double start = Now();
    const bool deleted = inSteps ? DeleteLargeFile(path) : DeleteFileA(path.c_str()) != 0;
    const double took = Now() - start;
    Sleep(300);
    probing = false;
    prober.join();
    std::printf("%.0f MB deleted %s: %s in %.0f ms; ", size, inSteps ? "in steps" : "at once", deleted ? "gone" : "NOT gone",
                took * 1000);
    PrintTrips("idle window", probes);
    return deleted ? 0 : 1;
}
// The cancel key's end of a recording: the movie goes on the background queue.
int Discard(const std::string& path)
{
    const HWND idle = FindIdleWindow();
    if (!idle) {
        return 1;
    }
    const HWND main = CreateWindowA("STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    const double size = FileSize(path).value_or(0) / 1e6;
    double handedOver = 0;
    std::atomic<bool> deleted{false};
    std::thread waiter;
    const ProbedRun run = Probed(
        main, idle,
        [&] {
            const double start = Now();
            CRecordingCompletion::Discard({path, "", false});
            handedOver = Now() - start;
            waiter = std::thread([&deleted] {
                BackgroundWork().Drain();
                deleted = true;
            });
        },
        [&deleted] { return deleted.load(); });
    waiter.join();
    std::printf("%.0f MB thrown away: handed over in %.1f ms, %s after %.0f ms\n", size, handedOver * 1000,
                FileExists(path) ? "NOT gone" : "gone", run.took * 1000);
    PrintRun(run);
    DestroyWindow(main);
    return FileExists(path) ? 1 : 0;
}

// A recording as a crash leaves it: the movie written up to its last frame but never finished, and
// its journal beside it. Frames of 640 x 480 uncompressed, each one different.
bool LeaveCrashedRecording(const std::string& movie, std::uint64_t bytes)
{
    constexpr LONG kCrashWidth = 640;
    constexpr LONG kCrashHeight = 480;
    BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), kCrashWidth, kCrashHeight, 1, 24, BI_RGB,
                            kCrashWidth * kCrashHeight * 3, 0, 0, 0, 0};
    const auto* headerBytes = reinterpret_cast<const std::uint8_t*>(&header);
    const JournalStream stream{kFramesPerSecond, 1, mmioFOURCC('D', 'I', 'B', ' '),
                               {headerBytes, headerBytes + sizeof(header)}};
    CMovieFile file(movie);
    OdmlWriter writer(file, {{streamtypeVIDEO, stream.handler, stream.scale, stream.rate, 0, stream.format}});
    CRecordingJournal journal;
    if (!file.IsOpen() || !writer.Start() || !journal.Open(movie, stream)) {
        return false;
    }
    std::vector<std::uint8_t> frame(header.biSizeImage);
    for (std::uint32_t i = 0; std::uint64_t{i} * frame.size() < bytes; ++i) {
        std::fill(frame.begin(), frame.end(), static_cast<std::uint8_t>(i));
        if (writer.Add(0, frame, true) != AddResult::Added || !writer.Flush()) {
            return false;
        }
        journal.AddFrame({i, static_cast<std::uint32_t>(frame.size()), true});
    }
    return true;
}

LRESULT CALLBACK RecoveryProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kRecoveryDoneMessage) {
        g_done = true;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The next start after a crash: the left recording rebuilt on the recovery's thread.
int Recover(std::uint64_t megabytes)
{
    const HWND idle = FindIdleWindow();
    if (!idle) {
        return 1;
    }
    RegisterPrivateMessages();
    const std::string temp = GetTempDirectory();
    const std::string movie = temp + "\\~tempbenchcrash.avi";
    if (!LeaveCrashedRecording(movie, megabytes << 20)) {
        std::fprintf(stderr, "the crashed recording cannot be made\n");
        return 1;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecoveryProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SaveBenchRecovery";
    RegisterClassA(&windowClass);
    const HWND main = CreateWindowA("SaveBenchRecovery", "Framelark", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    CConvertProgressDialog progress;
    progress.Create(main);
    std::vector<LeftRecording> left = FindLeftRecordings(temp);
    const std::size_t found = left.size();
    CRecoveryRun recovery;
    const ProbedRun run = Probed(
        main, idle, [&] { recovery.Start(main, std::move(left), progress); }, [] { return g_done.load(); });
    const std::vector<RecordingFiles> recovered = recovery.Finish(main, progress);
    std::printf("%llu MB left by a crash (%zu found): %zu rebuilt in %.1f s, the movie now %.0f MB\n",
                static_cast<unsigned long long>(megabytes), found, recovered.size(), run.took,
                FileSize(movie).value_or(0) / 1e6);
    PrintRun(run);
    DestroyWindow(main);
    DeleteLargeFile(movie);
    DeleteJournalOf(movie);
    return recovered.size() == 1 ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == "idle") {
        return Idle();
    }
    if (argc == 3 && std::string(argv[1]) == "recover") {
        return Recover(std::strtoull(argv[2], nullptr, 10));
    }
    if (argc == 3 && std::string(argv[1]) == "discard") {
        return Discard(argv[2]);
    }
    if (argc == 4 && std::string(argv[1]) == "delete") {
        return Delete(argv[2], std::string(argv[3]) == "in-steps");
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: save_bench <folder> <adpcm|pcm> <seconds> | save_bench idle\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string which = argv[2];
    const int seconds = std::atoi(argv[3]);
    RegisterPrivateMessages();
    AviLibrary library;
    InstallMsAdpcmIfNeeded();
    const std::string temp = GetTempDirectory();
    const std::string movie = temp + "\\~bench.avi";
    const std::string sound = temp + "\\~bench.wav";
    const double madeFrom = Now();
    if (!WriteMovie(movie, seconds) || !WriteSound(sound, seconds) || !ChooseFormat(which)) {
        std::fprintf(stderr, "the inputs cannot be made\n");
        return 1;
    }
    std::printf("inputs: movie %.1f MB, sound %.1f MB, made in %.1f s\n", FileSize(movie).value_or(0) / 1e6,
                FileSize(sound).value_or(0) / 1e6, Now() - madeFrom);

    const HWND main = CreateMainWindow("SaveBenchMain", &MainProcedure);
    CConvertProgressDialog progress;
    progress.Create(main);
    CRecordingCompletion completion(progress);
    completion.SetMerge([](const MergeRequest& r) {
        return MergeAudioVideo(r.videoPath, r.audioPath, r.outputPath, r.compressAudio, r.compressedFormat,
                               r.compressedFormatLength, r.interleave, r.interleaveFactor, r.interleaveUnit);
    });
    g_completion = &completion;
    g_progress = &progress;
    Settings().g_mainwindow = main;

    const std::string chosen = folder + "\\saved.avi";
    const std::string scratch = temp + "\\tempaudiovideomerge.avi.sound.avi";
    const std::uint64_t freeAtStart = FreeDiskBytes(temp).value_or(0);
    std::atomic<bool> probing{true};
    std::atomic<bool> proberDone{false};
    std::vector<Probe> probes;
    std::vector<Probe> idleProbes;
    std::uint64_t largestScratch = 0;
    std::uint64_t leastFree = freeAtStart;
    const HWND idle = FindWindowA("SaveBenchIdle", nullptr);
    const KernelHandle mainThread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, GetCurrentThreadId()));
    double mainWorkDuringSave = 0;
    // From the save's first progress on: the Save dialog's own opening and closing are not the save.
    std::thread prober([&] {
        double workBefore = -1;
        while (probing) {
            if (!g_saving) {
                Sleep(5);
                continue;
            }
            if (workBefore < 0) {
                workBefore = ProcessorSeconds(mainThread.get());
            }
            const double work = ProcessorSeconds(mainThread.get());
            const int position = g_position;
            const double sent = Now();
            const double trip = RoundTrip(main);
            probes.push_back({sent, trip, ProcessorSeconds(mainThread.get()) - work, position});
            largestScratch = std::max(largestScratch, FileSize(scratch).value_or(0));
            leastFree = std::min(leastFree, FreeDiskBytes(temp).value_or(leastFree));
            Sleep(20);
        }
        mainWorkDuringSave = workBefore < 0 ? 0 : ProcessorSeconds(mainThread.get()) - workBefore;
        proberDone = true;
    });
    std::thread idleProber = ProbeIdleWindow(idle, probing, g_saving, idleProbes);
    std::thread answerer(&AnswerSaveDialog, GetCurrentThreadId(), chosen);
    const double start = Now();
    completion.AddRecovered({{movie, sound, true}});
    g_done = completion.Next(main) != CRecordingCompletion::Step::SaveStarted;
    MSG message;
    while (!g_done && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    const double saved = Now() - start;
    probing = false;
    PumpUntil(proberDone);
    prober.join();
    idleProber.join();
    answerer.join();
    std::printf("%s: saved in %.1f s; the main thread worked %.0f ms of it\n", which.c_str(), saved,
                mainWorkDuringSave * 1000);
    PrintTrips("main window", probes);
    PrintTrips("idle window of another process", idleProbes);
    PrintSlowProbes(probes, idleProbes, "save");
    std::printf("progress bar: %zu distinct positions; scratch file at most %.1f MB; saved movie %.1f MB (%.2f of it)\n",
                g_positions.size(), largestScratch / 1e6, FileSize(chosen).value_or(0) / 1e6,
                static_cast<double>(largestScratch) / std::max<std::uint64_t>(FileSize(chosen).value_or(1), 1));
    std::printf("free space on the temporary folder's disk: at most %.1f MB less than at the start\n",
                (static_cast<double>(freeAtStart) - static_cast<double>(leastFree)) / 1e6);
    std::printf("temporaries left: movie %s, sound %s\n", FileExists(movie) ? "yes" : "no",
                FileExists(sound) ? "yes" : "no");
    DestroyWindow(main);
    return FileExists(chosen) ? 0 : 1;
}
