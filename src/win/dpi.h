#pragma once
// The dpi of the monitor a window is on, and the skin's bitmaps drawn for it.
#include "common/dpi_scale.h"
#include "win/handles.h"

#include <windows.h>

// GetDpiForWindow where the system has it (Windows 10 1607 on, Wine); older systems give one dpi
// for every monitor, which the window's DC tells.
int WindowDpi(HWND window);

// Bitmap resource id from the image set drawn nearest to dpi, stretched to dpi when that set was
// drawn for another. A picture is stretched smoothly; a mask keeps its pure black and white.
enum class BitmapKind { Picture, Mask };
GdiBitmap LoadBitmapForDpi(UINT id, int dpi, BitmapKind kind);

// The dpi of the monitor nearest the screen point.
int MonitorDpiAt(int x, int y);

// The new dpi that WM_DPICHANGED carries.
inline int DpiOfDpiChange(WPARAM wParam)
{
    return LOWORD(wParam);
}
