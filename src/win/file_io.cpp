#include "win/file_io.h"

#include "win/handles.h"

#include <algorithm>

bool FileExists(const std::string& path)
{
    return static_cast<bool>(OwnFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
}

std::optional<std::uint64_t> FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
        return std::nullopt;
    }
    return (std::uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
}

std::optional<std::uint64_t> FreeDiskBytes(const std::string& folder)
{
    ULARGE_INTEGER available{};
    // A trailing separator makes the root of a drive ("C:") a folder, not the drive's current one.
    if (!GetDiskFreeSpaceExA((folder + "\\").c_str(), &available, nullptr, nullptr)) {
        return std::nullopt;
    }
    return available.QuadPart;
}

std::optional<std::string> FileSystemOf(const std::string& folder)
{
    char root[MAX_PATH] = {};
    char name[MAX_PATH + 1] = {};
    if (!GetVolumePathNameA((folder + "\\").c_str(), root, MAX_PATH) ||
        !GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, name, sizeof(name))) {
        return std::nullopt;
    }
    return std::string(name);
}

bool DeleteLargeFile(const std::string& path)
{
    constexpr std::uint64_t kStep = 2 * 1024 * 1024;
    if (const std::uint64_t size = FileSize(path).value_or(0); size > kStep) {
        // Only a file no one else has open is cut.
        const KernelHandle file = OwnFile(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        for (std::uint64_t left = size; file && left > kStep;) {
            left -= kStep;
            LARGE_INTEGER position{};
            position.QuadPart = static_cast<LONGLONG>(left);
            if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
                break;
            }
        }
    }
    return DeleteFileA(path.c_str()) != 0;
}

std::optional<std::uint64_t> LastWriteTime(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
        return std::nullopt;
    }
    return (static_cast<std::uint64_t>(attributes.ftLastWriteTime.dwHighDateTime) << 32) |
           attributes.ftLastWriteTime.dwLowDateTime;
}

std::optional<std::string> ReadFileStart(const std::string& path, std::uint64_t limit)
{
    const KernelHandle file = OwnFile(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) {
        return std::string();
    }
    std::string bytes(static_cast<std::size_t>(std::min(static_cast<std::uint64_t>(size.QuadPart), limit)), '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - filled, 1u << 20));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, wanted, &got, nullptr) || got == 0) {
            break;
        }
        filled += got;
    }
    bytes.resize(filled);
    return bytes;
}

bool WriteDurableFile(const std::string& path, std::string_view bytes)
{
    const KernelHandle file = OwnFile(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
        DWORD done = 0;
        if (!WriteFile(file.get(), bytes.data() + written, wanted, &done, nullptr) || done == 0) {
            return false;
        }
        written += done;
    }
    return FlushFileBuffers(file.get()) != FALSE;
}

bool ReplaceWithFile(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
