#include "codec/video1_install.h"

#include "codec/video1_driver.h"
#include "common/fourcc.h"
#include "win/handles.h"

namespace {

void CloseCompressor(HIC compressor) { ICClose(compressor); }
using OwnedCompressor = Owned<HIC, CloseCompressor>;

bool g_video1Installed = false;

bool SystemVideo1Compresses(int bitsPerPixel, int width, int height)
{
    const OwnedCompressor compressor(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_QUERY));
    if (!compressor) {
        return false;
    }
    BITMAPINFOHEADER frame = UncompressedFrameHeader(width, height, bitsPerPixel);
    return ICCompressQuery(compressor.get(), &frame, nullptr) == ICERR_OK;
}

} // namespace

bool InstallVideo1IfNeeded(int bitsPerPixel, int width, int height)
{
    if (!g_video1Installed && !SystemVideo1Compresses(bitsPerPixel, width, height)) {
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
