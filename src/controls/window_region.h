#pragma once
// Window shapes cut from mask bitmaps: pixels of the transparent colour are not part of the window.
#include "common/dpi_scale.h"

#include <windows.h>

// The window's rectangle (width x height) less the transparent pixels of the mask; window pixels
// beyond the mask's size stay in. Returns null when the mask cannot be read.
HRGN WindowRegionFromMask(HBITMAP mask, HDC compatibleDC, int width, int height, COLORREF transparent);

// Shapes the whole window by mask bitmap resource maskId, drawn for dpi, and gives the region to the window.
bool SetRegionFromBitmap(HWND window, HDC compatibleDC, UINT maskId, COLORREF transparent, int dpi = kBaseDpi);

// The opaque pixels of the mask as one horizontal run per rectangle; null for a null bitmap.
HRGN RegionFromMask(HBITMAP mask, COLORREF transparent);
