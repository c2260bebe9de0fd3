#include "app/save_dialog.h"

#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/message_box.h"

#include <commdlg.h>

#include <vector>

namespace {
constexpr char kDiscardQuestion[] =
    "Throw this recording away? It cannot be brought back.\n\nNo returns to the Save dialog.";

// Keys typed before the Save dialog showed (an Escape after the stop key, say) were meant for
// whatever was in front then. They may reach this thread only once the dialog runs, so each key
// message the dialog's loop takes is judged by the time it was typed.
class KeysTypedBeforeShown {
public:
    KeysTypedBeforeShown()
        : m_hook(SetWindowsHookExA(WH_GETMESSAGE, &Filter, nullptr, GetCurrentThreadId()))
    {
        s_shown = false;
    }
    KeysTypedBeforeShown(const KeysTypedBeforeShown&) = delete;
    KeysTypedBeforeShown& operator=(const KeysTypedBeforeShown&) = delete;
    ~KeysTypedBeforeShown()
    {
        if (m_hook) {
            UnhookWindowsHookEx(m_hook);
        }
    }

    // The dialog's hook: the moment it has shown.
    static UINT_PTR CALLBACK OnDialog(HWND, UINT message, WPARAM, LPARAM lParam)
    {
        if (message == WM_NOTIFY && reinterpret_cast<const OFNOTIFYA*>(lParam)->hdr.code == CDN_INITDONE) {
            s_shownAt = GetTickCount();
            s_shown = true;
        }
        return 0;
    }

private:
    static LRESULT CALLBACK Filter(int code, WPARAM removed, LPARAM lParam)
    {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (code == HC_ACTION && removed == PM_REMOVE && message->message >= WM_KEYFIRST &&
            message->message <= WM_KEYLAST &&
            (!s_shown || static_cast<LONG>(message->time - s_shownAt) < 0)) {
            message->message = WM_NULL;
        }
        return CallNextHookEx(nullptr, code, removed, lParam);
    }

    static inline DWORD s_shownAt = 0;
    static inline bool s_shown = false;
    HHOOK m_hook;
};

std::string SaveDialogFilter()
{
    std::string filter;
    for (const MovieFormatFacts& facts : kMovieFormats) {
        filter.append(facts.label).append(1, '\0').append("*.").append(facts.extension).append(1, '\0');
    }
    return filter;
}

// The name comes back as typed: ResolveOutputName gives it the picked type's extension when it has
// none of the formats' own.
bool RunSaveDialog(HWND owner, OutputName& chosen)
{
    AppSettings& settings = Settings();
    if (settings.savedir.empty()) {
        settings.savedir = GetDefaultSaveDirectory();
    }
    std::vector<char> name(4096, '\0');
    const std::string filter = SaveDialogFilter();

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(SettingFromFormat(FormatFromSetting(settings.saveFormat))) + 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = settings.savedir.c_str();
    dialog.lpstrTitle = "Save to...";
    // An existing file is replaced without a question.
    dialog.Flags =
        OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
    dialog.lpfnHook = &KeysTypedBeforeShown::OnDialog;
    const KeysTypedBeforeShown typedBefore;
    if (!GetSaveFileNameA(&dialog)) {
        return false;
    }
    const MovieFormat picked = FormatFromSetting(static_cast<std::int32_t>(dialog.nFilterIndex) - 1);
    chosen = ResolveOutputName(name.data(), picked);
    settings.saveFormat = SettingFromFormat(chosen.format);
    return true;
}
} // namespace

// A Cancel may be a slip as easily as a choice: nothing is thrown away until the user says so.
Naming AskForFileName(HWND owner, OutputName& chosen)
{
    for (;;) {
        if (RunSaveDialog(owner, chosen)) {
            return Naming::Chosen;
        }
        if (ShowNote(owner, kDiscardQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
            return Naming::Discard;
        }
    }
}
