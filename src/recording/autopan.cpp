#include "recording/autopan.h"

#include "recording/autopan_step.h"
#include "settings/app_settings.h"

namespace {
// Only the recording thread touches it; it keeps its value between recordings.
ScreenRect g_panrect;
} // namespace

void StartPanning(int left, int top, int width, int height)
{
    g_panrect = ScreenRect{left, top, left + width - 1, top + height - 1};
}

POINT NextPanPosition(int width, int height)
{
    const AppSettings& settings = Settings();
    POINT cursor{};
    GetCursorPos(&cursor);
    g_panrect = PanStep(g_panrect, width, height, cursor.x, cursor.y,
                        PanLimits{settings.maxpan, settings.g_panarea});
    return POINT{g_panrect.left, g_panrect.top};
}
