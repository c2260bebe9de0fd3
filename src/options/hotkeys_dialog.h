#pragma once
// "Hotkeys": the record/pause, stop and cancel keys, each from the same list of 69 keys; a key
// that another role holds is refused.
#include "options/hotkey_keys.h"
#include "win/dialog_controls.h"

#include <array>

class CHotkeysDialog : public CControlsDialog {
public:
    CHotkeysDialog();

    static void Run(HWND owner);

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnKeyChosen(HotkeyRole role);
    std::int32_t& Working(HotkeyRole role);

    std::array<DropDown, 3> m_lists; // by HotkeyRole
    HotkeySet m_working;
};
