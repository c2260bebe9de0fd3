#include "options/volume_control.h"

#include "win/directories.h"
#include "win/file_io.h"
#include "win/wine.h"

#include <windows.h>

#include <string>

namespace {
// Sound mixers of Linux desktops, started through Wine.
constexpr const char* kDesktopMixers[] = {"/usr/bin/pavucontrol", "/usr/bin/pavucontrol-qt"};

VolumeControl Launch(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return VolumeControl::kFailed;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return VolumeControl::kOpened;
}
} // namespace

VolumeControl OpenRecordingVolumeControl()
{
    const std::string windows = GetWindowsDirectoryPath();
    for (const std::string& program : {windows + "\\sndvol32.exe", windows + "\\system32\\sndvol32.exe"}) {
        if (FileExists(program)) {
            return Launch("\"" + program + "\" /r /rec /record");
        }
    }
    const std::string control = windows + "\\system32\\control.exe";
    if (FileExists(windows + "\\system32\\mmsys.cpl") && FileExists(control)) {
        return Launch("\"" + control + "\" mmsys.cpl,,1");
    }
    for (const char* mixer : kDesktopMixers) {
        if (const auto path = DosPath(mixer); path && FileExists(*path)) {
            return Launch("\"" + *path + "\"");
        }
    }
    return VolumeControl::kNone;
}
