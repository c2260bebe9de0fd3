#include "codec/zmbv_install.h"

#include "codec/system_compressor.h"
#include "codec/zmbv_driver.h"

namespace {
bool g_zmbvInstalled = false;
} // namespace

bool InstallZmbvIfNeeded(int bitsPerPixel, int width, int height)
{
    if (!g_zmbvInstalled && !SystemCompresses(kFourCCZmbv, bitsPerPixel, width, height)) {
        g_zmbvInstalled = ICInstall(ICTYPE_VIDEO, kFourCCZmbv, reinterpret_cast<LPARAM>(&ZmbvDriverProc), nullptr,
                                    ICINSTALL_FUNCTION) != FALSE;
    }
    return g_zmbvInstalled;
}

void RemoveZmbv()
{
    if (g_zmbvInstalled) {
        ICRemove(ICTYPE_VIDEO, kFourCCZmbv, 0);
        g_zmbvInstalled = false;
    }
}
