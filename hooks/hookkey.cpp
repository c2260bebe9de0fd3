// hookkey.dll: reports every key event to one window, with the key data a keyboard hook gets
// (repeat count 1, scan code, extended, context, previous state, transition).
#include <windows.h>

#include <bitset>

namespace {
HMODULE g_module = nullptr;
HHOOK g_hook = nullptr;
HWND g_window = nullptr;
UINT g_message = 0;
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
    if (code == HC_ACTION && g_hook) {
        const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool released = (key.flags & LLKHF_UP) != 0;
        const std::size_t vk = key.vkCode & 0xFF;
        const bool wasDown = released || g_down[vk];
        g_down[vk] = !released;
        PostMessageA(g_window, g_message, key.vkCode, KeyData(key, released, wasDown));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

extern "C" BOOL InstallMyKeyHook(HWND window, UINT message)
{
    if (g_hook) {
        UnhookWindowsHookEx(g_hook);
    }
    g_window = window;
    g_message = message;
    g_down.reset();
    g_hook = SetWindowsHookExA(WH_KEYBOARD_LL, &KeyProc, g_module, 0);
    return g_hook != nullptr;
}

extern "C" BOOL UninstallMyKeyHook(HWND)
{
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
