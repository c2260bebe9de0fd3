#pragma once
// The region that follows the cursor during a recording with autopan set.
#include <windows.h>

// Called once before the capture loop: the pan rectangle becomes the recording's region.
void StartPanning(int left, int top, int width, int height);

// One pan step toward the cursor; the top-left corner of the next frame.
POINT NextPanPosition(int width, int height);
