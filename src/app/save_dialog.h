#pragma once
// The Save dialog after a recording: its file types, the type last chosen, and keys typed before
// it showed kept out of it.
#include <windows.h>

#include "convert/movie_format.h"

enum class Naming { Chosen, Discard };

// Asks until a name is chosen or the user confirms that the recording is to be thrown away.
Naming AskForFileName(HWND owner, OutputName& chosen);
