#include "win/directories.h"

#include <windows.h>

#include <vector>

namespace {
// Grows the buffer until the path fits: a truncated path would name a wrong directory.
std::string ModuleFileName()
{
    std::vector<char> buffer(300);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}
} // namespace

std::string GetProgramDirectory()
{
    const std::string path = ModuleFileName();
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

std::string GetWindowsDirectoryPath()
{
    std::vector<char> buffer(300);
    for (;;) {
        const UINT length = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

bool IsExistingDirectory(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string TempDirectoryFor(const std::string& windowsDirectory, const std::string& programDirectory)
{
    if (!windowsDirectory.empty()) {
        std::string temp = windowsDirectory + "\\temp";
        if (IsExistingDirectory(temp)) {
            return temp;
        }
    }
    return programDirectory;
}

std::string GetTempDirectory()
{
    return TempDirectoryFor(GetWindowsDirectoryPath(), GetProgramDirectory());
}
