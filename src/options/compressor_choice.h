#pragma once
// The Video Options dialog's dealings with the installed compressors: which of them can take a
// frame of the screen, and their own About and Configure dialogs.
#include <windows.h>
#include <vfw.h>

#include "recording/compressor_list.h"

#include <optional>

// Lists the compressors that accept the sample frame, first 30 in the system's order; a handler
// that the system lists twice (in two cases of its code) is listed once.
void BuildCompressorList(CompressorList& list, const BITMAPINFOHEADER& sample);

// Grabs the 320 x 200 sample frame at the screen's top-left corner and builds the list from it.
void RebuildCompressorList();

struct CompressorDialogs {
    bool about = false;
    bool configure = false;
};

// Empty when the compressor does not open.
std::optional<CompressorDialogs> QueryCompressorDialogs(const ICINFO& entry);

void ShowCompressorAbout(const ICINFO& entry, HWND owner);

// Shows the compressor's configuration with the saved state restored, then keeps its new state
// as the saved one (at once; Cancel of the options does not undo it).
void ConfigureCompressor(const ICINFO& entry, HWND owner);
