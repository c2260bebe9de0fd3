#include "app/about_dialog.h"

#include "resources/resource_ids.h"

#include <windowsx.h>

CAboutDialog::CAboutDialog() : CDialog(IDD_ABOUTBOX) {}

// The link line (control 1083) becomes a link label when that control exists; until then it is
// plain text.
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
