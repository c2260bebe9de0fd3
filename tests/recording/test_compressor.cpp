#include "test_compressor.h"

#include "recording/compressor_list.h"

#include <cstring>
#include <map>

std::vector<BYTE> TestCompressor::lastState;
int TestCompressor::stateCount = 0;

namespace {
std::map<DWORD, CompressorBehaviour>& Behaviours()
{
    static std::map<DWORD, CompressorBehaviour> behaviours;
    return behaviours;
}

bool Accepts(CompressorBehaviour behaviour, const BITMAPINFOHEADER* input)
{
    if (!input || input->biCompression != BI_RGB) {
        return false;
    }
    switch (behaviour) {
    case CompressorBehaviour::EvenSizesOnly:
        return input->biWidth % 2 == 0 && input->biHeight % 2 == 0;
    case CompressorBehaviour::RefuseAll:
        return false;
    default:
        return true;
    }
}

LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR, UINT message, LPARAM lParam1, LPARAM lParam2)
{
    const auto behaviour = static_cast<CompressorBehaviour>(id);
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE:
        return 1;
    case DRV_OPEN: {
        const auto* open = reinterpret_cast<const ICOPEN*>(lParam2);
        if (!open) {
            return 1;
        }
        const auto found = Behaviours().find(open->fccHandler);
        return found == Behaviours().end() ? 0 : static_cast<LRESULT>(found->second) + 1000;
    }
    default:
        break;
    }
    const auto mode = static_cast<CompressorBehaviour>(static_cast<int>(behaviour) - 1000);
    const auto* input = reinterpret_cast<const BITMAPINFOHEADER*>(lParam1);
    switch (message) {
    case ICM_GETINFO: {
        auto* info = reinterpret_cast<ICINFO*>(lParam1);
        std::memset(info, 0, sizeof(ICINFO));
        info->dwSize = sizeof(ICINFO);
        info->fccType = ICTYPE_VIDEO;
        info->dwFlags = VIDCF_FASTTEMPORALC;
        return sizeof(ICINFO);
    }
    case ICM_COMPRESS_QUERY:
        return Accepts(mode, input) ? ICERR_OK : ICERR_BADFORMAT;
    case ICM_COMPRESS_GET_FORMAT:
        if (!lParam2) {
            return static_cast<LRESULT>(input->biSize + input->biClrUsed * 4);
        }
        std::memcpy(reinterpret_cast<void*>(lParam2), input, input->biSize + input->biClrUsed * 4);
        return ICERR_OK;
    case ICM_COMPRESS_GET_SIZE:
        return static_cast<LRESULT>(input->biSizeImage);
    case ICM_COMPRESS_BEGIN:
        return Accepts(mode, input) ? ICERR_OK : ICERR_BADFORMAT;
    case ICM_COMPRESS_END:
        return ICERR_OK;
    case ICM_COMPRESS: {
        if (mode == CompressorBehaviour::FailOnCompress) {
            return ICERR_INTERNAL;
        }
        auto* compress = reinterpret_cast<ICCOMPRESS*>(lParam1);
        std::memcpy(compress->lpOutput, compress->lpInput, compress->lpbiInput->biSizeImage);
        compress->lpbiOutput->biSizeImage = compress->lpbiInput->biSizeImage;
        if (compress->lpdwFlags) {
            *compress->lpdwFlags = AVIIF_KEYFRAME;
        }
        return ICERR_OK;
    }
    case ICM_SETSTATE:
        if (lParam1) {
            const auto* bytes = reinterpret_cast<const BYTE*>(lParam1);
            TestCompressor::lastState.assign(bytes, bytes + lParam2);
            ++TestCompressor::stateCount;
        }
        return lParam2;
    case ICM_GETSTATE:
        return 0;
    default:
        return ICERR_UNSUPPORTED;
    }
}
} // namespace

TestCompressor::TestCompressor(DWORD handler, CompressorBehaviour behaviour) : m_handler(handler)
{
    Behaviours()[handler] = behaviour;
    ICInstall(ICTYPE_VIDEO, handler, reinterpret_cast<LPARAM>(&DriverProc), nullptr, ICINSTALL_FUNCTION);
}

TestCompressor::~TestCompressor()
{
    ICRemove(ICTYPE_VIDEO, m_handler, 0);
    Behaviours().erase(m_handler);
}

void ChooseListedCompressor(int position, DWORD handler)
{
    CompressorList& list = Compressors();
    ICINFO& entry = list.entries[static_cast<std::size_t>(position)];
    entry.dwSize = sizeof(ICINFO);
    entry.fccType = ICTYPE_VIDEO;
    entry.fccHandler = handler;
    list.count = position + 1;
    list.chosen = position;
}
