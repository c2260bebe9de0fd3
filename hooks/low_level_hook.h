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
        m_window = window;
        m_message = message;
        auto* start = new ThreadStart{this, type, procedure, m_module, onStarted, ++m_generation,
                                      CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        m_thread = start->ready ? CreateThread(nullptr, 0, &ThreadMain, start, 0, &m_threadId) : nullptr;
        if (!m_thread) {
            start->Release();
            start->Release();
            return false;
        }
        if (WaitForSingleObject(start->ready, kHookThreadWaitMs) != WAIT_OBJECT_0) {
            // Not ready in time: a thread that installs its hook later removes it at once and ends.
            ++m_generation;
            PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
            start->Release();
            Join();
            return false;
        }
        start->Release();
        if (!Installed()) {
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
    // What one hook thread is given, its own: a later Install cannot change it under the thread.
    // Freed by the last of the thread and its caller to be done with it.
    struct ThreadStart {
        LowLevelHook* owner;
        int type;
        HOOKPROC procedure;
        HMODULE module;
        void (*onStarted)();
        unsigned generation;
        HANDLE ready;
        std::atomic<int> users{2};

        void Release()
        {
            if (--users == 0) {
                if (ready) {
                    CloseHandle(ready);
                }
                delete this;
            }
        }
    };

    static DWORD WINAPI ThreadMain(LPVOID start)
    {
        auto* given = static_cast<ThreadStart*>(start);
        return given->owner->Run(*given);
    }

    DWORD Run(ThreadStart& start)
    {
        // A queue before the hook, so that the quit message of Remove cannot be lost.
        MSG message;
        PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        HHOOK hook = SetWindowsHookExA(start.type, start.procedure, start.module, 0);
        if (hook && start.generation != m_generation) {
            UnhookWindowsHookEx(hook); // the caller stopped waiting for this thread
            hook = nullptr;
        }
        if (hook) {
            m_removed = FALSE;
            m_hook = hook;
            if (start.onStarted) {
                start.onStarted();
            }
        }
        const unsigned generation = start.generation;
        SetEvent(start.ready);
        start.Release();
        if (!hook) {
            return 0;
        }
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        // A thread given up on leaves the state of the one that came after it alone.
        HHOOK mine = hook;
        m_hook.compare_exchange_strong(mine, nullptr);
        const BOOL removed = UnhookWindowsHookEx(hook);
        if (generation == m_generation) {
            m_removed = removed;
        }
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
    std::atomic<unsigned> m_generation{0};
    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    std::atomic<HWND> m_window{nullptr};
    std::atomic<UINT> m_message{0};
    std::atomic<BOOL> m_removed{FALSE};
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
