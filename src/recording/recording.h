#pragma once
// The recording thread: a temporary movie name, then the recording function, which ends by
// posting WM_USER_GENERIC_MSG or WM_USER_RECORDINTERRUPTED_MSG to g_mainwindow.
#include <windows.h>

#include "recording/storage_rules.h"

#include <string>

DWORD WINAPI RecordingThread(LPVOID);

// Sets up the movie, runs the capture loop until g_isrecording is cleared and posts the result.
void RecordVideo(int top, int left, int width, int height, int rate, const std::string& path);

// Why the last recording ended by itself (its files could not grow), once; None after that.
RecordingStop TakeRecordingStop();

// "\~temp.avi" in the folder, or a numbered variant when that is in use, created exclusively and
// deleted again; empty when every name tried failed.
std::string ReserveTempMoviePath(const std::string& folder);
