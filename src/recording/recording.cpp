#include "recording/recording.h"

#include "messages/private_messages.h"
#include "recording/autopan.h"
#include "recording/autopan_step.h"
#include "recording/background_writer.h"
#include "recording/capture_loop.h"
#include "recording/movie_writer.h"
#include "recording/recording_seams.h"
#include "recording/stage_times.h"
#include "recording/storage_guard.h"
#include "recording/window_follower.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/handles.h"

#include <mmsystem.h>

#include <optional>


namespace {
constexpr DWORD kOldestVideoForWindows = 0x010A;

// A stop for want of room travels through the capture loop as the failed write it stands for.
std::int32_t ResultFor(RecordingStop stop)
{
    return stop == RecordingStop::SizeLimit ? HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)
                                            : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

bool SoundFileFailed()
{
    const IAudioCapture* audio = Seams().audio;
    return audio && RecordsSound(Settings()) && audio->Failed();
}

// A 1 ms system timer tick for the length of a recording, so that short intervals hold.
class FineTimer {
public:
    FineTimer() : m_raised(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    FineTimer(const FineTimer&) = delete;
    FineTimer& operator=(const FineTimer&) = delete;
    ~FineTimer()
    {
        if (m_raised) {
            timeEndPeriod(1);
        }
    }

private:
    bool m_raised;
};

class LiveCaptureHost {
public:
    struct Position {
        FramePlacement placement;
        bool held = false;
    };

    LiveCaptureHost(CMovieWriter& movie, CStorageGuard& storage, RecordingReport& report, int left, int top, int width,
                    int height, CWindowFollower* follower)
        : m_movie(movie), m_storage(storage), m_report(report), m_left(left), m_top(top), m_width(width),
          m_height(height), m_follower(follower), m_grabber(width, height)
    {
    }

    std::uint32_t Milliseconds() { return timeGetTime(); }
    void Sleep(std::uint32_t ms) { ::Sleep(ms); }
    // A sound file that can no longer grow, or a followed window closed, ends the recording as a
    // stop would.
    std::int32_t Recording()
    {
        const bool ended = SoundFileFailed() || Settings().g_regiongone || (m_follower && m_follower->Gone());
        return ended ? 0 : Settings().g_isrecording.load();
    }
    std::int32_t Paused() { return Settings().g_paused; }
    void Resumed()
    {
        if (m_follower) {
            m_follower->Resumed();
        }
    }
    Position NextPosition()
    {
        if (m_follower) {
            const CWindowFollower::View view = m_follower->Next(timeGetTime());
            return {view.placement, view.held};
        }
        const AppSettings& settings = Settings();
        if (PansRegion(settings.autopan, m_width, m_height, settings.g_panarea.Width(), settings.g_panarea.Height())) {
            const POINT corner = NextPanPosition(m_width, m_height);
            return {Unscaled({corner.x, corner.y, corner.x + m_width - 1, corner.y + m_height - 1})};
        }
        return {Unscaled({m_left, m_top, m_left + m_width - 1, m_top + m_height - 1})};
    }
    FramePtr Grab(const Position& position)
    {
        if (NextStageFrameIsTimed()) {
            m_writer.Drain(); // an error stays held for the next write
        }
        StartStageFrame();
        return m_grabber.Grab(position.placement);
    }
    // The frame goes to the writer's thread; an error shows at the next write or at the end.
    std::int32_t Write(FramePtr& frame, std::uint32_t number)
    {
        const bool timed = StageFrameIsTimed();
        const std::int32_t error = m_writer.Submit(std::move(frame), number);
        return error == 0 && timed ? m_writer.Drain() : error;
    }
    void Release(FramePtr& frame) { frame.reset(); }
    // Waits for the last frame's write.
    std::int32_t FinishWrites() { return m_writer.Drain(); }

private:
    std::int32_t WriteNow(const BITMAPINFOHEADER* frame, std::uint32_t number)
    {
        if (const RecordingStop stop = m_storage.BeforeWrite(m_movie.Bytes(), frame->biSizeImage, number);
            stop != RecordingStop::None) {
            return ResultFor(stop);
        }
        if (const HRESULT result = m_movie.Write(frame, number); result != 0) {
            return result;
        }
        m_report.FrameWritten();
        return 0;
    }

    CMovieWriter& m_movie;
    CStorageGuard& m_storage;
    RecordingReport& m_report;
    int m_left;
    int m_top;
    int m_width;
    int m_height;
    CWindowFollower* m_follower; // null unless a window is followed
    CFrameGrabber m_grabber;
    // Last: it writes through the members above until it is gone. Its writes run at the priority
    // the user chose for the recording.
    CBackgroundWriter m_writer{[this](const BITMAPINFOHEADER* frame, std::uint32_t number) { return WriteNow(frame, number); },
                               Settings().threadPriority};
};

// Shown for the recording, hidden however it ends.
class ShownFlashingFrame {
public:
    ShownFlashingFrame(int left, int top, int width, int height)
    {
        const AppSettings& settings = Settings();
        if (IFlashingFrame* frame = Seams().flashingFrame; frame && settings.flashingRect != 0) {
            frame->SetShape(left, top, width, height, RegionMoves(settings));
            frame->Show();
            m_frame = frame;
        }
    }
    ShownFlashingFrame(const ShownFlashingFrame&) = delete;
    ShownFlashingFrame& operator=(const ShownFlashingFrame&) = delete;
    ~ShownFlashingFrame() { Hide(); }

    void Hide()
    {
        if (m_frame) {
            m_frame->Hide();
            m_frame = nullptr;
        }
    }

private:
    IFlashingFrame* m_frame = nullptr;
};

// The sound of the recording, stopped however it ends.
class SoundRun {
public:
    SoundRun() = default;
    SoundRun(const SoundRun&) = delete;
    SoundRun& operator=(const SoundRun&) = delete;
    ~SoundRun() { Stop(); }

    void Start(CMovieWriter& movie)
    {
        IAudioCapture* audio = Seams().audio;
        if (!audio || !RecordsSound(Settings())) {
            return;
        }
        m_audio = audio;
        audio->Start();
        movie.NoteSoundFile(Settings().g_tempwavfile);
        if (!Settings().g_tempcomputerwavfile.empty()) {
            movie.NoteSoundFile(Settings().g_tempcomputerwavfile);
        }
    }
    void Stop()
    {
        if (m_audio) {
            m_audio->Stop();
            m_audio = nullptr;
        }
    }

private:
    IAudioCapture* m_audio = nullptr;
};

HANDLE RecordingStartGate()
{
    static const KernelHandle gate(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    return gate.get();
}

// False when the recording ended before it was let start.
bool PassRecordingStartGate()
{
    while (WaitForSingleObject(RecordingStartGate(), kSleepSlice) == WAIT_TIMEOUT) {
        if (Settings().g_isrecording == 0) {
            return false;
        }
    }
    return Settings().g_isrecording != 0;
}

RecordingStop StopFor(const CaptureOutcome& outcome)
{
    if (outcome.frameLost) {
        return RecordingStop::OutOfMemory;
    }
    if (outcome.movieError == 0) {
        return RecordingStop::None;
    }
    const RecordingStop stop = StopForWriteError(outcome.movieError);
    return stop == RecordingStop::None ? RecordingStop::MovieFailed : stop;
}
} // namespace

RecordingReport::~RecordingReport()
{
    PostMessageA(Settings().g_mainwindow, WM_USER_GENERIC_MSG, static_cast<WPARAM>(m_stop),
                 static_cast<LPARAM>(m_frames.load()));
}

void HoldRecordingStart(bool held)
{
    if (held) {
        ResetEvent(RecordingStartGate());
    } else {
        SetEvent(RecordingStartGate());
    }
}

void OpenRecordingStart()
{
    HoldRecordingStart(false);
}

void RecordingReport::Stopped(RecordingStop stop)
{
    if (m_stop == RecordingStop::None) {
        m_stop = stop;
    }
}

void RecordVideo(int top, int left, int width, int height, int rate, const std::string& path, RecordingReport& report)
{
    if (HIWORD(VideoForWindowsVersion()) < kOldestVideoForWindows) {
        report.Stopped(RecordingStop::MovieFailed);
        return;
    }
    AppSettings& settings = Settings();
    CMovieWriter movie;
    CStorageGuard storage(path, settings.savedir.empty() ? GetDefaultSaveDirectory() : settings.savedir);
    FramePtr probe(GrabFrame(left, top, width, height, true));
    if (!probe) {
        report.Stopped(RecordingStop::OutOfMemory);
        return;
    }
    if (!CheckCompressor(probe, left, top, width, height)) {
        report.Stopped(probe ? RecordingStop::RegionRefused : RecordingStop::OutOfMemory);
        return;
    }
    ShownFlashingFrame frame(left, top, width, height);
    if (const HRESULT error = movie.Open(path, rate, probe.get()); error != 0) {
        report.Stopped(StopFor({error, false}));
        return;
    }
    probe.reset();
    if (!PassRecordingStartGate()) {
        return;
    }
    const std::uint32_t start = timeGetTime();
    if (settings.autopan != 0) {
        StartPanning(left, top, width, height);
    }
    SoundRun sound;
    sound.Start(movie);
    CaptureOutcome outcome;
    std::optional<CWindowFollower> follower;
    if (const HWND window = settings.g_capturewindow) {
        follower.emplace(window, ScreenRect{left, top, left + width - 1, top + height - 1});
    }
    {
        LiveCaptureHost host(movie, storage, report, left, top, width, height, follower ? &*follower : nullptr);
        outcome = RunCaptureLoop(host, settings.timelapse, start);
        if (const std::int32_t lastWrite = host.FinishWrites(); outcome.movieError == 0) {
            outcome.movieError = lastWrite;
        }
    }
    if (follower) {
        settings.g_windowheldms = follower->HeldMs();
    }
    frame.Hide();
    movie.ReleaseOptions();
    sound.Stop();
    movie.ReleaseMovie();
    RecordingStop stop = StopFor(outcome);
    if (stop == RecordingStop::None && SoundFileFailed()) {
        stop = RecordingStop::DiskFull;
    }
    if (stop == RecordingStop::None && Settings().g_regiongone) {
        stop = RecordingStop::RegionGone;
    }
    if (stop == RecordingStop::None && follower && follower->Gone()) {
        stop = RecordingStop::WindowClosed;
    }
    report.Stopped(stop);
}

std::string ReserveTempMoviePath(const std::string& folder)
{
    return ReserveTempFilePath(folder, "~temp.avi", ".avi");
}

DWORD WINAPI RecordingThread(LPVOID)
{
    RecordingReport report;
    try {
        FineTimer fineTimer;
        AppSettings& settings = Settings();
        const ScreenRect rect = settings.g_capturerect;
        const std::string path = ReserveTempMoviePath(GetTempDirectory());
        settings.g_tempmoviepath = path;
        if (path.empty()) {
            report.Stopped(RecordingStop::NoTempFile);
            return 0;
        }
        RecordVideo(rect.top, rect.left, rect.Width(), rect.Height(), settings.frames_per_second, path, report);
    } catch (...) {
        report.Stopped(RecordingStop::Failed);
    }
    return 0;
}
