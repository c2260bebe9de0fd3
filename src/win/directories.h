#pragma once
// Where the program keeps its files. Neither result has a trailing separator.
#include <string>

// The folder of the program's executable file.
std::string GetProgramDirectory();

// The Windows directory's "temp" folder when it exists, else the program directory.
std::string GetTempDirectory();

// GetTempDirectory's rule for given folders.
std::string TempDirectoryFor(const std::string& windowsDirectory, const std::string& programDirectory);

std::string GetWindowsDirectoryPath();

bool IsExistingDirectory(const std::string& path);
