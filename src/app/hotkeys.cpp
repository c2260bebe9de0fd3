#include "app/hotkeys.h"

#include "app/hotkeys_rules.h"
#include "settings/app_settings.h"

void OnHotkey(IMainCommands& commands, WPARAM key, LPARAM data)
{
    AppSettings& settings = Settings();
    const HotkeyCodes codes{settings.keyRecordStart, settings.keyRecordEnd, settings.keyRecordCancel};
    const AppState now = commands.State();
    const bool recording = now == AppState::Recording || now == AppState::Paused;
    const HotkeyState state{recording, now == AppState::Paused, settings.g_startkeyarmed != 0,
                            !recording && now != AppState::Idle};
    const auto code = static_cast<std::int32_t>(key);
    switch (DecideHotkey(code, static_cast<std::uint32_t>(data), codes, state)) {
    case HotkeyAction::RecordFromIdle:
        settings.g_startkeyarmed = 0;
        commands.RecordCommand();
        break;
    case HotkeyAction::Resume:
        commands.RecordCommand();
        break;
    case HotkeyAction::Pause:
        commands.OnPause();
        break;
    case HotkeyAction::Interrupt:
        commands.OnRecordInterrupted(code);
        break;
    case HotkeyAction::None:
        break;
    }
}
