#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/help.h"
#include "app/recovery_offer.h"
#include "messages/hook_library.h"
#include "app/hotkeys.h"
#include "messages/private_messages.h"
#include "audio/audio_capture.h"
#include "audio/audio_formats.h"
#include "codec/msadpcm_install.h"
#include "codec/video1_install.h"
#include "codec/zmbv_install.h"
#include "common/fourcc.h"
#include "controls/window_region.h"
#include "options/audio_options_dialog.h"
#include "options/cursor_options_dialog.h"
#include "options/general_options_dialog.h"
#include "options/hotkeys_dialog.h"
#include "options/video_options_dialog.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "recording/compressor_list.h"
#include "recording/record_command.h"
#include "recording/recording_seams.h"
#include "win/message_box.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

namespace {
constexpr char kTitle[] = "Framelark";
constexpr UINT_PTR kStartTimer = 1;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr int kFaceWidth = 390;
constexpr int kFaceHeight = 146;

struct ButtonLayout {
    int id;
    int x, y, width, height;
    UINT normal, pressed, hover, disabled, mask;
    const char* tooltip;
};

const std::array<ButtonLayout, 12> kButtons = {{
    {IDC_WEBSITE, 24, 36, 184, 18, IDB_WEBSITE, IDB_WEBSITE_PRESSED, IDB_WEBSITE_HOVER, 0, 0, "Website"},
    {IDC_MINIMISE, 322, 11, 17, 16, IDB_MIN, IDB_MIN_PRESSED, IDB_MIN_HOVER, 0, 0, "MinSize"},
    {IDC_CLOSE, 340, 11, 17, 16, IDB_CLOSE, IDB_CLOSE_PRESSED, IDB_CLOSE_HOVER, 0, 0, "Exit"},
    {IDC_RECORD, 20, 60, 33, 67, IDB_RECORD, IDB_RECORD_PRESSED, IDB_RECORD_HOVER, IDB_RECORD_DISABLED,
     IDB_RECORD_MASK, "Press Record to capture..."},
    {IDC_PAUSE, 53, 60, 33, 67, IDB_PAUSE, IDB_PAUSE_PRESSED, IDB_PAUSE_HOVER, IDB_PAUSE_DISABLED, IDB_PAUSE_MASK,
     "Pause screen video capture"},
    {IDC_STOP, 78, 59, 33, 44, IDB_STOP, IDB_STOP_PRESSED, IDB_STOP_HOVER, IDB_STOP_DISABLED, IDB_STOP_MASK,
     "Stop screen video capture"},
    {IDC_PLAY, 111, 59, 33, 44, IDB_PLAY, IDB_PLAY_PRESSED, IDB_PLAY_HOVER, IDB_PLAY_DISABLED, IDB_PLAY_MASK,
     "Play Current video capture"},
    {IDC_OPTION, 217, 62, 31, 35, IDB_OPTION, IDB_OPTION_PRESSED, IDB_OPTION_HOVER, 0, 0, "Options"},
    {IDC_VIDEO, 248, 62, 28, 35, IDB_VIDEO, IDB_VIDEO_PRESSED, IDB_VIDEO_HOVER, 0, 0, "Video"},
    {IDC_AUDIO, 276, 62, 28, 35, IDB_AUDIO, IDB_AUDIO_PRESSED, IDB_AUDIO_HOVER, 0, 0, "Audio"},
    {IDC_ABOUT, 304, 61, 28, 36, IDB_ABOUT, IDB_ABOUT_PRESSED, IDB_ABOUT_HOVER, 0, 0, "About"},
    {IDC_HELPFILE, 332, 61, 32, 36, IDB_HELP, IDB_HELP_PRESSED, IDB_HELP_HOVER, 0, 0, "Help"},
}};

void OpenWithShell(HWND owner, const std::string& target)
{
    // A file or page that cannot be opened is not reported.
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TrackMenu(HWND owner, UINT menuId, int x, int y)
{
    OwnedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId)));
    if (!menu) {
        return;
    }
    if (HMENU popup = GetSubMenu(menu.get(), 0)) {
        // The owner must be in front, or the menu does not close when the user clicks elsewhere.
        SetForegroundWindow(owner);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
        PostMessageA(owner, WM_NULL, 0, 0);
    }
}
} // namespace

SettingsFileSeam& SettingsFiles()
{
    static SettingsFileSeam seam;
    return seam;
}

CMainDialog::CMainDialog() : CDialog(IDD_MAINDIALOG), m_skinBitmap(IDB_SKIN)
{
    m_icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAINFRAME), IMAGE_ICON, 0,
                                           0, LR_DEFAULTSIZE | LR_SHARED));
    m_skin.reset(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_skinBitmap),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    m_progress.Create(nullptr);
    m_progress.Hide();
    m_completion.SetBringToFront([this] { BringToFront(); });
    m_completion.SetMerge([](const MergeRequest& r) {
        return MergeAudioVideo(r.videoPath, r.audioPath, r.outputPath, r.compressAudio, r.compressedFormat,
                               r.compressedFormatLength, r.interleave, r.interleaveFactor, r.interleaveUnit);
    });
}

CMainDialog::~CMainDialog() = default;

BOOL CMainDialog::OnInitDialog()
{
    AppSettings& settings = Settings();
    for (size_t i = 0; i < kButtons.size(); ++i) {
        m_buttons[i].AttachTo(hwnd(), kButtons[i].id);
    }
    SetWindowTextA(hwnd(), kTitle);

    const std::string about = LoadResourceString(IDS_ABOUTBOX, "");
    if (HMENU system = GetSystemMenu(hwnd(), FALSE); system && !about.empty()) {
        AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    // When the icon cannot be added the program runs on without one.
    m_tray.AddToTray(hwnd(), kTrayIconMessage, kTitle, nullptr, IDR_TRAYMENU);
    m_tray.ChangeTrayIcon(IDI_TRAY);
    m_tray.ChangeTrayTip(kTitle);

    g_skincursor = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_SKINCURSOR));
    SetWindowPos(hwnd(), nullptr, 200, 200, kFaceWidth, kFaceHeight, SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    if (m_regionPending) {
        WindowDC dc(hwnd());
        SetRegionFromBitmap(hwnd(), dc.get(), IDB_SKINMASK, kWhite);
        m_regionPending = false;
    }
    SetUpButtons();
    settings.g_mainwindow = hwnd();

    // Wine's compression manager suggests MS ADPCM but cannot produce it: bring ours first, so that
    // the formats chosen below can be reached.
    InstallMsAdpcmIfNeeded();
    if (SettingsFiles().load) {
        SettingsFiles().load();
    } else {
        // Without settings files the device and the compression manager decide.
        ChooseDefaultAudioFormats();
    }
    Seams().audio = &m_audio;
    InstallKeyHook(hwnd(), WM_USER_KEYSTART_MSG);
    m_regionWindow = std::make_unique<CRegionWindow>();
    if (m_regionWindow->Create()) {
        Seams().regionSelection = m_regionWindow.get();
    }
    {
        WindowDC screen(nullptr);
        settings.g_capturebits = GetDeviceCaps(screen.get(), BITSPIXEL) * GetDeviceCaps(screen.get(), PLANES);
    }
    // Wine's own Video 1 only decompresses: bring ours when the system's cannot take the screen.
    InstallVideo1IfNeeded(settings.g_capturebits, settings.g_screenwidth, settings.g_screenheight);
    // Without a ZMBV compressor of the system's, ours offers lossless recording.
    InstallZmbvIfNeeded(settings.g_capturebits, settings.g_screenwidth, settings.g_screenheight);
    settings.compfccHandler = FourCCAsSigned(kFourCCVideo1);
    m_flashingFrame = std::make_unique<CFlashingFrame>();
    if (m_flashingFrame->Create()) {
        Seams().flashingFrame = m_flashingFrame.get();
    }
    settings.cursordir = GetWindowsDirectoryPath() + "\\cursors";
    settings.savedir = GetProgramDirectory();

    ShowWindow(hwnd(), SW_SHOWMINIMIZED);
    SetTimer(hwnd(), kStartTimer, 200, nullptr);
    return TRUE;
}

void CMainDialog::SetUpButtons()
{
    for (size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonLayout& b = kButtons[i];
        CImageButton& button = m_buttons[i];
        if (!button.hwnd()) {
            continue;
        }
        SetWindowPos(button.hwnd(), nullptr, b.x, b.y, b.width, b.height, SWP_NOZORDER | SWP_NOREDRAW);
        button.SetBitmaps(b.normal, b.pressed, b.hover, b.disabled, 0, b.mask, CImageButton::kDrawNormal, 0, 0);
        button.SetTooltip(b.tooltip);
        SetWindowTextA(button.hwnd(), "");
    }
    EnableButton(IDC_PAUSE, false);
    EnableButton(IDC_STOP, false);
    EnableButton(IDC_PLAY, false);
}

void CMainDialog::EnableButton(int id, bool enable) const
{
    EnableWindow(GetDlgItem(hwnd(), id), enable ? TRUE : FALSE);
}

void CMainDialog::BringToFront()
{
    HWND self = hwnd();
    SetForegroundWindow(self);
    ShowWindow(self, SW_SHOWNORMAL);
    SetForegroundWindow(self);
    // Windows refuses the foreground to a thread without input; borrow the foreground thread's.
    HWND front = GetForegroundWindow();
    const DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
    const DWORD thisThread = GetCurrentThreadId();
    if (frontThread && frontThread != thisThread && AttachThreadInput(thisThread, frontThread, TRUE)) {
        SetForegroundWindow(self);
        AttachThreadInput(thisThread, frontThread, FALSE);
    } else {
        SetForegroundWindow(self);
    }
    ShowWindow(self, SW_RESTORE);
}

void CMainDialog::RecordCommand()
{
    // A stopped recording still being written or saved owns the temporary files.
    if (IsEndingOrCompleting()) {
        return;
    }
    // Refused while a recording runs unpaused; resumes a paused one.
    ::RecordCommand();
}

void CMainDialog::OnPause()
{
    AppSettings& settings = Settings();
    if (!settings.g_isrecording || settings.g_paused) {
        return;
    }
    settings.g_paused = 1;
    EnableButton(IDC_RECORD, true);
    EnableButton(IDC_PAUSE, false);
    EnableButton(IDC_STOP, true);
    SetWindowTextA(hwnd(), LoadMessageText(ID_TITLE_PAUSED, "Paused").c_str());
}

void CMainDialog::OnStop()
{
    if (!Settings().g_isrecording) {
        return;
    }
    OnRecordInterrupted(0);
}

void CMainDialog::OnRecordInterrupted(int endKey)
{
    AppSettings& settings = Settings();
    UninstallMouseHook();
    if (settings.g_isrecording) {
        m_ending = true;
    }
    // The recording thread does not look at g_isrecording while paused: clear g_paused first.
    if (settings.g_paused) {
        settings.g_paused = 0;
        SetWindowTextA(hwnd(), kTitle);
    }
    settings.g_isrecording = 0;
    EnableButton(IDC_RECORD, true);
    EnableButton(IDC_STOP, false);
    EnableButton(IDC_PAUSE, false);
    settings.g_endkey = endKey;
    InvalidateRect(hwnd(), nullptr, TRUE);
    BringToFront();
}

bool CMainDialog::IsEndingOrCompleting() const
{
    return m_ending || m_offeringLeftRecordings || m_completion.IsRunning();
}

void CMainDialog::CloseCheck(WORD id)
{
    if (Settings().g_isrecording) {
        MessageBoxA(hwnd(), "Please stop video screen capture before exit!", kTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    EndDialog(id);
}

bool CMainDialog::OnCommand(WORD id, WORD, HWND)
{
    AppSettings& settings = Settings();
    switch (id) {
    case IDC_RECORD:
    case ID_RECORD_NOW:
        RecordCommand();
        return true;
    case IDC_PAUSE:
    case ID_PAUSE_NOW:
        OnPause();
        return true;
    case IDC_STOP:
    case ID_STOP_NOW:
        OnStop();
        return true;
    case IDC_VIDEO:
    case ID_VIDEO_OPTIONS:
    case IDC_GENERAL:
    case ID_GENERAL_OPTIONS:
    case IDC_HOTKEY:
    case ID_HOTKEYS:
    case IDC_CURSOR:
    case ID_CURSOR_OPTIONS:
    case IDC_AUDIO:
    case ID_AUDIO_OPTIONS:
        OpenOptions(id);
        return true;
    case IDC_PLAY:
        if (!currentMovie().empty()) {
            OpenWithShell(hwnd(), currentMovie());
        }
        return true;
    case ID_PLAY_FILE:
        PlayVideoFile();
        return true;
    case IDC_OPTION:
        ShowOptionMenu();
        return true;
    case IDC_ABOUT:
        ShowAbout();
        return true;
    case IDC_HELPFILE:
        OpenHelp(hwnd(), GetProgramDirectory());
        return true;
    case IDC_WEBSITE:
        OpenWithShell(hwnd(), kProductWebSite);
        return true;
    case IDC_MINIMISE:
        ShowWindow(hwnd(), SW_SHOWMINIMIZED);
        return true;
    case IDC_CLOSE:
        SendMessageA(hwnd(), WM_CLOSE, 0, 0);
        return true;
    case ID_TOGGLE_FLASHING:
        settings.flashingRect = settings.flashingRect == 0 ? 1 : 0;
        return true;
    case IDOK:
    case IDCANCEL:
        CloseCheck(id);
        return true;
    default:
        return false;
    }
}

void CMainDialog::PlayVideoFile()
{
    char path[MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = hwnd();
    dialog.lpstrFilter = "Video Files (*.avi)\0*.avi\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (GetOpenFileNameA(&dialog)) {
        OpenWithShell(hwnd(), path);
    }
}

void CMainDialog::OpenOptions(WORD id)
{
    // The settings they edit must stay as they are while a recording runs.
    if (Settings().g_isrecording) {
        return;
    }
    switch (id) {
    case IDC_VIDEO:
    case ID_VIDEO_OPTIONS:
        CVideoOptionsDialog::Run(hwnd());
        break;
    case IDC_GENERAL:
    case ID_GENERAL_OPTIONS:
        CGeneralOptionsDialog::Run(hwnd(), m_regionWindow.get());
        break;
    case IDC_CURSOR:
    case ID_CURSOR_OPTIONS:
        CCursorOptionsDialog::Run(hwnd());
        break;
    case IDC_AUDIO:
    case ID_AUDIO_OPTIONS:
        CAudioOptionsDialog::Run(hwnd());
        break;
    default:
        CHotkeysDialog::Run(hwnd());
        break;
    }
}

void CMainDialog::ShowOptionMenu()
{
    // The button's tip would stand over the menu's first entry: its timer, started by the click,
    // shows it again after a mere pop, so the tips stay off while the menu is open.
    const auto activateTips = [this](BOOL on) {
        for (const CImageButton& b : m_buttons) {
            if (b.tooltip()) {
                SendMessageA(b.tooltip(), TTM_ACTIVATE, on, 0);
            }
        }
    };
    activateTips(FALSE);
    RECT button{};
    GetWindowRect(GetDlgItem(hwnd(), IDC_OPTION), &button);
    TrackMenu(hwnd(), IDR_OPTIONSMENU, button.left, button.bottom);
    activateTips(TRUE);
}

void CMainDialog::OnContextMenu(LPARAM screenPoint)
{
    POINT p{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        // From the keyboard: no point came with it.
        GetCursorPos(&p);
    }
    TrackMenu(hwnd(), IDR_TRAYMENU, p.x, p.y);
}

void CMainDialog::ShowAbout()
{
    CAboutDialog about;
    about.DoModal(hwnd());
}

void CMainDialog::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd(), &paint);
    if (IsIconic(hwnd())) {
        SendMessageA(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        RECT client{};
        GetClientRect(hwnd(), &client);
        const int cx = GetSystemMetrics(SM_CXICON);
        const int cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_icon);
    } else if (m_skin) {
        RECT outer{};
        GetWindowRect(hwnd(), &outer);
        MemoryDC source(CreateCompatibleDC(dc));
        SelectGuard select(source.get(), m_skin.get());
        BitBlt(dc, 0, 0, outer.right - outer.left, outer.bottom - outer.top, source.get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd(), &paint);
}

void CMainDialog::OnFirstTick(UINT_PTR timer)
{
    if (!m_firstTickPending) {
        return;
    }
    m_firstTickPending = false;
    KillTimer(hwnd(), timer);
    BringToFront();
    if (m_offerLeftRecordings) {
        // No recording starts while the question is up: it would use the same temporary names.
        m_offeringLeftRecordings = true;
        OfferLeftRecordings(hwnd(), m_completion);
        m_offeringLeftRecordings = false;
    }
}

void CMainDialog::Shutdown()
{
    AppSettings& settings = Settings();
    if (SettingsFiles().saveOrForget) {
        SettingsFiles().saveOrForget();
    }
    UninstallKeyHook();
    // While the window still exists: the shell finds the icon by its owner.
    m_tray.RemoveFromTray();
    // The region window takes the bitmap under its label with it.
    Seams().regionSelection = nullptr;
    m_regionWindow.reset();
    Compressors().count = 0;
    Seams().flashingFrame = nullptr;
    m_flashingFrame.reset();
    Seams().audio = nullptr;
    settings.g_audioformat.reset();
    settings.g_compressorstate.reset();
    RemoveVideo1();
    RemoveZmbv();
    RemoveMsAdpcm();
    settings.g_mainwindow = nullptr;
}

INT_PTR CMainDialog::Result(LRESULT value)
{
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CMainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    AppSettings& settings = Settings();
    if (message == WM_USER_RECORDSTART_MSG) {
        OnRecordStart();
        return Result(0);
    }
    if (message == WM_USER_RECORDINTERRUPTED_MSG) {
        OnRecordInterrupted(static_cast<int>(wParam));
        // The thread has finished with this recording: nothing more is pending.
        m_ending = false;
        return Result(0);
    }
    if (message == WM_USER_GENERIC_MSG) {
        // A recording that ended by itself (its files could not grow) is stopped here first.
        if (settings.g_isrecording) {
            OnRecordInterrupted(0);
        }
        m_ending = false;
        m_completion.OnRecordingComplete(hwnd());
        return Result(0);
    }
    if (message == WM_USER_SAVECURSOR_MSG) {
        settings.g_hookcursor = reinterpret_cast<HCURSOR>(wParam);
        return Result(0);
    }
    if (message == WM_USER_KEYSTART_MSG) {
        OnHotkey(*this, wParam, lParam);
        return Result(0);
    }
    if (m_tray.HandleOwnerMessage(message, wParam, lParam)) {
        return Result(0);
    }
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return TRUE;
    case WM_ERASEBKGND:
        // The skin covers the whole face.
        return IsIconic(hwnd()) ? FALSE : Result(1);
    case WM_DRAWITEM:
        return CImageButton::ReflectDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? Result(TRUE) : FALSE;
    case WM_QUERYDRAGICON:
        return Result(reinterpret_cast<LRESULT>(m_icon));
    case WM_LBUTTONDOWN:
        DragByFace(hwnd(), lParam);
        return FALSE;
    case WM_SETCURSOR:
        if (g_skincursor) {
            SetCursor(g_skincursor);
            return Result(TRUE);
        }
        return FALSE;
    case WM_CONTEXTMENU:
        OnContextMenu(lParam);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            ShowAbout();
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        OnFirstTick(wParam);
        return FALSE;
    case kWaveInDataMessage:
        OnWaveInData(reinterpret_cast<WAVEHDR*>(lParam));
        return Result(0);
    case MergeProgressMessage:
        m_progress.SetPosition(static_cast<int>(wParam));
        return Result(0);
    case WM_DESTROY:
        Shutdown();
        return FALSE;
    default:
        return FALSE;
    }
}
