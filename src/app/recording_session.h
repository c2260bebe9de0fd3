#pragma once
// The life of a recording as the main window's commands drive it: the start, pause and stop, the
// recording thread's end, the completion's Save dialogs and saves, the recordings a crash left
// behind, and the end of the session. Each step runs only where the program's state table lets
// its command run, and says which state comes next.
#include <windows.h>

#include "app/app_state.h"
#include "app/convert_progress_dialog.h"
#include "app/recording_completion.h"
#include "app/recovery_offer.h"
#include "recording/recording_end.h"
#include "region/countdown_window.h"
#include "win/handles.h"

#include <cstdint>
#include <string>

// The owner of the program's state: the main window.
class IProgramState {
public:
    virtual ~IProgramState() = default;
    virtual AppState State() const = 0;
    virtual void SetState(AppState state) = 0;
    virtual HWND Window() const = 0;
    virtual void BringToFront() = 0;
};

class CRecordingSession {
public:
    explicit CRecordingSession(IProgramState& program);
    CRecordingSession(const CRecordingSession&) = delete;
    CRecordingSession& operator=(const CRecordingSession&) = delete;

    void Record(); // from idle, or resumes a pause
    // With a countdown chosen, the recording starts when it ends.
    void RegionChosen();
    // The prepared recording grabs its first frame.
    void CountdownEnded();
    void Pause();
    void Stop();
    void Cancel();
    void RecordingEnded(RecordingStop stop, std::uint32_t framesWritten);
    // The first tick: half-written files of an earlier run go, and its recordings are offered.
    void FirstTick(bool offerLeftRecordings);
    void NextSave();
    void SaveDone();
    void ConvertDone();
    void RecoveryDone();
    // Windows may end the process as soon as this returns: a running recording is closed with its
    // journal, and a copy under way stops, so that the next start offers them.
    void EndSession();
    void DisplayChanged();
    void ShowProgress(int percent) { m_progress.SetPosition(percent); }

    const std::string& CurrentMovie() const { return m_completion.CurrentMovie(); }
    CRecordingCompletion& completion() { return m_completion; }

private:
    // Held: the thread prepares the movie and waits for OpenRecordingStart(). False when no thread
    // could be started (the program is idle again).
    bool StartRecording(bool held);
    void EndRecording(AppState next);
    // Hides the countdown, if one shows; true then: nothing was recorded.
    bool EndCountdown();
    void Continue(CRecordingCompletion::Step step);

    IProgramState& m_program;
    KernelHandle m_recordingThread;
    // Taken when the recording starts: the options may change before it is saved.
    bool m_recordingWithSound = false;
    CConvertProgressDialog m_progress;
    CRecordingCompletion m_completion{m_progress};
    CRecoveryRun m_recovery;
    CCountdownWindow m_countdown;
};
