#pragma once
// The ZMBV compressor's Configure dialog: how hard it compresses when the caller leaves the
// quality to it.
#include <windows.h>

// Shows the choice with the nearest to quality selected; true with the chosen quality on OK.
bool ChooseZmbvEffort(HWND owner, int& quality);
