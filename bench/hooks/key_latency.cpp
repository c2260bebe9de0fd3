// Another program receiving key presses while Framelark records: prints, for every key that
// reaches its window, how long the system took to deliver it (now against the key's own time).
// With a stall given, it also suspends Framelark's main thread for that long, as a busy save
// would hold it.
//   key_latency.exe <output file> [<stall after ms> <stall ms>]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// A kernel handle closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle()
    {
        if (m_handle) {
            CloseHandle(m_handle);
        }
    }
    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

FILE* g_out = nullptr;
DWORD g_start = 0;
DWORD g_stallAfter = 0;
DWORD g_stallLength = 0;

bool IsFramelark(HWND window)
{
    char name[64];
    if (!IsWindowVisible(window) || !GetClassNameA(window, name, sizeof(name)) || std::strcmp(name, "#32770") != 0) {
        return false;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    const Handle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    char path[MAX_PATH];
    DWORD length = MAX_PATH;
    return handle.get() && QueryFullProcessImageNameA(handle.get(), 0, path, &length) && length >= 13 &&
           _stricmp(path + length - 13, "framelark.exe") == 0;
}

BOOL CALLBACK FindFramelark(HWND window, LPARAM found)
{
    if (IsFramelark(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI Stall(LPVOID)
{
    Sleep(g_stallAfter);
    HWND main = nullptr;
    EnumWindows(&FindFramelark, reinterpret_cast<LPARAM>(&main));
    const DWORD threadId = main ? GetWindowThreadProcessId(main, nullptr) : 0;
    const Handle thread(threadId ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId) : nullptr);
    if (!thread.get() || SuspendThread(thread.get()) == static_cast<DWORD>(-1)) {
        std::fprintf(g_out, "stall failed: no main thread of framelark.exe found\n");
        std::fflush(g_out);
        return 1;
    }
    std::fprintf(g_out, "stall from %lu\n", GetTickCount() - g_start);
    std::fflush(g_out);
    Sleep(g_stallLength);
    ResumeThread(thread.get());
    std::fprintf(g_out, "stall to %lu\n", GetTickCount() - g_start);
    std::fflush(g_out);
    return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_KEYUP) {
        const DWORD now = GetTickCount();
        std::fprintf(g_out, "key %s %lu at %lu latency %lu\n", message == WM_KEYDOWN ? "down" : "up",
                     static_cast<unsigned long>(wParam), now - g_start, now - static_cast<DWORD>(GetMessageTime()));
        std::fflush(g_out);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (__argc < 2 || !(g_out = std::fopen(__argv[1], "w"))) {
        return 2;
    }
    g_start = GetTickCount();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "KeyLatency";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(WS_EX_TOPMOST, "KeyLatency", "KeyLatency", WS_POPUP | WS_VISIBLE, 700, 50,
                                        300, 200, nullptr, nullptr, instance, nullptr);
    if (!window) {
        return 1;
    }
    SetFocus(window);
    if (__argc >= 4) {
        g_stallAfter = static_cast<DWORD>(std::strtoul(__argv[2], nullptr, 10));
        g_stallLength = static_cast<DWORD>(std::strtoul(__argv[3], nullptr, 10));
        const Handle stall(CreateThread(nullptr, 0, &Stall, nullptr, 0, nullptr));
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    std::fclose(g_out);
    return 0;
}
