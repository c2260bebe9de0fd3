// hook.dll: reports the cursor shown on screen, and on request each press of a mouse button, to one
// window while a recording runs.
// The mouse hook runs before the event reaches its window, so the shape that the event brings is
// read again shortly after, by a timer of the hook's own thread.
#include "low_level_hook.h"

#include <atomic>

namespace {
constexpr UINT kSettleDelayMs = 30;

LowLevelHook g_hook;
HCURSOR g_lastreported = nullptr;
UINT_PTR g_settletimer = 0;
std::atomic<UINT> g_clickmessage{0};

// wParam: 0 left, 1 right, 2 middle; lParam: the screen point, x and y as signed 16-bit halves.
void ReportClick(WPARAM event, const MSLLHOOKSTRUCT& mouse)
{
    const UINT message = g_clickmessage;
    const WPARAM button = event == WM_LBUTTONDOWN ? 0 : event == WM_RBUTTONDOWN ? 1 : event == WM_MBUTTONDOWN ? 2 : 3;
    if (message && button < 3) {
        g_hook.PostOther(message, button, MAKELPARAM(static_cast<WORD>(mouse.pt.x), static_cast<WORD>(mouse.pt.y)));
    }
}

void ReportCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetCursorInfo(&info) || !info.hCursor || info.hCursor == g_lastreported) {
        return;
    }
    g_lastreported = info.hCursor;
    g_hook.Post(reinterpret_cast<WPARAM>(info.hCursor), 0);
}

void StopSettleTimer()
{
    if (g_settletimer) {
        KillTimer(nullptr, g_settletimer);
        g_settletimer = 0;
    }
}

void CALLBACK SettleTimer(HWND, UINT, UINT_PTR, DWORD)
{
    StopSettleTimer();
    if (g_hook.Installed()) {
        ReportCursor();
    }
}

LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_hook.Installed()) {
        ReportClick(wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam));
        ReportCursor();
        g_settletimer = SetTimer(nullptr, g_settletimer, kSettleDelayMs, &SettleTimer);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

FRAMELARK_HOOK_LIBRARY_ENTRY(g_hook)

extern "C" BOOL InstallMyHook(HWND window, UINT message)
{
    g_hook.Remove();
    // The timer of an earlier hook ended with its thread.
    g_settletimer = 0;
    g_lastreported = nullptr;
    return g_hook.Install(WH_MOUSE_LL, &MouseProc, window, message, &ReportCursor) ? TRUE : FALSE;
}

extern "C" BOOL UninstallMyHook(HWND)
{
    return g_hook.Remove();
}

// 0 stops the reports of clicks.
extern "C" void ReportMyHookClicks(UINT message)
{
    g_clickmessage = message;
}
