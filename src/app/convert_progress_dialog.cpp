#include "app/convert_progress_dialog.h"

#include "resources/resource_ids.h"

#include <commctrl.h>

CConvertProgressDialog::CConvertProgressDialog() : CDialog(IDD_CONVERTPROGRESS) {}

bool CConvertProgressDialog::Create(HWND owner)
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return CreateModeless(owner);
}

void CConvertProgressDialog::SetRange(int low, int high)
{
    SendDlgItemMessageA(hwnd(), IDC_CONVERTPROGRESS_BAR, PBM_SETRANGE32, static_cast<WPARAM>(low),
                        static_cast<LPARAM>(high));
}

void CConvertProgressDialog::SetPosition(int position)
{
    SendDlgItemMessageA(hwnd(), IDC_CONVERTPROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CConvertProgressDialog::Show()
{
    if (hwnd()) {
        ShowWindow(hwnd(), SW_SHOW);
        // Painted now: the merge dispatches messages only once its first progress comes.
        UpdateWindow(hwnd());
    }
}

void CConvertProgressDialog::Hide()
{
    if (hwnd()) {
        ShowWindow(hwnd(), SW_HIDE);
    }
}

bool CConvertProgressDialog::OnCommand(WORD id, WORD, HWND)
{
    // Closing only hides it: the window lives as long as the main window, and the merge goes on.
    if (id == IDCANCEL || id == IDOK) {
        Hide();
        return true;
    }
    return false;
}
