#include "win/directories.h"

#include "win/handles.h"

#include <windows.h>

#include <shlobj.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

namespace {
// An unwritable folder fails every name: the search must end.
constexpr int kTempNameAttempts = 100;
// Names taken by other files before the write check gives up.
constexpr int kWriteCheckAttempts = 10;

// A folder of the user's profile, or empty when the shell knows none.
std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) {
        return {};
    }
    return path;
}

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

bool IsWritableDirectory(const std::string& path)
{
    for (int attempt = 0; attempt < kWriteCheckAttempts; ++attempt) {
        const std::string probe = path + "\\~framelark" + std::to_string(GetCurrentProcessId()) + "_" +
                                  std::to_string(attempt) + ".tmp";
        const KernelHandle file = OwnFile(CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) {
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) {
            return false;
        }
    }
    return false;
}

std::string SettingsDirectoryFor(const std::string& programDirectory, const std::string& appDataDirectory)
{
    if (appDataDirectory.empty() || IsWritableDirectory(programDirectory)) {
        return programDirectory;
    }
    const std::string own = appDataDirectory + "\\Framelark";
    CreateDirectoryA(own.c_str(), nullptr);
    return own;
}

std::string GetSettingsDirectory()
{
    return SettingsDirectoryFor(GetProgramDirectory(), ShellFolder(CSIDL_APPDATA));
}

std::string SaveDirectoryFor(const std::string& programDirectory, const std::string& videosDirectory)
{
    return videosDirectory.empty() || IsWritableDirectory(programDirectory) ? programDirectory : videosDirectory;
}

std::string GetDefaultSaveDirectory()
{
    return SaveDirectoryFor(GetProgramDirectory(), ShellFolder(CSIDL_MYVIDEO));
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

std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern)
{
    struct FindCloser {
        void operator()(HANDLE find) const { FindClose(find); }
    };
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    const HANDLE first = FindFirstFileA((folder + "\\" + pattern).c_str(), &entry);
    if (first == INVALID_HANDLE_VALUE) {
        return names;
    }
    const std::unique_ptr<std::remove_pointer_t<HANDLE>, FindCloser> search(first);
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            names.emplace_back(entry.cFileName);
        }
    } while (FindNextFileA(search.get(), &entry));
    return names;
}
