#include "region/region_window.h"

#include "messages/private_messages.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/monitors.h"
#include "win/top_windows.h"
#include "win/z_order.h"

#include <windowsx.h>

HWND g_regionwindow = nullptr;

namespace {
constexpr char kClassName[] = "ShiftRegionWindow";
constexpr COLORREF kBandColor = RGB(0, 0, 100);

POINT ScreenPoint(HWND window, LPARAM lParam)
{
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ClientToScreen(window, &p);
    return p;
}

ScreenRect MonitorUnder(POINT p)
{
    const MonitorLayout& monitors = Settings().g_monitors;
    return monitors.empty() ? ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1}
                            : monitors[MonitorForPoint(monitors, p.x, p.y)];
}
} // namespace

CRegionWindow::~CRegionWindow()
{
    if (g_regionwindow == hwnd()) {
        g_regionwindow = nullptr;
    }
}

bool CRegionWindow::Create()
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = &CWindow::WindowProcedure;
    cls.hInstance = instance;
    // The crosshair-and-pencil icon serves as the pointer.
    cls.hCursor = LoadIconA(instance, MAKEINTRESOURCEA(IDI_REGIONCURSOR));
    if (!cls.hCursor) {
        cls.hCursor = LoadCursorA(nullptr, IDC_CROSS);
    }
    cls.lpszClassName = kClassName;
    if (!RegisterClassOnce(cls)) {
        return false;
    }
    ReadScreenSize(Settings());
    if (!CWindow::Create(WS_EX_TOPMOST, kClassName, "Title", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr)) {
        return false;
    }
    m_screen = CoverVirtualScreen(hwnd(), 0);
    g_regionwindow = hwnd();
    return true;
}

void CRegionWindow::ShowForSelection()
{
    if (!hwnd()) {
        return;
    }
    // The screen as it is now must stay visible under the window. Where the system gives a new
    // window blank pixels instead of what was beneath (Wine), the copy puts the screen back.
    // Every monitor as the display is now, so that a region can be dragged on any of them.
    ReadScreenSize(Settings());
    m_screen = CoverVirtualScreen(hwnd(), 0);
    const int width = m_screen.Width();
    const int height = m_screen.Height();
    WindowDC screen(nullptr);
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    GdiBitmap before(CreateCompatibleBitmap(screen.get(), width, height));
    if (memory && before) {
        SelectGuard selected(memory.get(), before.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), m_screen.left, m_screen.top, SRCCOPY);
    }
    ShowWindow(hwnd(), SW_SHOW);
    RaiseTopmost(hwnd());
    UpdateWindow(hwnd());
    if (memory && before) {
        WindowDC dc(hwnd());
        SelectGuard selected(memory.get(), before.get());
        BitBlt(dc.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
    }
    // The Cancel key reaches the window as a key press.
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
    if (Settings().MouseCaptureMode == kCaptureWindow) {
        m_current = ScreenRect{};
        m_outlined = nullptr;
        m_pressed = false;
        POINT cursor{};
        GetCursorPos(&cursor);
        OutlineWindowAt(cursor);
    }
}

void CRegionWindow::BeginPlacement()
{
    AppSettings& settings = Settings();
    POINT cursor{};
    GetCursorPos(&cursor);
    FitInto(settings.g_fixedrect, MonitorUnder(cursor));
    m_new = settings.g_fixedrect;
    Draw(m_new, false);
    m_current = m_new;
    m_offsets = OffsetsAroundCentre(settings.g_fixedrect);
}

void CRegionWindow::SetCurrentRectangle(const RECT& rect)
{
    m_current = ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
    m_new = m_current;
}

void CRegionWindow::SetDialogRequest(bool requested, HWND dialog)
{
    m_dialogRequested = requested;
    m_requestingDialog = dialog;
}

LRESULT CRegionWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(ScreenPoint(hwnd(), lParam));
        break;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(ScreenPoint(hwnd(), lParam));
        break;
    case WM_LBUTTONUP:
        OnLeftButtonUp();
        break;
    case WM_RBUTTONDOWN:
        if (Settings().MouseCaptureMode != kCaptureFullScreen) {
            Abandon();
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: // F10 and Alt, which may be the Cancel key, come as system keys
        if (static_cast<std::int32_t>(wParam) == Settings().keyRecordCancel) {
            Abandon();
            return 0;
        }
        break;
    case WM_DISPLAYCHANGE:
        ReadScreenSize(Settings());
        m_screen = CoverVirtualScreen(hwnd(), 0);
        break;
    case WM_CLOSE:
        // Alt+F4 or the taskbar: the window is the program's one selection window, kept for the
        // next Record.
        Abandon();
        return 0;
    default:
        break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void CRegionWindow::OnMouseMove(POINT p)
{
    const AppSettings& settings = Settings();
    if (settings.MouseCaptureMode == kCaptureFixed) {
        m_new = PlaceAt(p.x, p.y, m_offsets, settings.g_fixedrect, MonitorUnder(p));
        if (!(m_new == m_current)) {
            Draw(m_current, true);
            Draw(m_new, false);
        }
        m_current = m_new;
    } else if (settings.MouseCaptureMode == kCaptureNormal && m_dragging) {
        Draw(m_new, true);
        m_new = ScreenRect{m_anchor.x, m_anchor.y, p.x, p.y};
        Normalise(m_new);
        Draw(m_new, false);
    } else if (settings.MouseCaptureMode == kCaptureWindow) {
        OutlineWindowAt(p);
    }
}

void CRegionWindow::OutlineWindowAt(POINT p)
{
    const HWND window = TopLevelWindowAt(p);
    const ScreenRect rect = window ? ShownWindowRect(window).value_or(ScreenRect{}) : ScreenRect{};
    if (window == m_outlined && rect == m_current) {
        return;
    }
    Draw(m_current, true);
    Draw(rect, false);
    m_current = rect;
    m_outlined = window;
}

void CRegionWindow::OnLeftButtonDown(POINT p)
{
    if (Settings().MouseCaptureMode == kCaptureWindow) {
        m_pressed = true;
        OutlineWindowAt(p);
        return;
    }
    if (Settings().MouseCaptureMode != kCaptureNormal) {
        return;
    }
    m_anchor = p;
    m_new = ScreenRect{p.x, p.y, p.x, p.y};
    Draw(m_new, false);
    m_dragging = true;
}

void CRegionWindow::OnLeftButtonUp()
{
    AppSettings& settings = Settings();
    if (settings.MouseCaptureMode == kCaptureWindow) {
        Draw(m_current, true);
        // Where the window stands now; a click outside any window, or a release without a press
        // here, picks none.
        const std::optional<ScreenRect> rect = m_pressed ? ShownWindowRect(m_outlined) : std::nullopt;
        m_current = rect.value_or(ScreenRect{});
        settings.g_capturewindow = rect ? m_outlined : nullptr;
        m_pressed = false;
    } else if (settings.MouseCaptureMode == kCaptureFixed) {
        Draw(m_current, true);
        m_current = m_new;
    } else if (settings.MouseCaptureMode == kCaptureNormal) {
        // A release without a press here (the button was down when the window came up) must not
        // start a recording of the previous selection.
        if (!m_dragging) {
            m_new = ScreenRect{};
        }
        Normalise(m_new);
        m_current = m_new;
        m_dragging = false;
    }
    ShowWindow(hwnd(), SW_HIDE);
    if (IsEmptySelection(m_current)) {
        TellAbandoned();
        return;
    }
    Normalise(m_current);
    settings.g_capturerect = m_current;
    if (m_dialogRequested) {
        PostMessageA(m_requestingDialog, kSelectionDoneMessage, 0, 0);
    } else {
        PostMessageA(settings.g_mainwindow, WM_USER_RECORDSTART_MSG, 0, 0);
    }
}

void CRegionWindow::Abandon()
{
    // The hotkey may reach a window that was already hidden by the mouse.
    if (!IsWindowVisible(hwnd())) {
        return;
    }
    if (Settings().MouseCaptureMode == kCaptureFixed || Settings().MouseCaptureMode == kCaptureWindow) {
        Draw(m_current, true);
        m_pressed = false;
    } else if (Settings().MouseCaptureMode == kCaptureNormal) {
        Normalise(m_new);
        m_current = m_new;
        m_dragging = false;
    }
    ShowWindow(hwnd(), SW_HIDE);
    TellAbandoned();
}

void CRegionWindow::TellAbandoned() const
{
    if (!m_dialogRequested) {
        PostMessageA(Settings().g_mainwindow, kSelectionAbandonedMessage, 0, 0);
    }
}

void CRegionWindow::Draw(const ScreenRect& rect, bool erase)
{
    if (IsEmptySelection(rect)) {
        return;
    }
    WindowDC dc(hwnd());
    if (!dc) {
        return;
    }
    SetWindowOrgEx(dc.get(), m_screen.left, m_screen.top, nullptr); // drawn in screen coordinates
    {
        GdiBrush brush(CreateHatchBrush(HS_BDIAGONAL, kBandColor));
        SelectGuard selected(dc.get(), brush.get());
        for (const Fill& fill : BandFills(rect)) {
            PatBlt(dc.get(), fill.x, fill.y, fill.width, fill.height, PATINVERT);
        }
    }

    const std::string text = LabelText(rect);
    SelectGuard font(dc.get(), GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    const int y = LabelTextTop(rect, size.cy);
    const int boxLeft = rect.left + 6;
    const int boxTop = y - 4;
    const int boxWidth = size.cx + 8;
    const int boxHeight = size.cy + 8;

    MemoryDC memory(CreateCompatibleDC(dc.get()));
    if (erase) {
        if (m_labelBackground && memory) {
            SelectGuard saved(memory.get(), m_labelBackground.get());
            BitBlt(dc.get(), boxLeft, boxTop, boxWidth, boxHeight, memory.get(), 0, 0, SRCCOPY);
        }
        m_labelBackground.reset();
        return;
    }
    m_labelBackground.reset(CreateCompatibleBitmap(dc.get(), boxWidth, boxHeight));
    if (m_labelBackground && memory) {
        SelectGuard saved(memory.get(), m_labelBackground.get());
        BitBlt(memory.get(), 0, 0, boxWidth, boxHeight, dc.get(), boxLeft, boxTop, SRCCOPY);
    }
    RoundRect(dc.get(), boxLeft, boxTop, rect.left + 14 + size.cx, y + size.cy + 4, 10, 10);
    SetBkMode(dc.get(), OPAQUE);
    SetTextColor(dc.get(), RGB(0, 0, 0));
    SetBkColor(dc.get(), RGB(255, 255, 255));
    TextOutA(dc.get(), rect.left + 10, y, text.c_str(), static_cast<int>(text.size()));
}
