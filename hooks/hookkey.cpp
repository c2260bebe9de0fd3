// hookkey.dll: reports every key event to one window, with the key data a keyboard hook gets
// (repeat count 1, scan code, extended, context, previous state, transition).
#include "low_level_hook.h"

#include <bitset>

namespace {
LowLevelHook g_hook;
std::bitset<256> g_down;

LPARAM KeyData(const KBDLLHOOKSTRUCT& key, bool released, bool wasDown)
{
    DWORD data = 1;
    data |= (key.scanCode & 0xFF) << 16;
    if (key.flags & LLKHF_EXTENDED) {
        data |= 1u << 24;
    }
    if (key.flags & LLKHF_ALTDOWN) {
        data |= 1u << 29;
    }
    if (wasDown) {
        data |= 1u << 30;
    }
    if (released) {
        data |= 1u << 31;
    }
    return static_cast<LPARAM>(data);
}

LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_hook.Installed()) {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool released = (key.flags & LLKHF_UP) != 0;
        const std::size_t vk = key.vkCode & 0xFF;
        const bool wasDown = released || g_down[vk];
        g_down[vk] = !released;
        g_hook.Post(key.vkCode, KeyData(key, released, wasDown));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

FRAMELARK_HOOK_LIBRARY_ENTRY(g_hook)

extern "C" BOOL InstallMyKeyHook(HWND window, UINT message)
{
    g_hook.Remove();
    g_down.reset();
    return g_hook.Install(WH_KEYBOARD_LL, &KeyProc, window, message) ? TRUE : FALSE;
}

extern "C" BOOL UninstallMyKeyHook(HWND)
{
    return g_hook.Remove();
}
