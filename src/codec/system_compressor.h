#pragma once
// Whether the system's own compressor of a four-character code can take the screen's frames.
#include <windows.h>

// True when the compressor opens and accepts an uncompressed frame of this format.
bool SystemCompresses(DWORD handler, int bitsPerPixel, int width, int height);
