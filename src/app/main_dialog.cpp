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
#include "win/dpi.h"
#include "recording/compressor_list.h"
#include "recording/movie_writer.h"
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

void OpenWithShell(HWND owner, const std::string& target)
{
    // A file or page that cannot be opened is not reported.
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

constexpr char kUseDefaultQuestion[] = "Error recording AVI file using current compressor. Use default compressor ? ";

// The commands behind the menu entries whose look follows the program's state.
struct MenuCommand {
    UINT id;
    Command command;
};
constexpr MenuCommand kMenuCommands[] = {
    {ID_RECORD_NOW, Command::Record},         {ID_PAUSE_NOW, Command::Pause},
    {ID_STOP_NOW, Command::Stop},             {ID_PLAY_FILE, Command::PlayFile},
    {ID_GENERAL_OPTIONS, Command::Options},   {ID_CURSOR_OPTIONS, Command::Options},
    {ID_HOTKEYS, Command::Options},           {ID_VIDEO_OPTIONS, Command::Options},
    {ID_AUDIO_OPTIONS, Command::Options},     {IDC_ABOUT, Command::About},
    {IDC_CLOSE, Command::Close},
};

// Waits for the thread while the window goes on handling messages: the sound it stops is
// delivered through them.
void WaitPumping(HANDLE thread, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        const DWORD left = timeoutMs - (GetTickCount() - start);
        if (MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_ALLINPUT) != WAIT_OBJECT_0 + 1) {
            return;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

template <typename Prepare>
void TrackMenu(HWND owner, UINT menuId, int x, int y, Prepare&& prepare)
{
    OwnedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId)));
    if (!menu) {
        return;
    }
    if (HMENU popup = GetSubMenu(menu.get(), 0)) {
        prepare(popup);
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
    m_progress.Create(nullptr);
    m_progress.Hide();
    m_completion.SetBringToFront([this] { BringToFront(); });
    m_tray.SetMenuPreparer([this](HMENU menu) { EnableMenuEntries(menu); });
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
    SetWindowPos(hwnd(), nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    LayOut(WindowDpi(hwnd()));
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
    settings.savedir = GetDefaultSaveDirectory();

    ShowWindow(hwnd(), SW_SHOWMINIMIZED);
    SetTimer(hwnd(), kStartTimer, 200, nullptr);
    return TRUE;
}

void CMainDialog::LayOut(int dpi)
{
    m_skin = LoadBitmapForDpi(m_skinBitmap, dpi, BitmapKind::Picture);
    SetWindowPos(hwnd(), nullptr, 0, 0, ScaleForDpi(kFaceWidth, dpi), ScaleForDpi(kFaceHeight, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
    {
        WindowDC dc(hwnd());
        SetRegionFromBitmap(hwnd(), dc.get(), IDB_SKINMASK, kWhite, dpi);
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
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CMainDialog::SetUpButtons()
{
    for (size_t i = 0; i < kButtons.size(); ++i) {
        if (HWND button = m_buttons[i].hwnd()) {
            m_buttons[i].SetTooltip(kButtons[i].tooltip);
            SetWindowTextA(button, "");
        }
    }
    SetState(m_state);
    EnableButton(IDC_PLAY, false);
}

void CMainDialog::SetState(AppState state)
{
    m_state = state;
    if (state == AppState::Idle) {
        Settings().g_startkeyarmed = 1;
    }
    EnableButton(IDC_RECORD, LooksEnabled(state, Command::Record));
    EnableButton(IDC_PAUSE, LooksEnabled(state, Command::Pause));
    EnableButton(IDC_STOP, LooksEnabled(state, Command::Stop));
}

template <typename Dialog> void CMainDialog::RunModal(Dialog&& dialog)
{
    SetState(AppState::InDialog);
    dialog();
    if (m_state == AppState::InDialog) {
        SetState(AppState::Idle);
    }
}

void CMainDialog::EnableMenuEntries(HMENU menu) const
{
    for (const MenuCommand& entry : kMenuCommands) {
        const bool enabled = Decide(m_state, entry.command) != Verdict::Ignore;
        EnableMenuItem(menu, entry.id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
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
    if (!Allows(Command::Record)) {
        return;
    }
    switch (::RecordCommand()) {
    case RecordStep::Resumed:
        SetState(AppState::Recording);
        break;
    case RecordStep::Selecting:
        SetState(AppState::Selecting);
        break;
    case RecordStep::Starting:
        SetState(AppState::Starting);
        break;
    case RecordStep::Refused:
        break;
    }
}

void CMainDialog::OnRegionChosen()
{
    if (!Allows(Command::RegionChosen)) {
        return;
    }
    m_recordingWithSound = Settings().recordaudio == 1;
    m_recordingThread = OnRecordStart();
    if (!m_recordingThread) {
        SetState(AppState::Idle);
        ShowNote(hwnd(), "The recording could not be started: the system could not create its thread.",
                 MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    SetState(AppState::Recording);
}

void CMainDialog::OnPause()
{
    if (!Allows(Command::Pause)) {
        return;
    }
    Settings().g_paused = 1;
    SetState(AppState::Paused);
    SetWindowTextA(hwnd(), LoadMessageText(ID_TITLE_PAUSED, "Paused").c_str());
}

void CMainDialog::OnStop()
{
    OnRecordInterrupted(0);
}

void CMainDialog::OnRecordInterrupted(int endKey)
{
    if (!Allows(Command::Stop)) {
        return;
    }
    AppSettings& settings = Settings();
    UninstallMouseHook();
    // The recording thread does not look at g_isrecording while paused: clear g_paused first.
    if (settings.g_paused) {
        settings.g_paused = 0;
        SetWindowTextA(hwnd(), kTitle);
    }
    settings.g_isrecording = 0;
    SetState(AppState::Ending);
    settings.g_endkey = endKey;
    InvalidateRect(hwnd(), nullptr, TRUE);
    BringToFront();
}

void CMainDialog::OnRecordingEnded(RecordingStop stop, std::uint32_t framesWritten)
{
    if (m_sessionEnding || !Allows(Command::RecordingEnded)) {
        return;
    }
    AppSettings& settings = Settings();
    // A recording that ended by itself is stopped here first.
    OnRecordInterrupted(0);
    m_recordingThread.reset();
    const RecordingFiles files{settings.g_tempmoviepath, settings.g_tempwavfile, m_recordingWithSound,
                               settings.g_endkey == settings.keyRecordCancel, SoundDeviceFailed()};
    switch (ActionForEnd(stop, framesWritten, IsDefaultCompressor())) {
    case EndAction::Save:
        SetState(AppState::Completing);
        m_completion.Complete(hwnd(), files, stop);
        AfterCompletion();
        break;
    case EndAction::OfferDefaultCompressor:
        CRecordingCompletion::Discard(files);
        SetState(AppState::Asking);
        if (ShowNote(hwnd(), kUseDefaultQuestion, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
            UseDefaultCompressor();
            SetState(AppState::Starting);
            PostMessageA(hwnd(), WM_USER_RECORDSTART_MSG, 0, 0);
        } else {
            SetState(AppState::Idle);
        }
        break;
    case EndAction::Drop:
        CRecordingCompletion::Discard(files);
        SetState(AppState::Asking);
        ShowNote(hwnd(), RecordingStopNote(stop, false), MB_OK | MB_ICONEXCLAMATION);
        SetState(AppState::Idle);
        break;
    }
}

void CMainDialog::AfterCompletion()
{
    SetState(m_completion.IsRunning() ? AppState::Completing : AppState::Idle);
}

void CMainDialog::OnEndSession()
{
    // Windows may end the process as soon as this returns: the settings are saved now, and a
    // running recording is closed with its journal, so that the next start offers it.
    m_sessionEnding = true;
    if (SettingsFiles().saveOrForget) {
        SettingsFiles().saveOrForget();
    }
    if (ThreadMayRun(m_state) && m_recordingThread) {
        AppSettings& settings = Settings();
        UninstallMouseHook();
        settings.g_paused = 0;
        settings.g_isrecording = 0;
        WaitPumping(m_recordingThread.get(), 10000);
        m_recordingThread.reset();
        // Should the process go on, it is idle; the thread's message, if still to come, is ignored.
        SetState(AppState::Idle);
    }
    m_sessionEnding = false;
}

void CMainDialog::CloseCheck(WORD id)
{
    // A save that runs on a thread of its own keeps the state Completing: no close either.
    switch (Decide(m_state, Command::Close)) {
    case Verdict::Run:
        EndDialog(id);
        break;
    case Verdict::RefuseWithNote:
        MessageBoxA(hwnd(), "Please stop video screen capture before exit!", kTitle, MB_OK | MB_ICONINFORMATION);
        break;
    case Verdict::Ignore:
        break;
    }
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
        if (Allows(Command::Play) && !currentMovie().empty()) {
            OpenWithShell(hwnd(), currentMovie());
        }
        return true;
    case ID_PLAY_FILE:
        if (Allows(Command::PlayFile)) {
            RunModal([this] { PlayVideoFile(); });
        }
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
    // The settings they edit must stay as they are from the start of a recording to its save.
    if (Allows(Command::Options)) {
        RunModal([this, id] { RunOptionsDialog(id); });
    }
}

void CMainDialog::RunOptionsDialog(WORD id)
{
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
    TrackMenu(hwnd(), IDR_OPTIONSMENU, button.left, button.bottom, [this](HMENU menu) { EnableMenuEntries(menu); });
    activateTips(TRUE);
}

void CMainDialog::OnContextMenu(LPARAM screenPoint)
{
    POINT p{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (screenPoint == -1) {
        // From the keyboard: no point came with it.
        GetCursorPos(&p);
    }
    TrackMenu(hwnd(), IDR_TRAYMENU, p.x, p.y, [this](HMENU menu) { EnableMenuEntries(menu); });
}

void CMainDialog::ShowAbout()
{
    if (Allows(Command::About)) {
        RunModal([this] {
            CAboutDialog about;
            about.DoModal(hwnd());
        });
    }
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
    if (m_offerLeftRecordings && m_state == AppState::Idle) {
        // No recording starts while the question is up: it would use the same temporary names.
        SetState(AppState::Asking);
        OfferLeftRecordings(hwnd(), m_completion);
        AfterCompletion();
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
        OnRegionChosen();
        return Result(0);
    }
    if (message == WM_USER_RECORDINTERRUPTED_MSG) {
        OnRecordInterrupted(static_cast<int>(wParam));
        return Result(0);
    }
    if (message == WM_USER_GENERIC_MSG) {
        // From the recording thread as it ends, or from the completion to itself.
        if (m_state == AppState::Completing) {
            m_completion.OnRecordingComplete(hwnd());
            AfterCompletion();
        } else {
            OnRecordingEnded(static_cast<RecordingStop>(wParam), static_cast<std::uint32_t>(lParam));
        }
        return Result(0);
    }
    if (message == kSelectionAbandonedMessage) {
        if (Allows(Command::RegionAbandoned)) {
            SetState(AppState::Idle);
        }
        return Result(0);
    }
    if (message == kAnotherStartMessage) {
        BringToFront();
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
    case WM_DISPLAYCHANGE:
        OnDisplayChange();
        return FALSE;
    case WM_DPICHANGED: {
        // Moved to a monitor of another dpi: the system suggests where the window goes.
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        LayOut(DpiOfDpiChange(wParam));
        return Result(0);
    }
    case WM_QUERYENDSESSION:
        return Result(TRUE);
    case WM_ENDSESSION:
        if (wParam) {
            OnEndSession();
        }
        return Result(0);
    case kSaveDoneMessage:
        m_completion.OnSaveDone(hwnd());
        AfterCompletion();
        return Result(0);
    case WM_DESTROY:
        Shutdown();
        return FALSE;
    default:
        return FALSE;
    }
}
