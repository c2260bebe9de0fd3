#include "messages/hook_library.h"

#include "win/directories.h"

#include <string>

namespace {
using InstallProc = BOOL(__cdecl*)(HWND, UINT);
using UninstallProc = BOOL(__cdecl*)(HWND);
using ClicksProc = void(__cdecl*)(UINT);

struct HookLibrary {
    InstallProc install = nullptr;
    UninstallProc uninstall = nullptr;
    ClicksProc clicks = nullptr; // the mouse library's only
    HWND window = nullptr;
};

// Loaded once by full path (never from the search path) and kept for the whole run, since a
// hook may still be installed when the program ends.
HookLibrary Load(const char* file, const char* installName, const char* uninstallName)
{
    HookLibrary library;
    const std::string path = GetProgramDirectory() + "\\" + file;
    if (HMODULE module = LoadLibraryA(path.c_str())) {
        library.install = reinterpret_cast<InstallProc>(reinterpret_cast<void*>(GetProcAddress(module, installName)));
        library.uninstall = reinterpret_cast<UninstallProc>(reinterpret_cast<void*>(GetProcAddress(module, uninstallName)));
        library.clicks = reinterpret_cast<ClicksProc>(reinterpret_cast<void*>(GetProcAddress(module, "ReportMyHookClicks")));
    }
    return library;
}

HookLibrary& MouseLibrary()
{
    static HookLibrary library = Load("hook.dll", "InstallMyHook", "UninstallMyHook");
    return library;
}

HookLibrary& KeyLibrary()
{
    static HookLibrary library = Load("hookkey.dll", "InstallMyKeyHook", "UninstallMyKeyHook");
    return library;
}

bool Install(HookLibrary& library, HWND window, UINT message)
{
    if (!library.install) {
        return false;
    }
    library.window = window;
    return library.install(window, message) != FALSE;
}

void Uninstall(HookLibrary& library)
{
    if (library.uninstall) {
        library.uninstall(library.window);
    }
}
} // namespace

bool InstallMouseHook(HWND window, UINT message) { return Install(MouseLibrary(), window, message); }

void UninstallMouseHook() { Uninstall(MouseLibrary()); }

void ReportMouseClicks(UINT message)
{
    if (MouseLibrary().clicks) {
        MouseLibrary().clicks(message);
    }
}

bool InstallKeyHook(HWND window, UINT message) { return Install(KeyLibrary(), window, message); }

void UninstallKeyHook() { Uninstall(KeyLibrary()); }
