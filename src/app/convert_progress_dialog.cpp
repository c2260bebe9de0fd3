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

void CConvertProgressDialog::SetCancel(std::function<void()> onCancel, const std::string& title)
{
    m_onCancel = std::move(onCancel);
    SetWindowTextA(hwnd(), title.c_str());
    ShowWindow(GetDlgItem(hwnd(), IDC_CONVERTPROGRESS_CANCEL), m_onCancel ? SW_SHOW : SW_HIDE);
    // Dialog units of the template: the bar alone, or the bar and the button beneath it.
    RECT size{0, 0, 161, m_onCancel ? 38 : 20};
    MapDialogRect(hwnd(), &size);
    AdjustWindowRectEx(&size, static_cast<DWORD>(GetWindowLongPtrA(hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(hwnd(), GWL_EXSTYLE)));
    SetWindowPos(hwnd(), nullptr, 0, 0, size.right - size.left, size.bottom - size.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CConvertProgressDialog::OnCommand(WORD id, WORD, HWND)
{
    if ((id == IDC_CONVERTPROGRESS_CANCEL || id == IDCANCEL) && m_onCancel) {
        m_onCancel();
        return true;
    }
    // Closing only hides it: the window lives as long as the main window, and the merge goes on.
    if (id == IDCANCEL || id == IDOK) {
        Hide();
        return true;
    }
    return false;
}
