#include "app/completion_files.h"

#include "messages/private_messages.h"
#include "win/background_work.h"
#include "win/file_io.h"
#include "win/handles.h"

#include <vector>

namespace {
std::string FullPath(const std::string& path)
{
    std::vector<char> buffer(4096);
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return length > 0 && length < buffer.size() ? std::string(buffer.data(), length) : path;
}

// Where a copy's progress goes, and the last percentage told.
struct CopyProgressTarget {
    HWND window;
    const std::atomic<bool>& abandon;
    int reported = -1;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                            HANDLE, HANDLE, LPVOID data)
{
    auto& target = *static_cast<CopyProgressTarget*>(data);
    const int percent = total.QuadPart > 0 ? static_cast<int>(done.QuadPart * 100 / total.QuadPart) : 100;
    if (percent != target.reported) {
        PostMessageA(target.window, MergeProgressMessage, static_cast<WPARAM>(percent), 0);
        target.reported = percent;
    }
    return target.abandon ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}
} // namespace

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SameFile(const std::string& a, const std::string& b)
{
    return !a.empty() && !b.empty() && lstrcmpiA(FullPath(a).c_str(), FullPath(b).c_str()) == 0;
}

bool CanWrite(const std::string& path)
{
    if (IsFile(path)) {
        return static_cast<bool>(
            OwnFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    }
    if (!OwnFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr))) {
        return false;
    }
    DeleteFileA(path.c_str());
    return true;
}

void DeleteNow(const std::string& path)
{
    if (!path.empty()) {
        DeleteLargeFile(path);
    }
}

void DeleteLater(const std::string& path)
{
    if (!path.empty()) {
        BackgroundWork().Post([path] { DeleteLargeFile(path); });
    }
}

bool CopyWhole(const std::string& from, const std::string& to, HWND progress, const std::atomic<bool>& abandon)
{
    const std::string partial = to + ".partial";
    CopyProgressTarget target{progress, abandon};
    if (abandon || !CopyFileExA(from.c_str(), partial.c_str(), &CopyProgress, &target, nullptr, 0) ||
        !MoveFileExA(partial.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteNow(partial);
        return false;
    }
    return true;
}

bool Place(const std::string& from, const std::string& to, HWND progress, const std::atomic<bool>& abandon)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    if (!CopyWhole(from, to, progress, abandon)) {
        return false;
    }
    DeleteNow(from);
    return true;
}
