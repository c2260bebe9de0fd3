#pragma once
// One low-level hook of a hook library and the window it reports to. The system runs a low-level
// hook on the thread that installed it and holds every input event of the desktop until it
// returns, so the hook gets a thread of its own that does nothing but pump messages: a busy
// program never slows anyone's typing, and the hook is never timed out and dropped.
#include <windows.h>

#include <atomic>

// How long the caller waits for the hook's thread: it only installs or removes the hook, which
// takes a few milliseconds; a thread that takes longer is left to end on its own.
constexpr DWORD kHookThreadWaitMs = 1000;

class LowLevelHook {
public:
    // Replaces a hook installed before. Returns once the hook's thread has installed it (true) or
    // failed to (false). `onStarted` runs on the hook's thread right after the hook is in place.
    bool Install(int type, HOOKPROC procedure, HWND window, UINT message, void (*onStarted)() = nullptr)
    {
        Remove();
        m_type = type;
        m_procedure = procedure;
        m_window = window;
        m_message = message;
        m_onStarted = onStarted;
        m_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!m_ready) {
            return false;
        }
        m_thread = CreateThread(nullptr, 0, &ThreadMain, this, 0, &m_threadId);
        if (m_thread && WaitForSingleObject(m_ready, kHookThreadWaitMs) != WAIT_OBJECT_0) {
            // Not ready in time: told to end as soon as it can; its event is left to it.
            m_ready = nullptr;
            PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
            Join();
            return false;
        }
        CloseHandle(m_ready);
        m_ready = nullptr;
        if (m_thread && !Installed()) {
            Join();
        }
        return Installed();
    }
    // Ends the hook's thread, which removes the hook; true when it was installed and removed.
    BOOL Remove()
    {
        if (!m_thread) {
            return FALSE;
        }
        PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
        Join();
        return m_removed;
    }
    bool Installed() const { return m_hook.load() != nullptr; }
    void Post(WPARAM wParam, LPARAM lParam) const { PostMessageA(m_window, m_message, wParam, lParam); }
    void PostOther(UINT message, WPARAM wParam, LPARAM lParam) const { PostMessageA(m_window, message, wParam, lParam); }
    void SetModule(HMODULE module) { m_module = module; }

private:
    static DWORD WINAPI ThreadMain(LPVOID self) { return static_cast<LowLevelHook*>(self)->Run(); }

    DWORD Run()
    {
        // A queue before the hook, so that the quit message of Remove cannot be lost.
        MSG message;
        PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        m_removed = FALSE;
        m_hook = SetWindowsHookExA(m_type, m_procedure, m_module, 0);
        const bool installed = Installed();
        if (installed && m_onStarted) {
            m_onStarted();
        }
        SetEvent(m_ready);
        if (!installed) {
            return 0;
        }
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        m_removed = UnhookWindowsHookEx(m_hook.exchange(nullptr));
        return 0;
    }

    void Join()
    {
        WaitForSingleObject(m_thread, kHookThreadWaitMs);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }

    HMODULE m_module = nullptr;
    std::atomic<HHOOK> m_hook{nullptr};
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    HANDLE m_ready = nullptr;
    int m_type = 0;
    HOOKPROC m_procedure = nullptr;
    void (*m_onStarted)() = nullptr;
    HWND m_window = nullptr;
    UINT m_message = 0;
    BOOL m_removed = FALSE;
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
