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
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/handles.h"
#include "win/message_box.h"

#include <mmsystem.h>

#include <atomic>

namespace {
constexpr DWORD kOldestVideoForWindows = 0x010A;
constexpr char kUseDefaultQuestion[] = "Error recording AVI file using current compressor. Use default compressor ? ";

std::atomic<RecordingStop> g_recordingstop{RecordingStop::None};

// A stop for want of room travels through the capture loop as the failed write it stands for.
std::int32_t ResultFor(RecordingStop stop)
{
    return stop == RecordingStop::SizeLimit ? HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)
                                            : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
}

bool SoundFileFailed()
{
    const IAudioCapture* audio = Seams().audio;
    return audio && Settings().recordaudio != 0 && audio->Failed();
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
        int x;
        int y;
    };

    LiveCaptureHost(CMovieWriter& movie, CStorageGuard& storage, int left, int top, int width, int height)
        : m_movie(movie), m_storage(storage), m_left(left), m_top(top), m_width(width), m_height(height), m_grabber(width, height)
    {
    }

    std::uint32_t Milliseconds() { return timeGetTime(); }
    void Sleep(std::uint32_t ms) { ::Sleep(ms); }
    // A sound file that can no longer grow ends the recording as a stop would.
    std::int32_t Recording() { return SoundFileFailed() ? 0 : Settings().g_isrecording.load(); }
    std::int32_t Paused() { return Settings().g_paused; }
    Position NextPosition()
    {
        const AppSettings& settings = Settings();
        if (PansRegion(settings.autopan, m_width, m_height, settings.g_screenwidth, settings.g_screenheight)) {
            const POINT corner = NextPanPosition(m_width, m_height);
            return {corner.x, corner.y};
        }
        return {m_left, m_top};
    }
    FramePtr Grab(int x, int y)
    {
        if (NextStageFrameIsTimed()) {
            m_writer.Drain(); // an error stays held for the next write
        }
        StartStageFrame();
        return m_grabber.Grab(x, y);
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
    void BlankTitle()
    {
        // Bounded, so that a busy main thread never holds up the recording.
        SendMessageTimeoutA(Settings().g_mainwindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), SMTO_ABORTIFHUNG, 200,
                            nullptr);
    }

private:
    std::int32_t WriteNow(const BITMAPINFOHEADER* frame, std::uint32_t number)
    {
        const std::uint64_t frameBytes = frame->biSizeImage;
        if (const RecordingStop stop = m_storage.BeforeWrite(frameBytes, number); stop != RecordingStop::None) {
            return ResultFor(stop);
        }
        LONG bytes = 0;
        if (const HRESULT result = m_movie.Write(frame, number, &bytes); result != 0) {
            return result;
        }
        const RecordingStop stop = m_storage.AfterWrite(static_cast<std::uint64_t>(bytes > 0 ? bytes : 0), frameBytes);
        return stop == RecordingStop::None ? 0 : ResultFor(stop);
    }

    CMovieWriter& m_movie;
    CStorageGuard& m_storage;
    int m_left;
    int m_top;
    int m_width;
    int m_height;
    CFrameGrabber m_grabber;
    // Last: it writes through the members above until it is gone. Its writes run at the priority
    // the user chose for the recording.
    CBackgroundWriter m_writer{[this](const BITMAPINFOHEADER* frame, std::uint32_t number) { return WriteNow(frame, number); },
                               Settings().threadPriority};
};

void PostToMainWindow(UINT message)
{
    PostMessageA(Settings().g_mainwindow, message, 0, 0);
}

void ShowFlashingFrame(int left, int top, int width, int height)
{
    const AppSettings& settings = Settings();
    if (IFlashingFrame* frame = Seams().flashingFrame; frame && settings.flashingRect != 0) {
        frame->SetShape(left, top, width, height, settings.autopan != 0);
        frame->Show();
    }
}

void EndRecording(CMovieWriter& movie, const CStorageGuard& storage, const CaptureOutcome& outcome,
                  bool audioStarted)
{
    if (IFlashingFrame* frame = Seams().flashingFrame; frame && Settings().flashingRect != 0) {
        frame->Hide();
    }
    movie.ReleaseOptions();
    if (audioStarted) {
        Seams().audio->Stop();
    }
    movie.ReleaseMovie();
    storage.DropPartialFrame();
    RecordingStop stop = StopForWriteError(outcome.movieError);
    if (stop == RecordingStop::None && outcome.movieError == 0 && audioStarted && SoundFileFailed()) {
        stop = RecordingStop::DiskFull;
    }
    // A disk or file that cannot take more is no fault of the compressor: what was written is
    // saved as after a stop, with a note saying why.
    if ((outcome.movieError == 0 && !outcome.frameLost) || stop != RecordingStop::None) {
        g_recordingstop = stop;
        PostToMainWindow(WM_USER_GENERIC_MSG);
        return;
    }
    PostToMainWindow(WM_USER_RECORDINTERRUPTED_MSG);
    // Running out of memory is no fault of the compressor: no offer to change it.
    if (outcome.movieError == 0 || IsDefaultCompressor()) {
        return;
    }
    if (ShowNote(nullptr, kUseDefaultQuestion, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        UseDefaultCompressor();
        PostToMainWindow(WM_USER_RECORDSTART_MSG);
    }
}
} // namespace

void RecordVideo(int top, int left, int width, int height, int rate, const std::string& path)
{
    if (HIWORD(VideoForWindowsVersion()) < kOldestVideoForWindows) {
        return;
    }
    AppSettings& settings = Settings();
    CMovieWriter movie;
    CStorageGuard storage(path);
    CaptureOutcome outcome;
    bool audioStarted = false;
    FramePtr probe(GrabFrame(left, top, width, height, true));
    if (!probe || !CheckCompressor(probe, left, top, width, height)) {
        outcome.frameLost = true;
    } else {
        ShowFlashingFrame(left, top, width, height);
        outcome.movieError = movie.Open(path, rate, probe.get());
        probe.reset();
        if (outcome.movieError == 0) {
            const std::uint32_t start = timeGetTime();
            if (settings.autopan != 0) {
                StartPanning(left, top, width, height);
            }
            if (IAudioCapture* audio = Seams().audio; audio && settings.recordaudio != 0) {
                audio->Start();
                audioStarted = true;
                movie.NoteSoundFile(settings.g_tempwavfile);
            }
            LiveCaptureHost host(movie, storage, left, top, width, height);
            outcome = RunCaptureLoop(host, settings.timelapse, start);
            if (const std::int32_t lastWrite = host.FinishWrites(); outcome.movieError == 0) {
                outcome.movieError = lastWrite;
            }
        }
    }
    EndRecording(movie, storage, outcome, audioStarted);
}

RecordingStop TakeRecordingStop()
{
    return g_recordingstop.exchange(RecordingStop::None);
}

std::string ReserveTempMoviePath(const std::string& folder)
{
    return ReserveTempFilePath(folder, "~temp.avi", ".avi");
}

DWORD WINAPI RecordingThread(LPVOID)
{
    try {
        FineTimer fineTimer;
        AppSettings& settings = Settings();
        const ScreenRect rect = settings.g_capturerect;
        const std::string path = ReserveTempMoviePath(GetTempDirectory());
        settings.g_tempmoviepath = path;
        if (path.empty()) {
            // Nothing can be written: end the recording the way a failed movie call would.
            PostToMainWindow(WM_USER_RECORDINTERRUPTED_MSG);
            return 0;
        }
        RecordVideo(rect.top, rect.left, rect.Width(), rect.Height(), settings.frames_per_second, path);
    } catch (...) {
        PostToMainWindow(WM_USER_RECORDINTERRUPTED_MSG);
    }
    return 0;
}
