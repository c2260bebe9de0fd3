#pragma once
// The program's life as one state, and what each command does in each state. Every input of the
// main window (buttons, menus, hotkeys, the tray, the region window, the recording, saving and
// recovery threads, the session's end) is decided here; buttons and menu entries look enabled
// exactly when their command would run, and every change of state is one the table allows.
#include <cstdint>

enum class AppState : std::uint8_t {
    Launching,     // before the first tick: recordings a crash left behind are offered first
    Idle,
    Selecting,     // the region window is up
    Starting,      // a region is chosen; the start handler has not run yet
    Recording,
    Paused,
    Ending,        // stopped; the recording thread finishes the movie, which is then saved
    Discarding,    // cancelled; the recording thread finishes, then the movie is thrown away
    Completing,    // a Save dialog is to come: asked again, or the next recording waiting
    Naming,        // the note of why a recording ended, the Save dialog and its question
    Saving,        // the merge and the copy run on the saving thread
    Converting,    // ffmpeg.exe makes the saved movie into the chosen format, on a thread of its own
    Recovering,    // recordings a crash left behind are rebuilt on a thread of their own
    Asking,        // a question that must be answered before anything else
    InDialog,      // a modal dialog opened from the main window
    SessionEnding, // the system ends the session: the recording is closed for the next start
    CountingDown,  // a region is chosen; the countdown shows before the recording starts
};
inline constexpr int kAppStates = 17;

enum class Command : std::uint8_t {
    Record,     // Record button, "Record Now!", the start key; resumes a pause
    Pause,
    Stop,       // Stop button, "Stop", the stop key: the recording is saved
    Cancel,     // the cancel key, "Cancel Recording": the recording is thrown away
    Options,    // any of the option dialogs
    About,
    PlayFile,   // "Play Video File...": an Open dialog
    Play,       // the last saved movie
    Close,      // close button, "Exit", Escape, Enter, the system menu's Close
    RegionChosen,
    RegionAbandoned,
    RecordingEnded, // the recording thread's one message
    FirstTick,
    NextSave,       // the completion's next Save dialog
    SaveDone,       // the saving thread's one message
    RecoveryDone,   // the recovery thread's one message
    ConvertDone,    // the conversion thread's one message
    EndSession,
    CountdownEnded, // the countdown's one message: the recording starts
};
inline constexpr int kCommands = 19;

enum class Verdict : std::uint8_t {
    Run,
    Ignore,
    RefuseWithNote, // a close while a recording runs: say why the program stays
};

Verdict Decide(AppState state, Command command);

// Whether the button or menu entry of the command looks enabled in the state.
inline bool LooksEnabled(AppState state, Command command)
{
    return Decide(state, command) == Verdict::Run;
}

// A recording thread may be running: its one message must still come.
inline bool ThreadMayRun(AppState state)
{
    return Decide(state, Command::RecordingEnded) == Verdict::Run;
}

// Whether the program may go from one state to the other; a move the table does not know is a
// fault of the program.
bool MayMove(AppState from, AppState to);
