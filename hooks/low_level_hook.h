#pragma once
// One low-level hook of a hook library and the window it reports to. Low-level hooks run in the
// installing thread, so they see every process without loading into any of them.
#include <windows.h>

class LowLevelHook {
public:
    // Replaces a hook installed before.
    bool Install(int type, HOOKPROC procedure, HWND window, UINT message)
    {
        Remove();
        m_window = window;
        m_message = message;
        m_hook = SetWindowsHookExA(type, procedure, m_module, 0);
        return m_hook != nullptr;
    }
    BOOL Remove()
    {
        if (!m_hook) {
            return FALSE;
        }
        const BOOL removed = UnhookWindowsHookEx(m_hook);
        m_hook = nullptr;
        return removed;
    }
    bool Installed() const { return m_hook != nullptr; }
    void Post(WPARAM wParam, LPARAM lParam) const { PostMessageA(m_window, m_message, wParam, lParam); }
    void SetModule(HMODULE module) { m_module = module; }

private:
    HMODULE m_module = nullptr;
    HHOOK m_hook = nullptr;
    HWND m_window = nullptr;
    UINT m_message = 0;
};

// The library's entry point: the hook needs the module it lives in.
#define FRAMELARK_HOOK_LIBRARY_ENTRY(hook)                                                                              \
    BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)                                                      \
    {                                                                                                                  \
        if (reason == DLL_PROCESS_ATTACH) {                                                                            \
            (hook).SetModule(instance);                                                                                \
            DisableThreadLibraryCalls(instance);                                                                       \
        }                                                                                                              \
        return TRUE;                                                                                                   \
    }
