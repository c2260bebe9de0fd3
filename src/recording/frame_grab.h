#pragma once
// Frame grab: a screen rectangle with the cursor drawn in, as a packed device-independent bitmap
// (header, colour table, bottom-up rows) in one locked movable global block.
#include <windows.h>

#include <cstdint>
#include <memory>

// Null when the frame block cannot be allocated or locked. With feedback suppressed (probe and
// sample frames) the flashing frame is left alone.
BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback);

// Unlocks and frees a grabbed frame; null is ignored.
void ReleaseFrame(BITMAPINFOHEADER* frame);

struct FrameReleaser {
    void operator()(BITMAPINFOHEADER* frame) const { ReleaseFrame(frame); }
};
using FramePtr = std::unique_ptr<BITMAPINFOHEADER, FrameReleaser>;

// Header size plus colour table: where the pixels start.
std::uint32_t FramePixelOffset(const BITMAPINFOHEADER* frame);

// The cursor drawn into frames, by g_cursortype.
HCURSOR ChooseCursor();

// ANDs the 128 x 128 highlight cell onto the target with its top-left corner at (x, y).
void DrawHighlight(HDC target, int x, int y);
