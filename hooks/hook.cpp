// hook.dll: reports the cursor shown on screen to one window while a recording runs.
// A low-level mouse hook sees every process without loading into them. It runs before the
// event reaches its window, so the shape that the event brings is read again shortly after.
#include <windows.h>

namespace {
constexpr UINT kSettleDelayMs = 30;

HMODULE g_module = nullptr;
HHOOK g_hook = nullptr;
HWND g_window = nullptr;
UINT g_message = 0;
HCURSOR g_lastreported = nullptr;
UINT_PTR g_settletimer = 0;

void ReportCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetCursorInfo(&info) || !info.hCursor || info.hCursor == g_lastreported) {
        return;
    }
    g_lastreported = info.hCursor;
    PostMessageA(g_window, g_message, reinterpret_cast<WPARAM>(info.hCursor), 0);
}

void CALLBACK SettleTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_settletimer) {
        KillTimer(nullptr, g_settletimer);
        g_settletimer = 0;
    }
    if (g_hook) {
        ReportCursor();
    }
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_hook) {
        ReportCursor();
        g_settletimer = SetTimer(nullptr, g_settletimer, kSettleDelayMs, &SettleTimer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

extern "C" BOOL InstallMyHook(HWND window, UINT message)
{
    if (g_hook) {
        UnhookWindowsHookEx(g_hook);
    }
    g_window = window;
    g_message = message;
    g_lastreported = nullptr;
    g_hook = SetWindowsHookExA(WH_MOUSE_LL, &MouseProc, g_module, 0);
    if (g_hook) {
        ReportCursor();
    }
    return g_hook != nullptr;
}

extern "C" BOOL UninstallMyHook(HWND)
{
    if (g_settletimer) {
        KillTimer(nullptr, g_settletimer);
        g_settletimer = 0;
    }
    if (!g_hook) {
        return FALSE;
    }
    const BOOL removed = UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    return removed;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
