#include "app/recording_session.h"

#include "app/completion_rules.h"
#include "audio/audio_capture.h"
#include "audio/merge_audio_video.h"
#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/movie_writer.h"
#include "recording/record_command.h"
#include "recording/recording.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/message_box.h"

namespace {
constexpr char kUseDefaultQuestion[] = "Error recording AVI file using current compressor. Use default compressor ? ";
constexpr DWORD kSessionEndWaitMs = 10000;

// Waits for the thread while the window goes on handling messages: the sound it stops is
// delivered through them.
void WaitPumping(HANDLE thread, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        const DWORD left = timeoutMs - (GetTickCount() - start);
        if (MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) {
            return;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}
} // namespace

CRecordingSession::CRecordingSession(IProgramState& program) : m_program(program)
{
    m_progress.Create(nullptr);
    m_progress.Hide();
    m_completion.SetMerge([](const MergeRequest& r) {
        return MergeAudioVideo(r.videoPath, r.audioPath, r.outputPath, r.compressAudio, r.compressedFormat,
                               r.compressedFormatLength, r.interleave, r.interleaveFactor, r.interleaveUnit,
                               r.computerAudioPath);
    });
}

void CRecordingSession::Record()
{
    if (m_program.State() == AppState::Paused) {
        Settings().g_paused = 0;
        m_program.SetState(AppState::Recording);
        return;
    }
    m_program.SetState(::RecordCommand() == RecordStep::Selecting ? AppState::Selecting : AppState::Starting);
}

void CRecordingSession::RegionChosen()
{
    const AppSettings& settings = Settings();
    // With a countdown the movie is made ready while it shows: its first frame comes when it ends.
    const bool counting = settings.countdownSeconds > 0;
    if (!StartRecording(counting)) {
        return;
    }
    if (counting &&
        m_countdown.Start(settings.g_capturerect, settings.countdownSeconds, m_program.Window(), kCountdownDoneMessage)) {
        m_program.SetState(AppState::CountingDown);
        return;
    }
    CountdownEnded();
}

void CRecordingSession::CountdownEnded()
{
    OpenRecordingStart();
    m_program.SetState(AppState::Recording);
}

bool CRecordingSession::StartRecording(bool held)
{
    m_recordingWithSound = RecordsSound(Settings());
    m_recordingThread = OnRecordStart(held);
    if (!m_recordingThread) {
        m_program.SetState(AppState::Idle);
        ShowNote(m_program.Window(), "The recording could not be started: the system could not create its thread.",
                 MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

void CRecordingSession::Pause()
{
    Settings().g_paused = 1;
    m_program.SetState(AppState::Paused);
}

void CRecordingSession::Stop()
{
    // Nothing was recorded before the countdown ended.
    EndRecording(EndCountdown() ? AppState::Discarding : AppState::Ending);
}

void CRecordingSession::Cancel()
{
    EndCountdown();
    EndRecording(AppState::Discarding);
}

bool CRecordingSession::EndCountdown()
{
    if (m_program.State() != AppState::CountingDown) {
        return false;
    }
    m_countdown.Stop();
    return true;
}

void CRecordingSession::EndRecording(AppState next)
{
    AppSettings& settings = Settings();
    UninstallMouseHook();
    // The recording thread does not look at g_isrecording while paused: g_paused goes first.
    settings.g_paused = 0;
    settings.g_isrecording = 0;
    m_program.SetState(next);
    m_program.BringToFront();
}

void CRecordingSession::RecordingEnded(RecordingStop stop, std::uint32_t framesWritten)
{
    const AppState state = m_program.State();
    if (state == AppState::Recording || state == AppState::Paused || state == AppState::CountingDown) {
        // A recording that ended by itself (during the countdown: it could not be prepared) is
        // stopped here first.
        EndCountdown();
        EndRecording(AppState::Ending);
    }
    m_recordingThread.reset();
    AppSettings& settings = Settings();
    const RecordingFiles files{settings.g_tempmoviepath, settings.g_tempwavfile, m_recordingWithSound,
                               SoundDeviceFailed(),
                               JoinNotes(SoundSourcesNote(), WindowHeldNote(settings.g_windowheldms)),
                               settings.g_tempcomputerwavfile};
    if (state == AppState::Discarding) {
        CRecordingCompletion::Discard(files);
        m_program.SetState(AppState::Idle);
        return;
    }
    switch (ActionForEnd(stop, framesWritten, IsDefaultCompressor())) {
    case EndAction::Save:
        m_completion.Add(files, stop);
        m_program.SetState(AppState::Completing);
        NextSave();
        break;
    case EndAction::OfferDefaultCompressor:
        CRecordingCompletion::Discard(files);
        m_program.SetState(AppState::Asking);
        if (ShowNote(m_program.Window(), kUseDefaultQuestion, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
            UseDefaultCompressor();
            m_program.SetState(AppState::Starting);
            PostMessageA(m_program.Window(), WM_USER_RECORDSTART_MSG, 0, 0);
        } else {
            m_program.SetState(AppState::Idle);
        }
        break;
    case EndAction::Drop:
        CRecordingCompletion::Discard(files);
        m_program.SetState(AppState::Asking);
        ShowNote(m_program.Window(), RecordingStopNote(stop, false), MB_OK | MB_ICONEXCLAMATION);
        m_program.SetState(AppState::Idle);
        break;
    }
}

void CRecordingSession::FirstTick(bool offerLeftRecordings)
{
    m_program.BringToFront();
    CleanUnfinishedFiles(GetTempDirectory());
    if (!offerLeftRecordings) {
        m_program.SetState(AppState::Idle);
        return;
    }
    // No recording starts while the question is up: it would use the same temporary names.
    m_program.SetState(AppState::Asking);
    std::vector<LeftRecording> left = AskAboutLeftRecordings(m_program.Window());
    if (left.empty()) {
        m_program.SetState(AppState::Idle);
        return;
    }
    m_program.SetState(AppState::Recovering);
    m_recovery.Start(m_program.Window(), std::move(left), m_progress);
}

void CRecordingSession::RecoveryDone()
{
    m_completion.AddRecovered(m_recovery.Finish(m_program.Window(), m_progress));
    Continue(CRecordingCompletion::Step::Done);
}

void CRecordingSession::NextSave()
{
    m_program.BringToFront();
    m_program.SetState(AppState::Naming);
    Continue(m_completion.Next(m_program.Window()));
}

void CRecordingSession::SaveDone()
{
    m_program.SetState(AppState::Naming);
    Continue(m_completion.OnSaveDone(m_program.Window()));
}

void CRecordingSession::ConvertDone()
{
    m_program.SetState(AppState::Naming);
    Continue(m_completion.OnConvertDone(m_program.Window()));
}

void CRecordingSession::Continue(CRecordingCompletion::Step step)
{
    if (step == CRecordingCompletion::Step::SaveStarted) {
        m_program.SetState(AppState::Saving);
    } else if (step == CRecordingCompletion::Step::ConvertStarted) {
        m_program.SetState(AppState::Converting);
    } else if (step == CRecordingCompletion::Step::Again || m_completion.HasWaiting()) {
        // From the top of the message loop, not from inside the dialog or thread that ended.
        m_program.SetState(AppState::Completing);
        PostMessageA(m_program.Window(), kNextSaveMessage, 0, 0);
    } else {
        m_program.SetState(AppState::Idle);
    }
}

void CRecordingSession::EndSession()
{
    if (m_program.State() == AppState::Saving || m_program.State() == AppState::Converting) {
        m_completion.AbandonSave();
    }
    EndCountdown();
    if (!ThreadMayRun(m_program.State()) || !m_recordingThread) {
        return;
    }
    AppSettings& settings = Settings();
    UninstallMouseHook();
    settings.g_paused = 0;
    settings.g_isrecording = 0;
    // The thread's message, if still to come, is ignored: should the process go on, it is idle.
    m_program.SetState(AppState::SessionEnding);
    WaitPumping(m_recordingThread.get(), kSessionEndWaitMs);
    m_recordingThread.reset();
    m_program.SetState(AppState::Idle);
}

void CRecordingSession::DisplayChanged()
{
    OnDisplayChange(ThreadMayRun(m_program.State()));
}
