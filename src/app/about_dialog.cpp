#include "app/about_dialog.h"

#include "resources/resource_ids.h"
#include "win/dpi.h"

#include <windowsx.h>

#include <utility>

namespace {
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
// The banner's width at 96 dpi, as draw_resources.py draws it.
constexpr int kBannerWidth = 326;
} // namespace

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDialog::OnInitDialog()
{
    m_bannerDpi = WindowDpi(hwnd());
    ShowBanner(m_bannerDpi);
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
    // The dialog grows with its font, which need not keep step with the dpi: the banner keeps the
    // margin left of it on its right too, shrinking where the dialog came out narrower. Before the
    // system rescales the dialog to a new dpi, its present width is taken at that dpi's scale.
    HWND control = GetDlgItem(hwnd(), IDC_ABOUTBANNER);
    RECT client{};
    RECT place{};
    GetClientRect(hwnd(), &client);
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&place), 2);
    const int space = MulDiv(client.right - 2 * place.left, dpi, m_bannerDpi);
    GdiBitmap banner = LoadBitmapForDpi(IDB_ABOUTBANNER, DpiToFit(kBannerWidth, space, dpi), BitmapKind::Picture);
    // The static sizes itself to the picture; the one it showed is released only once replaced.
    SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(banner.get()));
    m_banner = std::move(banner);
    m_bannerDpi = dpi;
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
