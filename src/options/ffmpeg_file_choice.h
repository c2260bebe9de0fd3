#pragma once
// The Open dialog that picks the ffmpeg.exe Framelark converts with: from General Options, and when
// a conversion finds none.
#include <windows.h>

#include <optional>
#include <string>

// Empty when the dialog was cancelled.
std::optional<std::string> ChooseFfmpegFile(HWND owner, const std::string& current);
