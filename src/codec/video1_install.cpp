#include "codec/video1_install.h"

#include "codec/system_compressor.h"
#include "codec/video1_driver.h"
#include "common/fourcc.h"

namespace {
bool g_video1Installed = false;
} // namespace

bool InstallVideo1IfNeeded(int bitsPerPixel, int width, int height)
{
    if (!g_video1Installed && !SystemCompresses(kFourCCVideo1, bitsPerPixel, width, height)) {
        g_video1Installed = ICInstall(ICTYPE_VIDEO, kFourCCVideo1, reinterpret_cast<LPARAM>(&Video1DriverProc),
                                      nullptr, ICINSTALL_FUNCTION) != FALSE;
    }
    return g_video1Installed;
}

void RemoveVideo1()
{
    if (g_video1Installed) {
        ICRemove(ICTYPE_VIDEO, kFourCCVideo1, 0);
        g_video1Installed = false;
    }
}
