#include "app/about_dialog.h"

#include "resources/resource_ids.h"
#include "win/dpi.h"

#include <windowsx.h>

#include <utility>

namespace {
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
}

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDialog::OnInitDialog()
{
    ShowBanner(WindowDpi(hwnd()));
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

void CAboutDialog::ShowBanner(int dpi)
{
    // The static sizes itself to the picture; the one it showed is released only once replaced.
    GdiBitmap banner = LoadBitmapForDpi(IDB_ABOUTBANNER, dpi, BitmapKind::Picture);
    SendDlgItemMessageA(hwnd(), IDC_ABOUTBANNER, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner.get()));
    m_banner = std::move(banner);
}

INT_PTR CAboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN) {
        DragByFace(hwnd(), lParam);
    } else if (message == WM_DPICHANGED) {
        // The system moves and rescales the dialog itself afterwards.
        ShowBanner(DpiOfDpiChange(wParam));
    }
    return FALSE;
}

void DragByFace(HWND window, LPARAM clientPoint)
{
    POINT p{GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
    ClientToScreen(window, &p);
    PostMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(p.x, p.y));
}
