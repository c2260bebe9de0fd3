#pragma once
// The main window's commands, as the hotkeys and the tray icon issue them.

class IMainCommands {
public:
    virtual ~IMainCommands() = default;
    // Record, or resume from a pause; refused while a recording runs unpaused.
    virtual void RecordCommand() = 0;
    virtual void OnPause() = 0;
    // The common stop routine; endKey is the hotkey that ended the recording, 0 for the button.
    virtual void OnRecordInterrupted(int endKey) = 0;
    // True from the end of a recording until its completion has finished (save dialog, merge).
    virtual bool IsEndingOrCompleting() const = 0;
};
