#pragma once
// Base classes for windows and dialogs: a static procedure finds the C++ object stored in the
// window's user data and calls its virtual handler.
#include <windows.h>

class CWindow {
public:
    CWindow() = default;
    CWindow(const CWindow&) = delete;
    CWindow& operator=(const CWindow&) = delete;
    virtual ~CWindow();

    HWND hwnd() const { return m_hwnd; }

    // Registers the class once per process (a repeated registration is not an error).
    static bool RegisterClassOnce(WNDCLASSEXA cls);

    // Creates the window of a class registered with WindowProcedure.
    bool Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU menu);
    void Destroy();

    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Return the default procedure's answer for messages not handled.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND m_hwnd = nullptr;
};

// Subclasses an existing control (buttons, static texts) so that a C++ object handles its messages.
class CSubclassedControl {
public:
    CSubclassedControl() = default;
    CSubclassedControl(const CSubclassedControl&) = delete;
    CSubclassedControl& operator=(const CSubclassedControl&) = delete;
    virtual ~CSubclassedControl();

    bool Attach(HWND control);
    void Detach();
    HWND hwnd() const { return m_hwnd; }

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SubclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd = nullptr;
    WNDPROC m_previous = nullptr;
};

class CDialog {
public:
    explicit CDialog(int templateId) : m_templateId(templateId) {}
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    INT_PTR DoModal(HWND owner);
    bool CreateModeless(HWND owner);
    void EndDialog(INT_PTR result);
    HWND hwnd() const { return m_hwnd; }
    int templateId() const { return m_templateId; }

protected:
    // WM_INITDIALOG; return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND; return true when handled.
    virtual bool OnCommand(WORD id, WORD code, HWND control);
    // Any other message; return TRUE when handled (with SetWindowLongPtr DWLP_MSGRESULT as needed).
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    int m_templateId;
    HWND m_hwnd = nullptr;
    bool m_modeless = false;
};
