#pragma once
// The built-in lossless ZMBV compressor, installed for this process where the system has none
// that takes the screen's frames.

// True when ours is installed (now or by an earlier call).
bool InstallZmbvIfNeeded(int bitsPerPixel, int width, int height);

// Removes ours if it is installed; call at exit.
void RemoveZmbv();
