#include "app/main_face.h"

#include "controls/window_region.h"
#include "resources/resource_ids.h"
#include "win/dpi.h"
#include "win/message_box.h"

#include <commctrl.h>

namespace {
constexpr char kTitle[] = "Framelark";
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kFaceWidth = 390;
constexpr int kFaceHeight = 146;

// Places and sizes at 96 dpi; the images of each button are drawn to its size.
struct ButtonLayout {
    int id;
    PixelBox box;
    UINT normal, pressed, hover, disabled, mask;
    const char* tooltip;
};

const std::array<ButtonLayout, 12> kButtons = {{
    {IDC_WEBSITE, {24, 36, 184, 18}, IDB_WEBSITE, IDB_WEBSITE_PRESSED, IDB_WEBSITE_HOVER, 0, 0, "Website"},
    {IDC_MINIMISE, {322, 11, 17, 16}, IDB_MIN, IDB_MIN_PRESSED, IDB_MIN_HOVER, 0, 0, "MinSize"},
    {IDC_CLOSE, {340, 11, 17, 16}, IDB_CLOSE, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, 0, 0, "Exit"},
    {IDC_RECORD, {20, 60, 33, 67}, IDB_RECORD, IDB_RECORD_PRESSED, IDB_RECORD_HOVER, IDB_RECORD_DISABLED,
     IDB_RECORD_MASK, "Press Record to capture..."},
    {IDC_PAUSE, {53, 60, 33, 67}, IDB_PAUSE, IDB_PAUSE_PRESSED, IDB_PAUSE_HOVER, IDB_PAUSE_DISABLED, IDB_PAUSE_MASK,
     "Pause screen video capture"},
    {IDC_STOP, {78, 59, 33, 44}, IDB_STOP, IDB_STOP_PRESSED, IDB_STOP_HOVER, IDB_STOP_DISABLED, IDB_STOP_MASK,
     "Stop screen video capture"},
    {IDC_PLAY, {111, 59, 33, 44}, IDB_PLAY, IDB_PLAY_PRESSED, IDB_PLAY_HOVER, IDB_PLAY_DISABLED, IDB_PLAY_MASK,
     "Play Current video capture"},
    {IDC_OPTION, {217, 62, 31, 35}, IDB_OPTION, IDB_OPTION_PRESSED, IDB_OPTION_HOVER, 0, 0, "Options"},
    {IDC_VIDEO, {248, 62, 28, 35}, IDB_VIDEO, IDB_VIDEO_PRESSED, IDB_VIDEO_HOVER, 0, 0, "Video"},
    {IDC_AUDIO, {276, 62, 28, 35}, IDB_AUDIO, IDB_AUDIO_PRESSED, IDB_AUDIO_HOVER, 0, 0, "Audio"},
    {IDC_ABOUT, {304, 61, 28, 36}, IDB_ABOUT, IDB_ABOUT_PRESSED, IDB_ABOUT_HOVER, 0, 0, "About"},
    {IDC_HELPFILE, {332, 61, 32, 36}, IDB_HELP, IDB_HELP_PRESSED, IDB_HELP_HOVER, 0, 0, "Help"},
}};
} // namespace

CMainFace::CMainFace()
{
    m_icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAINFRAME), IMAGE_ICON, 0,
                                           0, LR_DEFAULTSIZE | LR_SHARED));
}

void CMainFace::Attach(HWND window)
{
    m_window = window;
    for (size_t i = 0; i < kButtons.size(); ++i) {
        m_buttons[i].AttachTo(window, kButtons[i].id);
    }
    SetTitle(kTitle);
    const std::string about = LoadResourceString(IDS_ABOUTBOX, "");
    if (HMENU system = GetSystemMenu(window, FALSE); system && !about.empty()) {
        AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    g_skincursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_SKINCURSOR));
    SetWindowPos(window, nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    LayOut(WindowDpi(window));
    for (size_t i = 0; i < kButtons.size(); ++i) {
        if (HWND button = m_buttons[i].hwnd()) {
            m_buttons[i].SetTooltip(kButtons[i].tooltip);
            SetWindowTextA(button, "");
        }
    }
}

void CMainFace::LayOut(int dpi)
{
    m_skin = LoadBitmapForDpi(IDB_SKIN, dpi, BitmapKind::Picture);
    SetWindowPos(m_window, nullptr, 0, 0, ScaleForDpi(kFaceWidth, dpi), ScaleForDpi(kFaceHeight, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    {
        WindowDC dc(m_window);
        SetRegionFromBitmap(m_window, dc.get(), IDB_SKINMASK, kWhite, dpi);
    }
    for (size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonLayout& b = kButtons[i];
        CImageButton& button = m_buttons[i];
        if (!button.hwnd()) {
            continue;
        }
        const PixelBox box = ScaleForDpi(b.box, dpi);
        SetWindowPos(button.hwnd(), nullptr, box.x, box.y, box.width, box.height, SWP_NOZORDER | SWP_NOREDRAW);
        button.SetBitmaps(b.normal, b.pressed, b.hover, b.disabled, 0, b.mask, CImageButton::kDrawNormal, 0, 0, dpi);
    }
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CMainFace::Paint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    if (IsIconic(m_window)) {
        SendMessageA(m_window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client{};
        GetClientRect(m_window, &client);
        const int cx = GetSystemMetrics(SM_CXICON);
        const int cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_icon);
    } else if (m_skin) {
        RECT outer{};
        GetWindowRect(m_window, &outer);
        MemoryDC source(CreateCompatibleDC(dc));
        SelectGuard select(source.get(), m_skin.get());
        BitBlt(dc, 0, 0, outer.right - outer.left, outer.bottom - outer.top, source.get(), 0, 0, SRCCOPY);
    }
    EndPaint(m_window, &paint);
}

void CMainFace::Show(AppState state, bool moviePlayable)
{
    EnableButton(IDC_RECORD, LooksEnabled(state, Command::Record));
    EnableButton(IDC_PAUSE, LooksEnabled(state, Command::Pause));
    EnableButton(IDC_STOP, LooksEnabled(state, Command::Stop));
    EnableButton(IDC_PLAY, moviePlayable && LooksEnabled(state, Command::Play));
    SetTitle(state == AppState::Paused ? LoadMessageText(ID_TITLE_PAUSED, "Paused") : kTitle);
}

void CMainFace::BlankTitle()
{
    SetTitle("");
}

void CMainFace::ActivateTips(bool on)
{
    for (const CImageButton& b : m_buttons) {
        if (b.tooltip()) {
            SendMessageA(b.tooltip(), TTM_ACTIVATE, on ? TRUE : FALSE, 0);
        }
    }
}

void CMainFace::SetTitle(const std::string& title)
{
    // Set only when it changes: every change repaints the taskbar button.
    if (title != m_title) {
        m_title = title;
        SetWindowTextA(m_window, title.c_str());
    }
}

void CMainFace::EnableButton(int id, bool enable) const
{
    EnableWindow(GetDlgItem(m_window, id), enable ? TRUE : FALSE);
}
