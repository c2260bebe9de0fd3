#include "dialog_driver.h"

#include <commctrl.h>

namespace {
HHOOK g_hook = nullptr;

// A script waiting for the window of its title to show.
struct WaitingScript {
    std::string title;
    std::function<void(HWND)> script;
};
WaitingScript g_dialogScript; // drives the dialog under test
WaitingScript g_answerScript; // answers a common dialog that the dialog under test opens

bool IsMessageBox(HWND window)
{
    char className[32] = {};
    char caption[64] = {};
    GetClassNameA(window, className, sizeof(className));
    GetWindowTextA(window, caption, sizeof(caption));
    return std::string(className) == "#32770" && (std::string(caption) == "Note" || std::string(caption) == "Framelark");
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        if (IsMessageBox(box)) {
            char caption[64] = {};
            char text[256] = {};
            GetWindowTextA(box, caption, sizeof(caption));
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            AnsweredBoxes().push_back(std::string(caption) + "|" + text);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

HWND FindShownWindow(const std::string& title)
{
    struct Search {
        const std::string* title;
        HWND found = nullptr;
    } search{&title};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            char text[128] = {};
            GetWindowTextA(window, text, sizeof(text));
            if (*reinterpret_cast<Search*>(data)->title == text && IsWindowVisible(window)) {
                reinterpret_cast<Search*>(data)->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void RunOnceShown(WaitingScript& waiting, UINT_PTR timer)
{
    HWND window = FindShownWindow(waiting.title);
    if (!window || !waiting.script) {
        return;
    }
    KillTimer(nullptr, timer);
    const auto script = std::move(waiting.script);
    waiting.script = nullptr;
    script(window);
}

void CALLBACK OnDialogTick(HWND, UINT, UINT_PTR timer, DWORD) { RunOnceShown(g_dialogScript, timer); }
void CALLBACK OnAnswerTick(HWND, UINT, UINT_PTR timer, DWORD) { RunOnceShown(g_answerScript, timer); }
} // namespace

void AnswerWhenShown(const char* title, const std::function<void(HWND)>& answer)
{
    g_answerScript = {title, answer};
    SetTimer(nullptr, 0, 50, &OnAnswerTick);
}

std::vector<std::string>& AnsweredBoxes()
{
    static std::vector<std::string> boxes;
    return boxes;
}

void DriveModal(const char* title, const std::function<void()>& open, const std::function<void(HWND)>& script)
{
    if (!g_hook) {
        g_hook = SetWindowsHookExA(WH_CBT, &AnswerBoxes, nullptr, GetCurrentThreadId());
    }
    g_dialogScript = {title, script};
    SetTimer(nullptr, 0, 30, &OnDialogTick);
    open();
}

void ClickButton(HWND dialog, int id)
{
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ChooseEntry(HWND dialog, int id, int index)
{
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

void MoveSlider(HWND dialog, int id, int position)
{
    HWND slider = GetDlgItem(dialog, id);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
}

void TypeText(HWND dialog, int id, const std::string& text)
{
    SetDlgItemTextA(dialog, id, text.c_str());
}

std::string ItemText(HWND dialog, int id)
{
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

bool ItemEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool ItemChecked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

int ChosenEntry(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

std::vector<int> TabOrder(HWND dialog)
{
    std::vector<int> ids;
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (HWND item = first; item && ids.size() < 50;) {
        ids.push_back(GetDlgCtrlID(item));
        item = GetNextDlgTabItem(dialog, item, FALSE);
        if (item == first) {
            break;
        }
    }
    return ids;
}
