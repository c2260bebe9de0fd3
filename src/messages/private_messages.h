#pragma once
// The program's own window messages, registered with the system by name at process start.
#include <windows.h>

extern UINT WM_USER_RECORDSTART_MSG;
// Posted once by the recording thread as it ends: why (a RecordingStop) and how many frames.
extern UINT WM_USER_GENERIC_MSG;
extern UINT WM_USER_SAVECURSOR_MSG;
extern UINT WM_USER_KEYSTART_MSG;
// Broadcast by a second start of the program: the running one comes to the front.
extern UINT kAnotherStartMessage;
// The mouse hook's report of a button pressed while recording.
extern UINT kMouseClickMessage;

// Fixed-number messages between windows.
constexpr UINT kWaveInDataMessage = 0x3C0;        // MM_WIM_DATA
constexpr UINT kTrayIconMessage = 0x40A;
constexpr UINT MergeProgressMessage = 0x4DE;
constexpr UINT kSaveDoneMessage = WM_APP + 0x24;         // the completion's save has ended
constexpr UINT kNextSaveMessage = WM_APP + 0x25;         // the completion's next Save dialog
constexpr UINT kRecoveryDoneMessage = WM_APP + 0x26;     // the recovery's rebuild has ended
constexpr UINT kConvertDoneMessage = WM_APP + 0x27;      // ffmpeg.exe's conversion has ended
constexpr UINT kCountdownDoneMessage = WM_APP + 0x28;    // the countdown before a recording is over
constexpr UINT kSelectionDoneMessage = WM_USER + 0x100; // region window to a requesting dialog
constexpr UINT kSelectionAbandonedMessage = WM_USER + 0x101; // region window to the main window
constexpr UINT kUncheckGroupMessage = WM_USER + 0x100;  // radio bitmap button to its group

void RegisterPrivateMessages();
