#pragma once
// The main window's handler of the keyboard hook's key reports.
#include <windows.h>

#include "app/main_commands.h"

void OnHotkey(IMainCommands& commands, WPARAM key, LPARAM data);
