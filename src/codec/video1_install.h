#pragma once
// The built-in Video 1 compressor, installed for this process under "MSVC" where the system's
// one cannot compress the screen's frames (on Wine it only decompresses).

// Installs ours when the system's "MSVC" does not open or refuses an uncompressed frame of this
// format. True when ours is installed (now or by an earlier call).
bool InstallVideo1IfNeeded(int bitsPerPixel, int width, int height);

// Removes ours if it is installed; call at exit.
void RemoveVideo1();
