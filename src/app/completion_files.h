#pragma once
// The file work of saving a recording: where the user's name may be written, and moving or
// copying a temporary file there so that the name never holds a partial file.
#include <windows.h>

#include <atomic>
#include <string>

bool IsFile(const std::string& path);
bool SameFile(const std::string& a, const std::string& b);

// Whether the chosen file can be written, without harming a file that is already there.
bool CanWrite(const std::string& path);

// Deletes a file at once; for small files and files known to be gone soon.
void DeleteNow(const std::string& path);
// Deletes a file off the window's thread, however large it is.
void DeleteLater(const std::string& path);

// Copies a file under a temporary name beside its target and renames it when whole; progress
// (percent) goes to the window as MergeProgressMessage. A raised abandon flag stops the copy.
bool CopyWhole(const std::string& from, const std::string& to, HWND progress, const std::atomic<bool>& abandon);

// Moves a temporary file to where the user wants it: at once on the same volume, copied whole
// otherwise.
bool Place(const std::string& from, const std::string& to, HWND progress, const std::atomic<bool>& abandon);
