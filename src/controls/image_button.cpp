#include "controls/image_button.h"

#include "messages/private_messages.h"
#include "controls/window_region.h"
#include "resources/resource_ids.h"
#include "win/dpi.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

HCURSOR g_skincursor = nullptr;

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255);

GdiBitmap LoadBitmapResource(UINT id, int dpi, BitmapKind kind = BitmapKind::Picture)
{
    return id == 0 ? GdiBitmap() : LoadBitmapForDpi(id, dpi, kind);
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

void SetSkinCursor(UINT id)
{
    g_skincursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

POINT ScreenPoint(HWND window, LPARAM lParam)
{
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(window, &p);
    return p;
}

// Copies (mode 0) or stretches (mode 1) the whole source bitmap onto w x h at the origin.
void Blit(HDC target, int w, int h, HDC source, SIZE size, DWORD rop, int drawMode)
{
    if (drawMode == CImageButton::kDrawStretch) {
        StretchBlt(target, 0, 0, w, h, source, 0, 0, size.cx, size.cy, rop);
    } else {
        BitBlt(target, 0, 0, w, h, source, 0, 0, rop);
    }
}
} // namespace

CImageButton::~CImageButton()
{
    // The tooltip goes with the button's window when that is destroyed first.
    if (m_tooltip && !IsWindow(m_tooltip.get())) {
        m_tooltip.release();
    }
    // The window may outlive this object when the dialog is destroyed later.
    Detach();
}

bool CImageButton::AttachTo(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    if (!control || !Attach(control)) {
        return false;
    }
    const LONG_PTR style = GetWindowLongPtrA(control, GWL_STYLE);
    const LONG_PTR type = style & 0xFF;
    if ((type & 0x3) == 0x3) {
        m_kind = kCheck;
    } else if ((type & 0x9) == 0x9) {
        m_kind = kRadio;
    } else {
        m_kind = kPush;
    }
    SetWindowLongPtrA(control, GWL_STYLE, style | BS_OWNERDRAW);
    return true;
}

void CImageButton::SetBitmaps(UINT normal, UINT pressed, UINT hover, UINT disabled, UINT focused, UINT mask,
                              int drawMode, int border, int focusMargin, int dpi)
{
    for (GdiBitmap& image : m_images) {
        image.reset();
    }
    m_images[kNormal] = LoadBitmapResource(normal, dpi);
    m_images[kPressed] = LoadBitmapResource(pressed, dpi);
    m_images[kHover] = LoadBitmapResource(hover, dpi);
    m_images[kDisabled] = LoadBitmapResource(disabled != 0 ? disabled : normal, dpi);
    m_images[kFocused] = LoadBitmapResource(focused, dpi);
    m_images[kMask] = LoadBitmapResource(mask, dpi, BitmapKind::Mask);

    m_drawMode = static_cast<short>(drawMode > 1 ? kDrawTile : (drawMode < 0 ? kDrawNormal : drawMode));
    m_border = border;
    m_focusMargin = static_cast<short>(focusMargin < 0 ? 0 : focusMargin);

    if (m_images[kMask] && hwnd()) {
        if (HRGN region = RegionFromMask(m_images[kMask].get(), kWhite)) {
            // The window owns the region and frees the one it had.
            SetWindowRgn(hwnd(), region, TRUE);
        }
        if (m_drawMode == kDrawNormal) {
            const SIZE size = BitmapSize(m_images[kMask].get());
            SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    Repaint();
}

void CImageButton::SetTooltip(const char* text)
{
    if (!hwnd()) {
        return;
    }
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(hwnd());
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd());
    tool.lpszText = const_cast<char*>(text);
    if (!m_tooltip) {
        m_tooltip.reset(CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr,
                                        GetModuleHandleA(nullptr), nullptr));
        if (!m_tooltip) {
            return;
        }
        SendMessageA(m_tooltip.get(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageA(m_tooltip.get(), TTM_SETDELAYTIME, TTDT_INITIAL, 22);
        SendMessageA(m_tooltip.get(), TTM_SETDELAYTIME, TTDT_AUTOPOP, 5000);
        SendMessageA(m_tooltip.get(), TTM_SETDELAYTIME, TTDT_RESHOW, 22);
        SendMessageA(m_tooltip.get(), TTM_ACTIVATE, TRUE, 0);
    } else {
        SendMessageA(m_tooltip.get(), TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

bool CImageButton::ReflectDrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.CtlType != ODT_BUTTON) {
        return false;
    }
    auto* control = static_cast<CSubclassedControl*>(GetPropA(item.hwndItem, "FramelarkControl"));
    auto* button = dynamic_cast<CImageButton*>(control);
    if (!button) {
        return false;
    }
    button->DrawItem(item);
    return true;
}

void CImageButton::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!m_tooltip) {
        return;
    }
    MSG msg{};
    msg.hwnd = hwnd();
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.pt = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    SendMessageA(m_tooltip.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

bool CImageButton::UnderPoint(POINT screen) const
{
    return WindowFromPoint(screen) == hwnd();
}

void CImageButton::Repaint() const
{
    if (hwnd()) {
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
}

void CImageButton::SetCheck(bool check)
{
    m_checked = m_kind != kPush && check;
    if (m_kind == kRadio && m_checked) {
        // Posted, so that the others repaint after this one.
        HWND parent = GetParent(hwnd());
        for (HWND other = GetNextDlgGroupItem(parent, hwnd(), FALSE); other && other != hwnd();
             other = GetNextDlgGroupItem(parent, other, FALSE)) {
            PostMessageA(other, kUncheckGroupMessage, 0, 0);
        }
    }
    Repaint();
}

LRESULT CImageButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE: {
        SetSkinCursor(IDC_BUTTONCURSOR);
        RelayToTooltip(message, wParam, lParam);
        if (m_pressing && GetCapture() == hwnd()) {
            const bool over = UnderPoint(ScreenPoint(hwnd(), lParam));
            const bool pushed = (SendMessageA(hwnd(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
            if (over != pushed) {
                SendMessageA(hwnd(), BM_SETSTATE, over ? TRUE : FALSE, 0);
                Repaint();
            }
        } else if (!m_hovering) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
            if (TrackMouseEvent(&track)) {
                m_hovering = true;
                Repaint();
            }
        }
        return 0;
    }
    case WM_MOUSELEAVE:
        SetSkinCursor(IDC_SKINCURSOR);
        m_hovering = false;
        Repaint();
        return 0;
    case WM_LBUTTONDOWN: {
        RelayToTooltip(message, wParam, lParam);
        if (m_hovering) {
            TRACKMOUSEEVENT track{sizeof(track), TME_CANCEL | TME_LEAVE, hwnd(), 0};
            if (TrackMouseEvent(&track)) {
                m_hovering = false;
            }
        }
        const LRESULT result = DefaultHandling(message, wParam, lParam);
        m_pressing = true;
        return result;
    }
    case WM_LBUTTONDBLCLK:
        return SendMessageA(hwnd(), WM_LBUTTONDOWN, wParam, lParam);
    case WM_LBUTTONUP:
        if (m_kind != kPush && UnderPoint(ScreenPoint(hwnd(), lParam))) {
            SendMessageA(hwnd(), BM_SETCHECK, m_kind == kCheck ? !m_checked : TRUE, 0);
        }
        RelayToTooltip(message, wParam, lParam);
        m_pressing = false;
        return DefaultHandling(message, wParam, lParam);
    case WM_KEYDOWN:
        if (m_kind != kPush && wParam == VK_SPACE) {
            SendMessageA(hwnd(), BM_SETCHECK, m_kind == kCheck ? !m_checked : TRUE, 0);
        }
        return DefaultHandling(message, wParam, lParam);
    case WM_KILLFOCUS:
        if (GetCapture() == hwnd()) {
            ReleaseCapture();
            m_pressing = false;
        }
        return DefaultHandling(message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case BM_SETCHECK:
        SetCheck(wParam != 0);
        return 0;
    case BM_GETCHECK:
        return m_checked ? BST_CHECKED : BST_UNCHECKED;
    case kUncheckGroupMessage:
        if (m_checked) {
            m_checked = false;
            Repaint();
        }
        return 0;
    default:
        return DefaultHandling(message, wParam, lParam);
    }
}

void CImageButton::PaintImage(HDC dc, const RECT& r, HBITMAP image) const
{
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const SIZE size = BitmapSize(image);
    MemoryDC source(CreateCompatibleDC(dc));
    SelectGuard selectImage(source.get(), image);
    if (m_drawMode == kDrawTile) {
        for (int y = 0; y < h && size.cy > 0; y += size.cy) {
            for (int x = 0; x < w && size.cx > 0; x += size.cx) {
                BitBlt(dc, x, y, std::min<int>(size.cx, w - x), std::min<int>(size.cy, h - y), source.get(), 0, 0,
                       SRCCOPY);
            }
        }
        return;
    }
    if (!m_images[kMask]) {
        Blit(dc, w, h, source.get(), size, SRCCOPY, m_drawMode);
        return;
    }
    // Background, image xor, mask and, image xor: white mask pixels keep what was there.
    MemoryDC work(CreateCompatibleDC(dc));
    GdiBitmap workBitmap(CreateCompatibleBitmap(dc, w, h));
    SelectGuard selectWork(work.get(), workBitmap.get());
    BitBlt(work.get(), 0, 0, w, h, dc, 0, 0, SRCCOPY);
    Blit(work.get(), w, h, source.get(), size, SRCINVERT, m_drawMode);
    {
        MemoryDC maskDC(CreateCompatibleDC(dc));
        SelectGuard selectMask(maskDC.get(), m_images[kMask].get());
        Blit(work.get(), w, h, maskDC.get(), size, SRCAND, m_drawMode);
    }
    Blit(work.get(), w, h, source.get(), size, SRCINVERT, m_drawMode);
    BitBlt(dc, 0, 0, w, h, work.get(), 0, 0, SRCCOPY);
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    const bool pushed = (SendMessageA(hwnd(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
    POINT cursor{};
    if (m_pressing && GetCapture() == hwnd() && GetCursorPos(&cursor)) {
        const bool over = UnderPoint(cursor);
        if (over != pushed) {
            // Setting the state repaints with the right look.
            SendMessageA(hwnd(), BM_SETSTATE, over ? TRUE : FALSE, 0);
            return;
        }
    }
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    RECT text = r;
    text.left += m_focusMargin + 2;
    text.right -= m_focusMargin + 2;
    char caption[256] = {};
    GetWindowTextA(hwnd(), caption, sizeof(caption));
    SetBkMode(dc, TRANSPARENT);

    if (item.itemState & ODS_DISABLED) {
        if (m_images[kDisabled]) {
            PaintImage(dc, r, m_images[kDisabled].get());
        } else {
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        }
        if (m_border) {
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        }
        // Embossed: light text, then grey one pixel up and left.
        SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
        DrawTextA(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        OffsetRect(&text, -1, -1);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        DrawTextA(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    if ((item.itemState & ODS_SELECTED) || m_checked) {
        if (m_images[kPressed]) {
            PaintImage(dc, r, m_images[kPressed].get());
        } else {
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        }
        OffsetRect(&text, 1, 1);
        if (m_border) {
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        }
    } else {
        if (!m_images[kNormal]) {
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        } else if (m_hovering && m_images[kHover]) {
            PaintImage(dc, r, m_images[kHover].get());
        } else if (focused && m_images[kFocused]) {
            PaintImage(dc, r, m_images[kFocused].get());
        } else {
            PaintImage(dc, r, m_images[kNormal].get());
        }
        if (m_border) {
            DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        }
    }
    if (focused && m_focusMargin > 0) {
        RECT focus = r;
        InflateRect(&focus, -m_focusMargin, -m_focusMargin);
        DrawFocusRect(dc, &focus);
    }
    SetTextColor(dc, m_textColour);
    DrawTextA(dc, caption, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
