#pragma once
// The main window's commands, as the hotkeys and the tray icon issue them.
#include "app/app_state.h"

class IMainCommands {
public:
    virtual ~IMainCommands() = default;
    // Runs the command when the program's state allows it.
    virtual void Run(Command command) = 0;
    virtual AppState State() const = 0;
};
