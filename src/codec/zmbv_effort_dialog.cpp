#include "codec/zmbv_effort_dialog.h"

#include "codec/zmbv_encoder.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Effort {
    const wchar_t* name;
    int quality;
};
constexpr Effort kEfforts[] = {
    {L"Fastest (largest files)", 0},
    {L"Balanced", zmbv::kDefaultQuality},
    {L"Smallest (most processor time)", zmbv::kMaxQuality},
};

constexpr WORD kChoiceId = 100;
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kStaticClass = 0x0082;
constexpr WORD kComboClass = 0x0085;

// A dialog template in memory: the compressor has no resources of its own.
class DialogTemplate {
public:
    DialogTemplate(const wchar_t* title, short width, short height, WORD items)
    {
        dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
        dword(0);
        words({items, 0, 0, static_cast<WORD>(width), static_cast<WORD>(height), 0, 0});
        text(title);
        words({8});
        text(L"MS Shell Dlg");
    }
    void item(WORD itemClass, const wchar_t* title, WORD id, DWORD style, short x, short y, short width, short height)
    {
        if (m_words.size() % 2) {
            m_words.push_back(0); // items start on a DWORD boundary
        }
        dword(WS_CHILD | WS_VISIBLE | style);
        dword(0);
        words({static_cast<WORD>(x), static_cast<WORD>(y), static_cast<WORD>(width), static_cast<WORD>(height), id, 0xFFFF, itemClass});
        text(title);
        words({0});
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

private:
    void dword(DWORD value) { words({LOWORD(value), HIWORD(value)}); }
    void words(std::initializer_list<WORD> values) { m_words.insert(m_words.end(), values); }
    void text(const wchar_t* value)
    {
        for (; *value; ++value) {
            m_words.push_back(static_cast<WORD>(*value));
        }
        m_words.push_back(0);
    }
    std::vector<WORD> m_words;
};

INT_PTR CALLBACK EffortProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const int quality = *reinterpret_cast<int*>(lParam);
        const HWND choice = GetDlgItem(dialog, kChoiceId);
        int nearest = 0;
        for (int i = 0; i < static_cast<int>(std::size(kEfforts)); ++i) {
            SendMessageW(choice, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kEfforts[i].name));
            if (std::abs(kEfforts[i].quality - quality) < std::abs(kEfforts[nearest].quality - quality)) {
                nearest = i;
            }
        }
        SendMessageW(choice, CB_SETCURSEL, static_cast<WPARAM>(nearest), 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            const LRESULT chosen = SendDlgItemMessageW(dialog, kChoiceId, CB_GETCURSEL, 0, 0);
            if (chosen >= 0 && chosen < static_cast<LRESULT>(std::size(kEfforts))) {
                *reinterpret_cast<int*>(GetWindowLongPtrW(dialog, DWLP_USER)) = kEfforts[chosen].quality;
            }
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

bool ChooseZmbvEffort(HWND owner, int& quality)
{
    DialogTemplate dialog(L"ZMBV lossless screen", 220, 86, 4);
    dialog.item(kStaticClass,
                L"Every frame is kept exactly. Effort when the program leaves the quality to the compressor "
                L"(Framelark's Video Options quality sets it otherwise):",
                0xFFFF, SS_LEFT, 7, 7, 206, 28);
    dialog.item(kComboClass, L"", kChoiceId, CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, 7, 38, 206, 60);
    dialog.item(kButtonClass, L"OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 109, 65, 50, 14);
    dialog.item(kButtonClass, L"Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 163, 65, 50, 14);
    int chosen = quality;
    if (DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.get(), owner, EffortProcedure,
                                reinterpret_cast<LPARAM>(&chosen)) != IDOK) {
        return false;
    }
    quality = chosen;
    return true;
}
