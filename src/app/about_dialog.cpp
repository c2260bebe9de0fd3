#include "app/about_dialog.h"

#include "resources/resource_ids.h"

#include <windowsx.h>

namespace {
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
}

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDialog::OnInitDialog()
{
    SetDlgItemTextA(hwnd(), IDC_ABOUTLINK, kProductWebSite);
    if (m_link.AttachTo(hwnd(), IDC_ABOUTLINK)) {
        m_link.SetLink(true, false);
        m_link.SetColour(kLinkBlue);
        m_link.SetUnderline(true);
        m_link.SetLinkCursor(LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_LINKCURSOR)));
        m_link.SetLinkTarget(kProductWebSite);
    }
    return TRUE;
}

INT_PTR CAboutDialog::HandleMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        DragByFace(hwnd(), lParam);
    }
    return FALSE;
}

void DragByFace(HWND window, LPARAM clientPoint)
{
    POINT p{GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
    ClientToScreen(window, &p);
    PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
}
