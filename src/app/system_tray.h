#pragma once
// One icon in the taskbar's notification area: a left click restores the owner window, a right
// click opens the owner's menu (the menu resource numbered like the icon's identifier).
#include <windows.h>

#include <shellapi.h>

#include <functional>

class CSystemTray {
public:
    CSystemTray();
    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;
    virtual ~CSystemTray();

    // Returns true once the shell shows the icon; without a valid owner nothing is asked.
    bool AddToTray(HWND owner, UINT callbackMessage, const char* tooltip, HICON icon, UINT id);
    bool ChangeTrayIcon(HICON icon);
    bool ChangeTrayIcon(UINT iconResource);
    bool ChangeTrayTip(const char* tooltip);
    bool RemoveFromTray();
    // Called with the menu before it opens, to set which entries are enabled.
    void SetMenuPreparer(std::function<void(HMENU)> prepare) { m_prepareMenu = std::move(prepare); }

    // The callback message's parameters: the icon's identifier and the mouse message over it.
    // Returns false for another icon or when the menu cannot be loaded.
    virtual bool OnTrayEvent(WPARAM id, LPARAM event);

    // The owner passes its messages on: the callback message goes to OnTrayEvent, and when the
    // taskbar is re-created (the shell then forgets every icon) the icon is added again. Returns
    // false for any other message.
    bool HandleOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool enabled() const { return m_enabled; }

private:
    bool Modify(UINT flags);

    bool m_enabled = false;
    NOTIFYICONDATAA m_record;
    std::function<void(HMENU)> m_prepareMenu;
};
