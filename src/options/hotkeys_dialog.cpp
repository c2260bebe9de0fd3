#include "options/hotkeys_dialog.h"

#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/message_box.h"

namespace {
constexpr std::array<HotkeyRole, 3> kRoles = {HotkeyRole::RecordPause, HotkeyRole::Stop, HotkeyRole::Cancel};
constexpr std::array<int, 3> kListIds = {IDC_KEY_RECORDPAUSE, IDC_KEY_STOP, IDC_KEY_CANCEL};

UINT TakenMessage(HotkeyRole holder)
{
    switch (holder) {
    case HotkeyRole::RecordPause:
        return IDS_KEY_USED_BY_RECORDPAUSE;
    case HotkeyRole::Cancel:
        return IDS_KEY_USED_BY_CANCEL;
    case HotkeyRole::Stop:
        break;
    }
    return IDS_KEY_USED_BY_STOP;
}
} // namespace

CHotkeysDialog::CHotkeysDialog() : CControlsDialog(IDD_HOTKEYS) {}

void CHotkeysDialog::Run(HWND owner)
{
    CHotkeysDialog dialog;
    dialog.DoModal(owner);
}

std::int32_t& CHotkeysDialog::Working(HotkeyRole role)
{
    switch (role) {
    case HotkeyRole::RecordPause:
        return m_working.recordPause;
    case HotkeyRole::Stop:
        return m_working.stop;
    case HotkeyRole::Cancel:
        break;
    }
    return m_working.cancel;
}

BOOL CHotkeysDialog::OnInitDialog()
{
    const AppSettings& settings = Settings();
    m_working = {settings.keyRecordStart, settings.keyRecordEnd, settings.keyRecordCancel};
    for (size_t i = 0; i < kRoles.size(); ++i) {
        DropDown& list = m_lists[i];
        Bind(list, kListIds[i]);
        for (int position = 0; position < kHotkeyListSize; ++position) {
            list.Add(HotkeyName(position));
        }
        list.Select(PositionOfKey(Working(kRoles[i])));
        list.onChange = [this, role = kRoles[i]] { OnKeyChosen(role); };
    }
    return TRUE;
}

void CHotkeysDialog::OnKeyChosen(HotkeyRole role)
{
    const DropDown& list = m_lists[static_cast<size_t>(role)];
    const std::int32_t code = KeyOfPosition(list.Selection());
    if (const auto holder = HotkeyTakenBy(role, code, m_working)) {
        MessageBoxA(hwnd(), LoadResourceString(TakenMessage(*holder), "This key is already used").c_str(),
                    "Framelark", MB_OK);
        list.Select(PositionOfKey(Working(role)));
        return;
    }
    Working(role) = code;
}

void CHotkeysDialog::OnOK()
{
    AppSettings& settings = Settings();
    settings.keyRecordStart = m_working.recordPause;
    settings.keyRecordEnd = m_working.stop;
    settings.keyRecordCancel = m_working.cancel;
    EndDialog(IDOK);
}
