#pragma once
// The program's life as one state, and what each command does in each state. Every input of the
// main window (buttons, menus, hotkeys, the tray, the region window, the recording thread) is
// decided here, and the buttons and menu entries look enabled exactly when their command would run.
#include <cstdint>

enum class AppState : std::uint8_t {
    Idle,
    Selecting,  // the region window is up
    Starting,   // a region is chosen; the start handler has not run yet
    Recording,
    Paused,
    Ending,     // stopped; the recording thread is still finishing the movie
    Completing, // the Save dialog, the merge or the copy of a finished recording
    Asking,     // a question that must be answered before anything else (recovery, compressor)
    InDialog,   // a modal dialog opened from the main window
};

enum class Command : std::uint8_t {
    Record,     // Record button, "Record Now!", the start key
    Pause,
    Stop,       // Stop button, "Stop", the stop and cancel keys
    Options,    // any of the option dialogs
    About,
    PlayFile,   // "Play Video File...": an Open dialog
    Play,       // the last saved movie
    Close,      // close button, "Exit", Escape, Enter, the system menu's Close
    RegionChosen,
    RegionAbandoned,
    RecordingEnded, // the recording thread's one message
};

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
