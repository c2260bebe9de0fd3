#pragma once
// The program's side of hook.dll (mouse cursor) and hookkey.dll (keyboard), loaded from the
// program's folder by name. A missing library leaves its feature off; nothing is reported.
#include <windows.h>

// Posts `message` to `window` with the handle of the cursor on screen whenever it may change.
bool InstallMouseHook(HWND window, UINT message);
void UninstallMouseHook();
// From then on the mouse hook also posts `message` for each press of the left (wParam 0), right
// (1) or middle (2) button, with the screen point as two signed 16-bit halves; 0 stops it.
void ReportMouseClicks(UINT message);

// Posts `message` to `window` with the virtual-key code and the key data of every key event.
bool InstallKeyHook(HWND window, UINT message);
void UninstallKeyHook();
