#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/help.h"
#include "app/hotkeys.h"
#include "audio/audio_capture.h"
#include "app/main_menus.h"
#include "messages/private_messages.h"
#include "recording/input_marks.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/dpi.h"

#include <atomic>

namespace {
constexpr char kTitle[] = "Framelark";
constexpr UINT_PTR kStartTimer = 1;
constexpr UINT_PTR kPauseBlankTimer = 2;
constexpr UINT kPauseBlankMs = 400;

std::atomic<int> g_unexpectedMoves{0};
} // namespace

CMainDialog::CMainDialog() : CDialog(IDD_MAINDIALOG)
{
    m_tray.SetMenuPreparer([this](HMENU menu) { EnableMenuEntries(menu, m_state); });
}

CMainDialog::~CMainDialog() = default;

int CMainDialog::UnexpectedMoves()
{
    return g_unexpectedMoves;
}

BOOL CMainDialog::OnInitDialog()
{
    m_face.Attach(hwnd());
    // When the icon cannot be added the program runs on without one.
    m_tray.AddToTray(hwnd(), kTrayIconMessage, kTitle, nullptr, IDR_TRAYMENU);
    m_tray.ChangeTrayIcon(IDI_TRAY);
    m_tray.ChangeTrayTip(kTitle);
    m_services.Start(hwnd(), WM_USER_KEYSTART_MSG);
    SetState(m_state);
    ShowWindow(hwnd(), SW_SHOWMINIMIZED);
    SetTimer(hwnd(), kStartTimer, 200, nullptr);
    return TRUE;
}

void CMainDialog::SetState(AppState state)
{
    if (!MayMove(m_state, state)) {
        ++g_unexpectedMoves;
    }
    m_state = state;
    m_face.Show(state, !currentMovie().empty());
    if (state == AppState::Paused) {
        SetTimer(hwnd(), kPauseBlankTimer, kPauseBlankMs, nullptr);
    } else {
        KillTimer(hwnd(), kPauseBlankTimer);
    }
}

template <typename Dialog> void CMainDialog::RunModal(Dialog&& dialog)
{
    SetState(AppState::InDialog);
    dialog();
    if (m_state == AppState::InDialog) {
        SetState(AppState::Idle);
    }
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

void CMainDialog::Run(Command command)
{
    switch (Decide(m_state, command)) {
    case Verdict::Ignore:
        return;
    case Verdict::RefuseWithNote:
        MessageBoxA(hwnd(), "Please stop video screen capture before exit!", kTitle, MB_OK | MB_ICONINFORMATION);
        return;
    case Verdict::Run:
        break;
    }
    switch (command) {
    case Command::Record:
        m_session.Record();
        break;
    case Command::Pause:
        m_session.Pause();
        break;
    case Command::Stop:
        m_session.Stop();
        break;
    case Command::Cancel:
        m_session.Cancel();
        break;
    case Command::About:
        RunModal([this] { CAboutDialog().DoModal(hwnd()); });
        break;
    case Command::PlayFile:
        RunModal([this] { PlayVideoFile(hwnd()); });
        break;
    case Command::Play:
        if (!currentMovie().empty()) {
            OpenWithShell(hwnd(), currentMovie());
        }
        break;
    case Command::Close:
        EndDialog(IDCANCEL);
        break;
    case Command::RegionChosen:
        m_session.RegionChosen();
        break;
    case Command::RegionAbandoned:
        SetState(AppState::Idle);
        break;
    case Command::FirstTick:
        KillTimer(hwnd(), kStartTimer);
        m_session.FirstTick(m_offerLeftRecordings);
        break;
    case Command::NextSave:
        m_session.NextSave();
        break;
    case Command::SaveDone:
        m_session.SaveDone();
        break;
    case Command::ConvertDone:
        m_session.ConvertDone();
        break;
    case Command::RecoveryDone:
        m_session.RecoveryDone();
        break;
    case Command::EndSession:
        m_services.SaveSettings();
        m_session.EndSession();
        break;
    case Command::CountdownEnded:
        m_session.CountdownEnded();
        break;
    case Command::Options:        // needs the dialog's id: OnCommand
    case Command::RecordingEnded: // needs the thread's report: HandleMessage
        break;
    }
}

bool CMainDialog::OnCommand(WORD id, WORD, HWND)
{
    if (IsOptionsCommand(id)) {
        // The settings they edit must stay as they are from the start of a recording to its save.
        if (Allows(Command::Options)) {
            RunModal([this, id] { RunOptionsDialog(hwnd(), id, m_services.regionWindow()); });
        }
        return true;
    }
    if (const std::optional<CaptureMode> mode = RegionModeOf(id)) {
        if (Allows(Command::Options)) {
            Settings().MouseCaptureMode = *mode;
        }
        return true;
    }
    switch (id) {
    case IDC_RECORD:
    case ID_RECORD_NOW:
        Run(Command::Record);
        return true;
    case IDC_PAUSE:
    case ID_PAUSE_NOW:
        Run(Command::Pause);
        return true;
    case IDC_STOP:
    case ID_STOP_NOW:
        Run(Command::Stop);
        return true;
    case ID_CANCEL_NOW:
        Run(Command::Cancel);
        return true;
    case IDC_PLAY:
        Run(Command::Play);
        return true;
    case ID_PLAY_FILE:
        Run(Command::PlayFile);
        return true;
    case IDC_OPTION:
        ShowOptionMenu();
        return true;
    case IDC_ABOUT:
        Run(Command::About);
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
        Settings().flashingRect = Settings().flashingRect == 0 ? 1 : 0;
        return true;
    case IDOK:
    case IDCANCEL:
        Run(Command::Close);
        return true;
    default:
        return false;
    }
}

void CMainDialog::ShowOptionMenu()
{
    // The button's tip would stand over the menu's first entry: its timer, started by the click,
    // shows it again after a mere pop, so the tips stay off while the menu is open.
    m_face.ActivateTips(false);
    RECT button{};
    GetWindowRect(GetDlgItem(hwnd(), IDC_OPTION), &button);
    ShowMenu(hwnd(), IDR_OPTIONSMENU, POINT{button.left, button.bottom}, m_state);
    m_face.ActivateTips(true);
}

void CMainDialog::OnTimer(UINT_PTR timer)
{
    if (timer == kStartTimer) {
        Run(Command::FirstTick);
    } else if (timer == kPauseBlankTimer) {
        KillTimer(hwnd(), timer);
        if (m_state == AppState::Paused) {
            m_face.BlankTitle();
        }
    }
}

void CMainDialog::Shutdown()
{
    m_services.Stop();
    // While the window still exists: the shell finds the icon by its owner.
    m_tray.RemoveFromTray();
}

INT_PTR CMainDialog::Result(LRESULT value)
{
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, value);
    return TRUE;
}

INT_PTR CMainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The program's own messages, one meaning each.
    if (message == WM_USER_RECORDSTART_MSG) {
        Run(Command::RegionChosen);
        return Result(0);
    }
    if (message == WM_USER_GENERIC_MSG) {
        if (Allows(Command::RecordingEnded)) {
            m_session.RecordingEnded(static_cast<RecordingStop>(wParam), static_cast<std::uint32_t>(lParam));
        }
        return Result(0);
    }
    if (message == kSelectionAbandonedMessage) {
        Run(Command::RegionAbandoned);
        return Result(0);
    }
    if (message == kAnotherStartMessage) {
        BringToFront();
        return Result(0);
    }
    if (message == WM_USER_SAVECURSOR_MSG) {
        Settings().g_hookcursor = reinterpret_cast<HCURSOR>(wParam);
        return Result(0);
    }
    if (message == WM_USER_KEYSTART_MSG) {
        NoteKeyEvent(wParam, lParam);
        OnHotkey(*this, wParam, lParam);
        return Result(0);
    }
    if (message == kMouseClickMessage) {
        NoteMouseClick(wParam, lParam);
        return Result(0);
    }
    if (m_tray.HandleOwnerMessage(message, wParam, lParam)) {
        return Result(0);
    }
    switch (message) {
    case kNextSaveMessage:
        Run(Command::NextSave);
        return Result(0);
    case kSaveDoneMessage:
        Run(Command::SaveDone);
        return Result(0);
    case kConvertDoneMessage:
        Run(Command::ConvertDone);
        return Result(0);
    case kRecoveryDoneMessage:
        Run(Command::RecoveryDone);
        return Result(0);
    case kCountdownDoneMessage:
        Run(Command::CountdownEnded);
        return Result(0);
    case kWaveInDataMessage:
        OnWaveInData(reinterpret_cast<WAVEHDR*>(lParam));
        return Result(0);
    case MergeProgressMessage:
        m_session.ShowProgress(static_cast<int>(wParam));
        return Result(0);
    case WM_PAINT:
        m_face.Paint();
        return TRUE;
    case WM_ERASEBKGND:
        // The skin covers the whole face.
        return IsIconic(hwnd()) ? FALSE : Result(1);
    case WM_DRAWITEM:
        return CImageButton::ReflectDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? Result(TRUE) : FALSE;
    case WM_QUERYDRAGICON:
        return Result(reinterpret_cast<LRESULT>(m_face.icon()));
    case WM_LBUTTONDOWN:
        DragByFace(hwnd(), lParam);
        return FALSE;
    case WM_SETCURSOR:
        if (g_skincursor) {
            SetCursor(g_skincursor);
            return Result(TRUE);
        }
        return FALSE;
    case WM_CONTEXTMENU: {
        POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (lParam == -1) {
            // From the keyboard: no point came with it.
            GetCursorPos(&at);
        }
        ShowMenu(hwnd(), IDR_TRAYMENU, at, m_state);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            Run(Command::About);
            return TRUE;
        }
        return FALSE;
    case WM_TIMER:
        OnTimer(wParam);
        return FALSE;
    case WM_DISPLAYCHANGE:
        m_session.DisplayChanged();
        return FALSE;
    case WM_DPICHANGED: {
        // Moved to a monitor of another dpi: the system suggests where the window goes.
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_face.LayOut(DpiOfDpiChange(wParam));
        return Result(0);
    }
    case WM_QUERYENDSESSION:
        return Result(TRUE);
    case WM_ENDSESSION:
        if (wParam) {
            Run(Command::EndSession);
        }
        return Result(0);
    case WM_DESTROY:
        Shutdown();
        return FALSE;
    default:
        return FALSE;
    }
}
