#include "win/window_base.h"

namespace {
HINSTANCE ThisModule()
{
    return GetModuleHandleA(nullptr);
}
} // namespace

CWindow::~CWindow()
{
    Destroy();
}

bool CWindow::RegisterClassOnce(WNDCLASSEXA cls)
{
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(cls.hInstance, cls.lpszClassName, &existing)) {
        return true;
    }
    cls.cbSize = sizeof(cls);
    return RegisterClassExA(&cls) != 0;
}

bool CWindow::Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu)
{
    CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, ThisModule(), this);
    return m_hwnd != nullptr;
}

void CWindow::Destroy()
{
    if (m_hwnd) {
        DestroyWindow(m_hwnd);
    }
}

LRESULT CALLBACK CWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindow* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        self = static_cast<CWindow*>(create->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self) {
            self->m_hwnd = window;
        }
    } else {
        self = reinterpret_cast<CWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!self) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
    }
    return result;
}

LRESULT CWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultHandling(message, wParam, lParam);
}

LRESULT CWindow::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(m_hwnd, message, wParam, lParam);
}

CSubclassedControl::~CSubclassedControl()
{
    Detach();
}

bool CSubclassedControl::Attach(HWND control)
{
    Detach();
    if (!control) {
        return false;
    }
    m_hwnd = control;
    SetPropA(control, "FramelarkControl", this);
    m_previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProcedure)));
    return true;
}

void CSubclassedControl::Detach()
{
    if (m_hwnd && IsWindow(m_hwnd)) {
        SetWindowLongPtrA(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        RemovePropA(m_hwnd, "FramelarkControl");
    }
    m_hwnd = nullptr;
    m_previous = nullptr;
}

LRESULT CALLBACK CSubclassedControl::SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CSubclassedControl*>(GetPropA(window, "FramelarkControl"));
    if (!self) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const WNDPROC previous = self->m_previous;
        self->Detach();
        return CallWindowProcA(previous, window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT CSubclassedControl::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefaultHandling(message, wParam, lParam);
}

LRESULT CSubclassedControl::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcA(m_previous, m_hwnd, message, wParam, lParam);
}

CDialog::~CDialog()
{
    if (m_hwnd && m_modeless) {
        DestroyWindow(m_hwnd);
    }
}

INT_PTR CDialog::DoModal(HWND owner)
{
    m_modeless = false;
    return DialogBoxParamA(ThisModule(), MAKEINTRESOURCEA(m_templateId), owner, &DialogProcedure,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialog::CreateModeless(HWND owner)
{
    m_modeless = true;
    return CreateDialogParamA(ThisModule(), MAKEINTRESOURCEA(m_templateId), owner, &DialogProcedure,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_hwnd) {
        return;
    }
    if (m_modeless) {
        DestroyWindow(m_hwnd);
    } else {
        ::EndDialog(m_hwnd, result);
    }
}

bool CDialog::OnCommand(WORD id, WORD, HWND)
{
    if (id == IDOK || id == IDCANCEL) {
        EndDialog(id);
        return true;
    }
    return false;
}

INT_PTR CDialog::HandleMessage(UINT, WPARAM, LPARAM)
{
    return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_hwnd = window;
        return self->OnInitDialog();
    }
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    INT_PTR result = FALSE;
    if (message == WM_COMMAND) {
        result = self->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    } else {
        result = self->HandleMessage(message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_hwnd = nullptr;
    }
    return result;
}
