#include "settings/app_settings.h"

#include "resources/resource_ids.h"
#include "win/directories.h"
#include "win/handles.h"
#include "win/monitors.h"

const std::array<BuiltInCursor, 6> kBuiltInCursors = {{
    {"Hand 1", IDI_CURSOR_HAND1},
    {"Hand 2", IDI_CURSOR_HAND2},
    {"Point 1", IDI_CURSOR_POINT1},
    {"Point 2", IDI_CURSOR_POINT2},
    {"Arrow 1", IDI_CURSOR_ARROW1},
    {"Arrow 2", IDI_CURSOR_ARROW2},
}};

std::uint32_t PackHighlightColor(std::int32_t red, std::int32_t green, std::int32_t blue)
{
    return (static_cast<std::uint32_t>(red) & 0xFF) | ((static_cast<std::uint32_t>(green) & 0xFF) << 8) |
           ((static_cast<std::uint32_t>(blue) & 0xFF) << 16);
}

std::int32_t HighlightRed(std::uint32_t color)
{
    return static_cast<std::int32_t>(color & 0xFF);
}

std::int32_t HighlightGreen(std::uint32_t color)
{
    return static_cast<std::int32_t>((color >> 8) & 0xFF);
}

std::int32_t HighlightBlue(std::uint32_t color)
{
    return static_cast<std::int32_t>((color >> 16) & 0xFF);
}

std::size_t BuiltInCursorIndex(std::int32_t customsel)
{
    if (customsel < 0 || static_cast<std::size_t>(customsel) >= kBuiltInCursors.size()) {
        return 0;
    }
    return static_cast<std::size_t>(customsel);
}

AppSettings::AppSettings()
    : savedir(GetDefaultSaveDirectory()), cursordir(GetWindowsDirectoryPath() + "\\cursors")
{
}

void ReadScreenSize(AppSettings& settings)
{
    WindowDC screen(nullptr);
    settings.g_screenwidth = GetDeviceCaps(screen.get(), HORZRES);
    settings.g_screenheight = GetDeviceCaps(screen.get(), VERTRES);
    settings.g_monitors = ReadMonitorLayout();
}

AppSettings& Settings()
{
    static AppSettings settings;
    return settings;
}

bool RecordsSound(const AppSettings& settings)
{
    return settings.recordaudio != 0 || settings.computerSound != 0;
}

bool RegionMoves(const AppSettings& settings)
{
    return settings.autopan != 0 || settings.g_capturewindow.load() != nullptr;
}
