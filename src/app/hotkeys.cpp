#include "app/hotkeys.h"

#include "app/hotkeys_rules.h"
#include "settings/app_settings.h"

void OnHotkey(IMainCommands& commands, WPARAM key, LPARAM data)
{
    const AppSettings& settings = Settings();
    const HotkeyCodes codes{settings.keyRecordStart, settings.keyRecordEnd, settings.keyRecordCancel};
    if (const auto command = CommandForKey(static_cast<std::int32_t>(key), static_cast<std::uint32_t>(data), codes,
                                           commands.State())) {
        commands.Run(*command);
    }
}
