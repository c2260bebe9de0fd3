#include "region/countdown_window.h"

#include "common/dpi_scale.h"
#include "win/dpi.h"
#include "win/handles.h"

#include <algorithm>
#include <string>

namespace {
constexpr char kClassName[] = "FramelarkCountdown";
constexpr UINT_PTR kTimer = 1;
// Between hiding and the recording's start: the windows below repaint what the number covered.
constexpr LONG kSettleMs = 60;
constexpr int kSide = 160; // at 96 dpi
constexpr BYTE kOpacity = 220;
} // namespace

bool CCountdownWindow::Start(const ScreenRect& region, int seconds, HWND owner, UINT doneMessage)
{
    if (!hwnd()) {
        WNDCLASSEXA cls{};
        cls.lpfnWndProc = &CWindow::WindowProcedure;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = kClassName;
        // Clicks go through to what lies below; the window never takes the focus.
        constexpr DWORD kStyle = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;
        if (!RegisterClassOnce(cls) || !Create(kStyle, kClassName, "Countdown", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr)) {
            return false;
        }
        SetLayeredWindowAttributes(hwnd(), 0, kOpacity, LWA_ALPHA);
    }
    const int centreX = region.left + region.Width() / 2;
    const int centreY = region.top + region.Height() / 2;
    m_dpi = MonitorDpiAt(centreX, centreY);
    const int side = ScaleForDpi(kSide, m_dpi);
    m_deadline = GetTickCount() + static_cast<DWORD>(std::clamp(seconds, 1, kLongestCountdown)) * 1000;
    m_left = 0;
    m_owner = owner;
    m_doneMessage = doneMessage;
    const int corner = ScaleForDpi(24, m_dpi);
    SetWindowRgn(hwnd(), CreateRoundRectRgn(0, 0, side + 1, side + 1, corner, corner), FALSE);
    SetWindowPos(hwnd(), HWND_TOPMOST, centreX - side / 2, centreY - side / 2, side, side, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Tick();
    UpdateWindow(hwnd());
    return true;
}

void CCountdownWindow::Tick()
{
    const LONG left = static_cast<LONG>(m_deadline - GetTickCount());
    if (left <= 0) {
        KillTimer(hwnd(), kTimer);
        PostMessageA(m_owner, m_doneMessage, 0, 0);
        return;
    }
    if (left <= kSettleMs) {
        m_left = 0;
        ShowWindow(hwnd(), SW_HIDE);
        SetTimer(hwnd(), kTimer, static_cast<UINT>(left), nullptr);
        return;
    }
    const int number = static_cast<int>((left + 999) / 1000);
    if (number != m_left) {
        m_left = number;
        InvalidateRect(hwnd(), nullptr, TRUE);
    }
    const LONG nextChange = std::max<LONG>((number - 1) * 1000, kSettleMs);
    SetTimer(hwnd(), kTimer, static_cast<UINT>(std::max<LONG>(left - nextChange, 1)), nullptr);
}

void CCountdownWindow::Stop()
{
    m_left = 0;
    if (hwnd()) {
        KillTimer(hwnd(), kTimer);
        ShowWindow(hwnd(), SW_HIDE);
    }
}

LRESULT CCountdownWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer) {
            Tick();
        }
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint();
        return 0;
    default:
        return DefaultHandling(message, wParam, lParam);
    }
}

void CCountdownWindow::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    RECT area{};
    GetClientRect(hwnd(), &area);
    GdiBrush dark(CreateSolidBrush(RGB(32, 32, 32)));
    FillRect(dc, &area, dark.get());
    GdiFont font(CreateFontA(-(area.bottom * 3 / 4), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Segoe UI"));
    if (font && m_left > 0) {
        SelectGuard selectFont(dc, font.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        const std::string number = std::to_string(m_left);
        DrawTextA(dc, number.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(hwnd(), &paint);
}
