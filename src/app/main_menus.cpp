#include "app/main_menus.h"

#include "options/audio_options_dialog.h"
#include "options/cursor_options_dialog.h"
#include "options/general_options_dialog.h"
#include "options/hotkeys_dialog.h"
#include "options/video_options_dialog.h"
#include "resources/resource_ids.h"
#include "win/handles.h"

#include <commdlg.h>
#include <shellapi.h>

namespace {
// The commands behind the menu entries whose look follows the program's state.
struct MenuCommand {
    UINT id;
    Command command;
};
constexpr MenuCommand kMenuCommands[] = {
    {ID_RECORD_NOW, Command::Record},         {ID_PAUSE_NOW, Command::Pause},
    {ID_STOP_NOW, Command::Stop},             {ID_CANCEL_NOW, Command::Cancel},
    {ID_PLAY_FILE, Command::PlayFile},        {ID_GENERAL_OPTIONS, Command::Options},
    {ID_CURSOR_OPTIONS, Command::Options},    {ID_HOTKEYS, Command::Options},
    {ID_VIDEO_OPTIONS, Command::Options},     {ID_AUDIO_OPTIONS, Command::Options},
    {IDC_ABOUT, Command::About},              {IDC_CLOSE, Command::Close},
};

struct RegionEntry {
    UINT id;
    CaptureMode mode;
};
constexpr RegionEntry kRegionEntries[] = {
    {ID_REGION_NORMAL, kCaptureNormal},
    {ID_REGION_FIXED, kCaptureFixed},
    {ID_REGION_FULLSCREEN, kCaptureFullScreen},
    {ID_REGION_WINDOW, kCaptureWindow},
};
} // namespace

void EnableMenuEntries(HMENU menu, AppState state)
{
    for (const MenuCommand& entry : kMenuCommands) {
        EnableMenuItem(menu, entry.id, MF_BYCOMMAND | (LooksEnabled(state, entry.command) ? MF_ENABLED : MF_GRAYED));
    }
    // The region is an option like the others: it stays as it is while a recording runs.
    const UINT enabled = LooksEnabled(state, Command::Options) ? MF_ENABLED : MF_GRAYED;
    for (const RegionEntry& entry : kRegionEntries) {
        EnableMenuItem(menu, entry.id, MF_BYCOMMAND | enabled);
        if (entry.mode == Settings().MouseCaptureMode) {
            CheckMenuRadioItem(menu, ID_REGION_NORMAL, ID_REGION_WINDOW, entry.id, MF_BYCOMMAND);
        }
    }
}

std::optional<CaptureMode> RegionModeOf(WORD id)
{
    for (const RegionEntry& entry : kRegionEntries) {
        if (entry.id == id) {
            return entry.mode;
        }
    }
    return std::nullopt;
}

void ShowMenu(HWND owner, UINT menuId, POINT at, AppState state)
{
    OwnedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId)));
    if (!menu) {
        return;
    }
    if (HMENU popup = GetSubMenu(menu.get(), 0)) {
        EnableMenuEntries(popup, state);
        // The owner must be in front, or the menu does not close when the user clicks elsewhere.
        SetForegroundWindow(owner);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
        PostMessageA(owner, WM_NULL, 0, 0);
    }
}

bool IsOptionsCommand(WORD id)
{
    switch (id) {
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
        return true;
    default:
        return false;
    }
}

void RunOptionsDialog(HWND owner, WORD id, CRegionWindow* regionWindow)
{
    switch (id) {
    case IDC_VIDEO:
    case ID_VIDEO_OPTIONS:
        CVideoOptionsDialog::Run(owner);
        break;
    case IDC_GENERAL:
    case ID_GENERAL_OPTIONS:
        CGeneralOptionsDialog::Run(owner, regionWindow);
        break;
    case IDC_CURSOR:
    case ID_CURSOR_OPTIONS:
        CCursorOptionsDialog::Run(owner);
        break;
    case IDC_AUDIO:
    case ID_AUDIO_OPTIONS:
        CAudioOptionsDialog::Run(owner);
        break;
    default:
        CHotkeysDialog::Run(owner);
        break;
    }
}

void PlayVideoFile(HWND owner)
{
    char path[MAX_PATH] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "Movies (*.avi;*.mp4;*.webm;*.gif)\0*.avi;*.mp4;*.webm;*.gif\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof(path);
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    if (GetOpenFileNameA(&dialog)) {
        OpenWithShell(owner, path);
    }
}

void OpenWithShell(HWND owner, const std::string& target)
{
    // A file or page that cannot be opened is not reported.
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
