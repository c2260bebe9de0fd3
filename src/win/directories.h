#pragma once
// Where the program keeps its files. Neither result has a trailing separator.
#include <string>
#include <vector>

// The folder of the program's executable file.
std::string GetProgramDirectory();

// The settings files' folder: the program directory when a file can be created there, else the
// user's application-data folder's "Framelark" (created when missing). Installed programs live in a
// folder their users cannot write.
std::string GetSettingsDirectory();
std::string SettingsDirectoryFor(const std::string& programDirectory, const std::string& appDataDirectory);

// The Save dialog's first folder: the program directory when writable, else the user's Videos folder.
std::string GetDefaultSaveDirectory();
std::string SaveDirectoryFor(const std::string& programDirectory, const std::string& videosDirectory);

// True when a new file can be created in the folder (one is created and deleted again).
bool IsWritableDirectory(const std::string& path);

// The Windows directory's "temp" folder when it exists, else the program directory.
std::string GetTempDirectory();

// GetTempDirectory's rule for given folders.
std::string TempDirectoryFor(const std::string& windowsDirectory, const std::string& programDirectory);

std::string GetWindowsDirectoryPath();

// A name in the folder under which a new file can be created for writing: firstName, or else
// "~temp" followed by a random number and the extension. An existing file is never replaced. The name is checked by creating the file and
// deleting it again; empty when every name tried failed.
std::string ReserveTempFilePath(const std::string& folder, const std::string& firstName, const std::string& extension);

bool IsExistingDirectory(const std::string& path);

// The names of the files (not folders) in the folder that match the wildcard pattern.
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern);
