#include "region/countdown_window.h"

#include "common/dpi_scale.h"
#include "win/dpi.h"
#include "win/handles.h"

#include <algorithm>
#include <string>

namespace {
constexpr char kClassName[] = "FramelarkCountdown";
constexpr UINT_PTR kSecondTimer = 1;
constexpr UINT_PTR kHiddenTimer = 2;
// Between hiding and the recording's start: the windows below repaint what the number covered.
constexpr UINT kSettleMs = 60;
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
    m_left = std::clamp(seconds, 1, kLongestCountdown);
    m_owner = owner;
    m_doneMessage = doneMessage;
    const int corner = ScaleForDpi(24, m_dpi);
    SetWindowRgn(hwnd(), CreateRoundRectRgn(0, 0, side + 1, side + 1, corner, corner), FALSE);
    SetWindowPos(hwnd(), HWND_TOPMOST, centreX - side / 2, centreY - side / 2, side, side, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(hwnd(), nullptr, TRUE);
    UpdateWindow(hwnd());
    SetTimer(hwnd(), kSecondTimer, 1000, nullptr);
    return true;
}

void CCountdownWindow::Stop()
{
    m_left = 0;
    if (hwnd()) {
        KillTimer(hwnd(), kSecondTimer);
        KillTimer(hwnd(), kHiddenTimer);
        ShowWindow(hwnd(), SW_HIDE);
    }
}

LRESULT CCountdownWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kSecondTimer && m_left > 1) {
            --m_left;
            InvalidateRect(hwnd(), nullptr, TRUE);
        } else if (wParam == kSecondTimer) {
            Stop();
            SetTimer(hwnd(), kHiddenTimer, kSettleMs, nullptr);
        } else if (wParam == kHiddenTimer) {
            KillTimer(hwnd(), kHiddenTimer);
            PostMessageA(m_owner, m_doneMessage, 0, 0);
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
