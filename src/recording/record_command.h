#pragma once
// The Record command and the main window's handler of WM_USER_RECORDSTART_MSG.

// Resolves the capture rectangle by MouseCaptureMode and asks for the start, or resumes a paused
// recording. Does nothing while a recording runs unpaused.
void RecordCommand();

// Starts a recording of g_capturerect: mouse hook, flags, buttons and the recording thread.
void OnRecordStart();
