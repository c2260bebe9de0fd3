#include "win/directories.h"

#include "win/handles.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

namespace {
// An unwritable folder fails every name: the search must end.
constexpr int kTempNameAttempts = 100;

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

std::string ReserveTempFilePath(const std::string& folder, const std::string& firstName, const std::string& extension)
{
    std::string path = folder + "\\" + firstName;
    // Seeded once: seeding before every attempt gives the same name within a second.
    std::minstd_rand numbers(static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count()));
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        // Never over an existing file: it may be a recording that a crash left to be recovered.
        KernelHandle file = OwnFile(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            file.reset();
            DeleteFileA(path.c_str());
            return path;
        }
        path = folder + "\\~temp" + std::to_string(numbers()) + extension;
    }
    return {};
}
