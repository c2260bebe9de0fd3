#include "region/flashing_frame.h"

#include "win/z_order.h"

#include "win/handles.h"
#include "win/monitors.h"

namespace {
constexpr char kClassName[] = "FramelarkFlashingFrame";

// Removes the band when it has a width and a height: on small regions the corner brackets meet
// and the frame stays closed.
void Cut(HRGN shape, int left, int top, int right, int bottom)
{
    if (left >= right || top >= bottom) {
        return;
    }
    GdiRegion band(CreateRectRgn(left, top, right, bottom));
    CombineRgn(shape, shape, band.get(), RGN_DIFF);
}

// Window coordinates are screen coordinates: the window sits at (0, 0).
GdiRegion FrameShape(int left, int top, int width, int height, bool thin)
{
    const int border = thin ? 4 : 6;
    const int outerExtra = thin ? 7 : 11;
    GdiRegion shape(CreateRectRgn(0, 0, width + outerExtra, height + outerExtra));
    if (!shape) {
        return shape;
    }
    Cut(shape.get(), border, border, width + border, height + border);
    if (!thin) {
        Cut(shape.get(), 0, 24, width + 11, height - 12);
        Cut(shape.get(), 24, 0, width - 12, height + 11);
    }
    OffsetRgn(shape.get(), left - border, top - border);
    return shape;
}

} // namespace

bool CFlashingFrame::Create()
{
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = &CWindow::WindowProcedure;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    cls.lpszClassName = kClassName;
    if (!RegisterClassOnce(cls)) {
        return false;
    }
    if (!CWindow::Create(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, "Flashing", WS_POPUP, 0, 0, 1, 1, nullptr,
                         nullptr)) {
        return false;
    }
    FollowDisplay();
    return true;
}

void CFlashingFrame::FollowDisplay()
{
    // One pixel short of the screen on the right and at the bottom.
    const ScreenRect screen = CoverVirtualScreen(hwnd(), 1);
    AcquireSRWLockExclusive(&m_screenLock);
    m_screen = screen;
    ReleaseSRWLockExclusive(&m_screenLock);
}

ScreenRect CFlashingFrame::Screen() const
{
    AcquireSRWLockShared(&m_screenLock);
    const ScreenRect screen = m_screen;
    ReleaseSRWLockShared(&m_screenLock);
    return screen;
}

void CFlashingFrame::SetShape(int left, int top, int width, int height, bool thin)
{
    m_left = left;
    m_top = top;
    m_right = left + width - 1;
    m_bottom = top + height - 1;
    const ScreenRect screen = Screen();
    GdiRegion shape = FrameShape(left - screen.left, top - screen.top, width, height, thin);
    // The window owns the region once it accepts it.
    if (shape && hwnd() && SetWindowRgn(hwnd(), shape.get(), TRUE)) {
        shape.release();
    }
}

void CFlashingFrame::Paint(COLORREF color)
{
    if (!HasArea() || !hwnd()) {
        return;
    }
    WindowDC dc(hwnd());
    GdiPen pen(CreatePen(PS_SOLID, 1, color));
    GdiBrush brush(CreateSolidBrush(color));
    SelectGuard selectedPen(dc.get(), pen.get());
    SelectGuard selectedBrush(dc.get(), brush.get());
    const ScreenRect screen = Screen();
    SetWindowOrgEx(dc.get(), screen.left, screen.top, nullptr);
    Rectangle(dc.get(), m_left - 6, m_top - 6, m_right + 6, m_bottom + 6);
}

void CFlashingFrame::Invert(COLORREF color)
{
    if (!HasArea() || !hwnd()) {
        return;
    }
    WindowDC dc(hwnd());
    GdiBrush brush(CreateSolidBrush(color));
    SelectGuard selected(dc.get(), brush.get());
    const ScreenRect screen = Screen();
    PatBlt(dc.get(), 0, 0, screen.Width(), screen.Height(), PATINVERT);
}

void CFlashingFrame::Show()
{
    // Without activation: the recorded program keeps the keyboard.
    if (hwnd()) {
        ShowWindow(hwnd(), SW_SHOWNA);
        RaiseTopmost(hwnd());
    }
}

void CFlashingFrame::Hide()
{
    if (hwnd()) {
        ShowWindow(hwnd(), SW_HIDE);
    }
}

LRESULT CFlashingFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DISPLAYCHANGE) {
        FollowDisplay();
    } else if (message == WM_ERASEBKGND) {
        return 1; // the border's pixels come only from Paint and Invert
    }
    return DefaultHandling(message, wParam, lParam);
}
