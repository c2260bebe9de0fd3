#pragma once
// The program's message boxes: caption "Note" (string 146) unless told otherwise.
#include <windows.h>

#include <string>

std::string LoadResourceString(UINT id, const char* fallback);

// Text of a message-table entry of the program, or the fallback when it is missing.
std::string LoadMessageText(DWORD id, const char* fallback);

int ShowNote(HWND owner, const std::string& text, UINT type = MB_OK | MB_ICONINFORMATION);
