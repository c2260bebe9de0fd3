#pragma once
// A static text that paints itself double-buffered in its own colour and font and can act as a
// link: a click opens its target through the shell (or is reported to the parent), and a cursor
// of its own is shown over it.
#include <windows.h>

#include "win/handles.h"
#include "win/window_base.h"

#include <string>
#include <string_view>

// The notification code a label in notify mode sends its parent (WM_NOTIFY) on a click.
constexpr UINT kLinkLabelClicked = 0x8200;

class CLinkLabel : public CSubclassedControl {
public:
    CLinkLabel();

    // Subclasses the dialog's static control and takes over its font.
    bool AttachTo(HWND dialog, int id);

    // With notify, a click is reported to the parent instead of being opened.
    void SetLink(bool on, bool notify);
    void SetColour(COLORREF colour);
    void SetUnderline(bool on);
    void SetLinkCursor(HCURSOR cursor);
    // Empty: a click opens the label's own text.
    void SetLinkTarget(std::string target);

    COLORREF colour() const { return m_textColour; }
    bool underlined() const { return m_logFont.lfUnderline != 0; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Hands the target to the shell; the result is not reported.
    virtual void Open(const std::string& target);

private:
    void OnClick();
    void Paint();
    void Redraw();
    std::string Text() const;

    std::string m_target;
    COLORREF m_textColour;
    GdiBrush m_faceBrush;
    LOGFONTA m_logFont{};
    GdiFont m_font;
    bool m_link = false;
    bool m_notify = false;
    HCURSOR m_linkCursor = nullptr;
};

// DrawText flags for a static control's alignment style and its text.
UINT LinkLabelTextFormat(LONG style, std::string_view text);
