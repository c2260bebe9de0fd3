#include "app/private_messages.h"
#include "win/window_base.h"

namespace {
// Placeholder main window until the skinned one exists.
class CPlainWindow : public CWindow {
protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_DESTROY) {
            PostQuitMessage(0);
            return 0;
        }
        return CWindow::HandleMessage(message, wParam, lParam);
    }
};
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    RegisterPrivateMessages();
    WNDCLASSEXA cls{};
    cls.lpfnWndProc = &CWindow::WindowProcedure;
    cls.hInstance = instance;
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    cls.lpszClassName = "FramelarkMain";
    if (!CWindow::RegisterClassOnce(cls)) {
        return 1;
    }
    CPlainWindow window;
    if (!window.Create(0, "FramelarkMain", "Framelark", WS_OVERLAPPEDWINDOW, 200, 200, 390, 146, nullptr, nullptr)) {
        return 1;
    }
    ShowWindow(window.hwnd(), show);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
