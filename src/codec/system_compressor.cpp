#include "codec/system_compressor.h"

#include "codec/video1_driver.h"
#include "win/handles.h"

#include <vfw.h>

namespace {
void CloseCompressor(HIC compressor) { ICClose(compressor); }
using OwnedCompressor = Owned<HIC, CloseCompressor>;
} // namespace

bool SystemCompresses(DWORD handler, int bitsPerPixel, int width, int height)
{
    const OwnedCompressor compressor(ICOpen(ICTYPE_VIDEO, handler, ICMODE_QUERY));
    if (!compressor) {
        return false;
    }
    BITMAPINFOHEADER frame = UncompressedFrameHeader(width, height, bitsPerPixel);
    return ICCompressQuery(compressor.get(), &frame, nullptr) == ICERR_OK;
}
