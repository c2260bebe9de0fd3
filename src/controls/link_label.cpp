#include "controls/link_label.h"

#include <shellapi.h>

CLinkLabel::CLinkLabel()
    : m_textColour(GetSysColor(COLOR_WINDOWTEXT)), m_faceBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)))
{
}

bool CLinkLabel::AttachTo(HWND dialog, int id)
{
    if (!Attach(GetDlgItem(dialog, id))) {
        return false;
    }
    auto font = reinterpret_cast<HFONT>(SendMessageA(hwnd(), WM_GETFONT, 0, 0));
    if (!font) {
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    }
    GetObjectA(font, sizeof(m_logFont), &m_logFont);
    m_font.reset(CreateFontIndirectA(&m_logFont));
    return true;
}

void CLinkLabel::SetLink(bool on, bool notify)
{
    m_link = on;
    m_notify = notify;
    // Only a static with the notify style receives the mouse.
    const LONG_PTR style = GetWindowLongPtrA(hwnd(), GWL_STYLE);
    SetWindowLongPtrA(hwnd(), GWL_STYLE, on ? style | SS_NOTIFY : style & ~static_cast<LONG_PTR>(SS_NOTIFY));
    Redraw();
}

void CLinkLabel::SetColour(COLORREF colour)
{
    m_textColour = colour;
    Redraw();
}

void CLinkLabel::SetUnderline(bool on)
{
    m_logFont.lfUnderline = on ? TRUE : FALSE;
    m_font.reset(CreateFontIndirectA(&m_logFont));
    Redraw();
}

void CLinkLabel::SetLinkCursor(HCURSOR cursor)
{
    m_linkCursor = cursor;
}

void CLinkLabel::SetLinkTarget(std::string target)
{
    m_target = std::move(target);
}

void CLinkLabel::Redraw()
{
    HWND self = hwnd();
    if (!self) {
        return;
    }
    RedrawWindow(self, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    // The parent's face shows through where the text was: let it paint there too.
    HWND parent = GetParent(self);
    RECT area{};
    GetWindowRect(self, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    InvalidateRect(parent, &area, TRUE);
    UpdateWindow(parent);
}

std::string CLinkLabel::Text() const
{
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd())) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd(), text.data(), static_cast<int>(text.size()))));
    return text;
}

void CLinkLabel::Open(const std::string& target)
{
    ShellExecuteA(GetParent(hwnd()), "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CLinkLabel::OnClick()
{
    if (m_notify) {
        NMHDR header{};
        header.hwndFrom = hwnd();
        header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd()));
        header.code = kLinkLabelClicked;
        SendMessageA(GetParent(hwnd()), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    } else if (m_link) {
        Open(m_target.empty() ? Text() : m_target);
    }
}

UINT LinkLabelTextFormat(LONG style, std::string_view text)
{
    UINT format = 0;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format = DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format = DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        format = DT_LEFT;
        break;
    default:
        format = DT_LEFT | DT_WORDBREAK;
        break;
    }
    if (text.find('\t') != std::string_view::npos) {
        format |= DT_EXPANDTABS;
    }
    if (style & SS_CENTERIMAGE) {
        // One line can be centred both ways; several lines only across, from the top.
        const UINT across = (format & ~(DT_LEFT | DT_RIGHT | DT_CENTER)) | DT_CENTER;
        format = text.find("\r\n") == std::string_view::npos ? DT_CENTER | DT_VCENTER | DT_SINGLELINE
                                                             : across;
    }
    return format;
}

void CLinkLabel::Paint()
{
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(hwnd(), &paint);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const std::string text = Text();
    MemoryDC buffer(CreateCompatibleDC(screen));
    GdiBitmap image(CreateCompatibleBitmap(screen, client.right, client.bottom));
    if (buffer && image) {
        SelectGuard selectImage(buffer.get(), image.get());
        SelectGuard selectFont(buffer.get(), m_font.get());
        SetBkMode(buffer.get(), TRANSPARENT);
        SetTextColor(buffer.get(), m_textColour);
        FillRect(buffer.get(), &client, m_faceBrush.get());
        const auto style = static_cast<LONG>(GetWindowLongPtrA(hwnd(), GWL_STYLE));
        DrawTextA(buffer.get(), text.c_str(), static_cast<int>(text.size()), &client,
                  LinkLabelTextFormat(style, text));
        BitBlt(screen, 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd(), &paint);
}

LRESULT CLinkLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        OnClick();
        break;
    case WM_SETCURSOR:
        if (m_linkCursor) {
            SetCursor(m_linkCursor);
            return TRUE;
        }
        break;
    case WM_SYSCOLORCHANGE:
        m_faceBrush.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        Redraw();
        break;
    case WM_ERASEBKGND:
        // Paint covers every pixel.
        return TRUE;
    case WM_PAINT:
        Paint();
        return 0;
    default:
        break;
    }
    return DefaultHandling(message, wParam, lParam);
}
