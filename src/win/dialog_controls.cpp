#include "win/dialog_controls.h"

#include "common/decimal_text.h"
#include "win/message_box.h"

#include <commctrl.h>

#include <algorithm>

void DialogControl::Enable(bool enable) const
{
    EnableWindow(m_hwnd, enable ? TRUE : FALSE);
}

bool DialogControl::IsEnabled() const
{
    return IsWindowEnabled(m_hwnd) != FALSE;
}

bool CheckBox::IsChecked() const
{
    return SendMessageA(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) const
{
    SendMessageA(hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TextField::Text() const
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd())) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd(), text.data(), static_cast<int>(text.size()))));
    return text;
}

void TextField::SetText(const std::string& text) const
{
    SetWindowTextA(hwnd(), text.c_str());
}

void TextField::SetNumber(int value) const
{
    SetText(std::to_string(value));
}

std::optional<std::int32_t> TextField::Number() const
{
    return ReadDecimal(Text());
}

void DropDown::Clear() const
{
    SendMessageA(hwnd(), CB_RESETCONTENT, 0, 0);
}

void DropDown::Add(const std::string& text) const
{
    SendMessageA(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int DropDown::Count() const
{
    return static_cast<int>(SendMessageA(hwnd(), CB_GETCOUNT, 0, 0));
}

int DropDown::Selection() const
{
    const LRESULT index = SendMessageA(hwnd(), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void DropDown::Select(int index) const
{
    SendMessageA(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void Trackbar::SetRange(int low, int high) const
{
    SendMessageA(hwnd(), TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
}

void Trackbar::SetTickFrequency(int every) const
{
    SendMessageA(hwnd(), TBM_SETTICFREQ, static_cast<WPARAM>(every), 0);
}

int Trackbar::Position() const
{
    return static_cast<int>(SendMessageA(hwnd(), TBM_GETPOS, 0, 0));
}

void Trackbar::SetPosition(int position) const
{
    SendMessageA(hwnd(), TBM_SETPOS, TRUE, position);
}

void CControlsDialog::Bind(DialogControl& control, int id)
{
    control.m_hwnd = GetDlgItem(hwnd(), id);
    control.m_id = id;
    m_controls.push_back(&control);
}

bool CControlsDialog::OnCommand(WORD id, WORD code, HWND control)
{
    const auto found = std::find_if(m_controls.begin(), m_controls.end(),
                                    [id](const DialogControl* c) { return c->id() == id; });
    if (found == m_controls.end()) {
        if (id == IDOK) {
            OnOK();
            return true;
        }
        return CDialog::OnCommand(id, code, control);
    }
    if ((*found)->IsChangeNotification(code) && (*found)->onChange) {
        (*found)->onChange();
    }
    return true;
}

INT_PTR CControlsDialog::HandleMessage(UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_HSCROLL && message != WM_VSCROLL) {
        return FALSE;
    }
    const HWND source = reinterpret_cast<HWND>(lParam);
    for (DialogControl* c : m_controls) {
        if (c->hwnd() == source && c->onChange) {
            c->onChange();
            return TRUE;
        }
    }
    return FALSE;
}

int CControlsDialog::Note(const std::string& text, UINT type) const
{
    return ShowNote(hwnd(), text, type);
}
