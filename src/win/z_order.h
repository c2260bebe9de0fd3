#pragma once
#include <windows.h>

// Puts a top-most window above every other window. Wine stacks a window created before others
// below them even when it is top-most; only a real change of z-order restacks it.
void RaiseTopmost(HWND window);
