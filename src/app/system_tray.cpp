#include "app/system_tray.h"

#include "win/handles.h"

#include <cstring>

namespace {
// The record's first form: every shell since the first accepts it; the tooltip then holds 63 bytes.
constexpr DWORD kRecordSize = NOTIFYICONDATAA_V1_SIZE;
constexpr size_t kTipBytes = 64;

void CopyTip(NOTIFYICONDATAA& record, const char* text)
{
    std::memset(record.szTip, 0, sizeof(record.szTip));
    if (text) {
        std::strncpy(record.szTip, text, kTipBytes - 1);
    }
}
} // namespace

CSystemTray::CSystemTray() : m_record{} {}

CSystemTray::~CSystemTray() { RemoveFromTray(); }

bool CSystemTray::AddToTray(HWND owner, UINT callbackMessage, const char* tooltip, HICON icon, UINT id)
{
    m_enabled = false;
    if (!owner || !IsWindow(owner)) {
        return false;
    }
    m_record = NOTIFYICONDATAA{};
    m_record.cbSize = kRecordSize;
    m_record.hWnd = owner;
    m_record.uID = id;
    m_record.hIcon = icon;
    m_record.uCallbackMessage = callbackMessage;
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    CopyTip(m_record, tooltip);
    m_enabled = Shell_NotifyIconA(NIM_ADD, &m_record) != FALSE;
    return m_enabled;
}

bool CSystemTray::HandleOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // Broadcast by the shell to top-level windows when the taskbar is (re-)created.
    static const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    if (message == taskbarCreated) {
        if (m_enabled) {
            m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
            Shell_NotifyIconA(NIM_ADD, &m_record);
        }
        return true;
    }
    if (m_enabled && message == m_record.uCallbackMessage) {
        OnTrayEvent(wParam, lParam);
        return true;
    }
    return false;
}

bool CSystemTray::Modify(UINT flags)
{
    m_record.uFlags = flags;
    return Shell_NotifyIconA(NIM_MODIFY, &m_record) != FALSE;
}

bool CSystemTray::ChangeTrayIcon(HICON icon)
{
    if (!m_enabled) {
        return false;
    }
    m_record.hIcon = icon;
    return Modify(NIF_ICON);
}

bool CSystemTray::ChangeTrayIcon(UINT iconResource)
{
    // Shared: the system keeps the icon for the process, so it outlives every change.
    const auto icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconResource),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                    GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    return ChangeTrayIcon(icon);
}

bool CSystemTray::ChangeTrayTip(const char* tooltip)
{
    if (!m_enabled) {
        return false;
    }
    CopyTip(m_record, tooltip);
    return Modify(NIF_TIP);
}

bool CSystemTray::RemoveFromTray()
{
    if (!m_enabled) {
        return false;
    }
    m_record.uFlags = 0;
    m_enabled = false;
    return Shell_NotifyIconA(NIM_DELETE, &m_record) != FALSE;
}

bool CSystemTray::OnTrayEvent(WPARAM id, LPARAM event)
{
    if (id != m_record.uID) {
        return false;
    }
    const UINT mouse = LOWORD(event);
    if (mouse != WM_RBUTTONUP && mouse != WM_LBUTTONDOWN) {
        return true;
    }
    OwnedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_record.uID)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) {
        return false;
    }
    HWND owner = m_record.hWnd;
    if (mouse == WM_LBUTTONDOWN) {
        SetForegroundWindow(owner);
        ShowWindow(owner, SW_RESTORE);
        return true;
    }
    SetMenuDefaultItem(popup, 0, TRUE);
    if (m_prepareMenu) {
        m_prepareMenu(popup);
    }
    POINT at{};
    GetCursorPos(&at);
    // The owner must be in front, or the menu does not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, at.x, at.y, 0, owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
    return true;
}
