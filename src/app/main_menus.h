#pragma once
// The menus of the main window and the tray icon, with entries enabled as the program's state
// has them, and the dialogs their entries open.
#include <windows.h>

#include "app/app_state.h"
#include "settings/app_settings.h"

#include <optional>
#include <string>

class CRegionWindow;

// Shows the menu resource at a point of the screen; the entry chosen comes as WM_COMMAND.
void ShowMenu(HWND owner, UINT menuId, POINT at, AppState state);
// Enables the entries whose command runs in the state, and greys the others; the region entry of
// the mode chosen now is checked.
void EnableMenuEntries(HMENU menu, AppState state);

// The region mode a Region entry chooses; empty for other commands.
std::optional<CaptureMode> RegionModeOf(WORD id);

// The commands that open one of the option dialogs, from buttons and menus alike.
bool IsOptionsCommand(WORD id);
void RunOptionsDialog(HWND owner, WORD id, CRegionWindow* regionWindow);
// "Play Video File...": an Open dialog, then the system's player.
void PlayVideoFile(HWND owner);
void OpenWithShell(HWND owner, const std::string& target);
