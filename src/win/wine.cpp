#include "win/wine.h"

#include <windows.h>

namespace {
FARPROC WineExport(const char* module, const char* name)
{
    const HMODULE handle = GetModuleHandleA(module);
    return handle ? GetProcAddress(handle, name) : nullptr;
}
} // namespace

bool UnderWine()
{
    return WineExport("ntdll.dll", "wine_get_version") != nullptr;
}

std::optional<std::string> DosPath(const std::string& unixPath)
{
    using ToDosName = WCHAR*(CDECL*)(const char*);
    // Through void (*)() first: FARPROC's own type does not match the export's.
    const auto toDosName = reinterpret_cast<ToDosName>(
        reinterpret_cast<void (*)()>(WineExport("kernel32.dll", "wine_get_dos_file_name")));
    WCHAR* dosName = toDosName ? toDosName(unixPath.c_str()) : nullptr;
    if (!dosName) {
        return std::nullopt;
    }
    std::string path(MAX_PATH * 4, '\0');
    const int length = WideCharToMultiByte(CP_ACP, 0, dosName, -1, path.data(), static_cast<int>(path.size()), nullptr,
                                           nullptr);
    HeapFree(GetProcessHeap(), 0, dosName);
    if (length <= 1) {
        return std::nullopt;
    }
    path.resize(static_cast<std::size_t>(length - 1));
    return path;
}
