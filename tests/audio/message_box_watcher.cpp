#include "message_box_watcher.h"

namespace {
HWND FindMessageBox(DWORD thread)
{
    HWND found = nullptr;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM result) -> BOOL {
            char className[16] = {};
            GetClassNameA(window, className, sizeof(className));
            if (std::string(className) == "#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}
} // namespace

MessageBoxWatcher::MessageBoxWatcher() : m_thread(&MessageBoxWatcher::Watch, this, GetCurrentThreadId()) {}

MessageBoxWatcher::~MessageBoxWatcher()
{
    m_stop = true;
    m_thread.join();
}

std::vector<std::string> MessageBoxWatcher::Seen()
{
    std::lock_guard lock(m_lock);
    return m_seen;
}

void MessageBoxWatcher::Watch(DWORD thread)
{
    while (!m_stop) {
        if (HWND box = FindMessageBox(thread)) {
            // The message text is the box's static control 0xFFFF.
            const std::string seen = WindowText(box) + ": " + WindowText(GetDlgItem(box, 0xFFFF));
            {
                std::lock_guard lock(m_lock);
                m_seen.push_back(seen);
            }
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && !m_stop) {
                Sleep(10);
            }
        }
        Sleep(10);
    }
}
