#pragma once
// The program's side of hook.dll (mouse cursor) and hookkey.dll (keyboard), loaded from the
// program's folder by name. A missing library leaves its feature off; nothing is reported.
#include <windows.h>

// Posts `message` to `window` with the handle of the cursor on screen whenever it may change.
bool InstallMouseHook(HWND window, UINT message);
void UninstallMouseHook();

// Posts `message` to `window` with the virtual-key code and the key data of every key event.
bool InstallKeyHook(HWND window, UINT message);
void UninstallKeyHook();
