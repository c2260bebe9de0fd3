#pragma once
// The Record command from idle and the main window's handler of WM_USER_RECORDSTART_MSG.
#include "win/handles.h"

enum class RecordStep {
    Selecting, // the region window is up
    Starting,  // WM_USER_RECORDSTART_MSG is posted
};

// Resolves the capture rectangle by MouseCaptureMode and asks for the start.
RecordStep RecordCommand();

// Starts a recording of g_capturerect: mouse hook, flags and the recording thread. The thread's
// handle, empty when it could not be created (nothing is then left started). A held recording
// prepares its movie and grabs its first frame only after OpenRecordingStart().
KernelHandle OnRecordStart(bool held = false);

// The monitors as they are now; a running recording whose region left them is ended.
void OnDisplayChange(bool recording);
