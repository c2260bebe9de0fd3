#include "dialog_driver.h"

#include <commctrl.h>

namespace {
HHOOK g_hook = nullptr;
std::function<void(HWND)> g_script;
std::string g_title;

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

void CALLBACK OnTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindShownWindow(g_title);
    if (!dialog || !g_script) {
        return;
    }
    KillTimer(nullptr, timer);
    const auto script = std::move(g_script);
    g_script = nullptr;
    script(dialog);
}
std::string g_answerTitle;
std::function<void(HWND)> g_answer;

void CALLBACK OnAnswerTick(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = FindShownWindow(g_answerTitle);
    if (!window || !g_answer) {
        return;
    }
    KillTimer(nullptr, timer);
    const auto answer = std::move(g_answer);
    g_answer = nullptr;
    answer(window);
}
} // namespace

void AnswerWhenShown(const char* title, const std::function<void(HWND)>& answer)
{
    g_answerTitle = title;
    g_answer = answer;
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
    g_title = title;
    g_script = script;
    SetTimer(nullptr, 0, 30, &OnTick);
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
