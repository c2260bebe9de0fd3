#pragma once
// The main window's commands, as the hotkeys and the tray icon issue them.
#include "app/app_state.h"

class IMainCommands {
public:
    virtual ~IMainCommands() = default;
    // Record, or resume from a pause; refused while a recording runs unpaused.
    virtual void RecordCommand() = 0;
    virtual void OnPause() = 0;
    // The common stop routine; endKey is the hotkey that ended the recording, 0 for the button.
    virtual void OnRecordInterrupted(int endKey) = 0;
    virtual AppState State() const = 0;
};
