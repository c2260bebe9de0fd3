#include "audio/movie_file.h"

#include "audio/merge_rules.h"
#include "win/file_io.h"

#include <algorithm>

namespace {
// WriteFile takes 32-bit counts.
constexpr std::size_t kLargestWrite = 1u << 30;
} // namespace

CMovieFile::CMovieFile(const std::string& path)
    : m_file(OwnFile(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)))
{
    if (!m_file) {
        m_lastError = GetLastError();
    }
}

void CMovieFile::Close()
{
    if (!m_file) {
        return;
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(m_end);
    SetFilePointerEx(m_file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(m_file.get());
    m_file.reset();
}

bool CMovieFile::Append(std::span<const std::uint8_t> bytes)
{
    if (!WriteAt(m_end, bytes)) {
        return false;
    }
    m_end += bytes.size();
    return true;
}

bool CMovieFile::Overwrite(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    return offset + bytes.size() <= m_end && WriteAt(offset, bytes);
}

bool CMovieFile::Truncate(std::uint64_t end)
{
    m_end = std::min(m_end, end);
    return IsOpen();
}

bool CMovieFile::WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    if (!m_file) {
        return false;
    }
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), kLargestWrite);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(m_file.get(), bytes.data(), static_cast<DWORD>(count), &written, &at)) {
            m_lastError = GetLastError();
            return false;
        }
        if (written != count) {
            m_lastError = ERROR_DISK_FULL;
            return false;
        }
        bytes = bytes.subspan(count);
        offset += count;
    }
    return true;
}

std::uint64_t LargestFileIn(const std::string& folder)
{
    const std::optional<std::string> fileSystem = FileSystemOf(folder);
    return fileSystem ? LargestFileOn(*fileSystem) : kNoFileLimit;
}
