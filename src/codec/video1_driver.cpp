#include "codec/video1_driver.h"

#include "codec/video1_encoder.h"
#include "codec/video_driver_support.h"
#include "common/fourcc.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kFourCCCram = MakeFourCC('C', 'R', 'A', 'M');

bool IsAcceptedInput(const BITMAPINFOHEADER* in)
{
    return in && in->biSize >= sizeof(BITMAPINFOHEADER) && in->biCompression == BI_RGB && in->biPlanes == 1 &&
           video1::IsSupportedInput(in->biWidth, in->biHeight, in->biBitCount);
}

bool IsMatchingOutput(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    return out->biSize >= sizeof(BITMAPINFOHEADER) && out->biCompression == kFourCCCram && out->biBitCount == 16 &&
           out->biWidth == video1::CodedSize(in->biWidth) && out->biHeight == video1::CodedSize(in->biHeight);
}

Video1State DefaultState() { return {kVideo1StateMagic, kVideo1StateVersion, video1::kDefaultQuality}; }

class Video1Compressor {
public:
    // Decompression is left to the system's Video 1 decoder.
    static bool Opens(const ICOPEN* open)
    {
        return open->dwFlags != ICMODE_DECOMPRESS && open->dwFlags != ICMODE_FASTDECOMPRESS && open->dwFlags != ICMODE_DRAW;
    }

    LRESULT handle(UINT message, LPARAM param1, LPARAM param2)
    {
        switch (message) {
        case ICM_GETINFO:
            return getInfo(reinterpret_cast<ICINFO*>(param1), static_cast<DWORD>(param2));
        case ICM_COMPRESS_QUERY:
            return query(Header(param1), Header(param2));
        case ICM_COMPRESS_GET_FORMAT:
            return getFormat(Header(param1), reinterpret_cast<BITMAPINFOHEADER*>(param2));
        case ICM_COMPRESS_GET_SIZE:
            return IsAcceptedInput(Header(param1))
                       ? static_cast<LRESULT>(video1::MaxFrameBytes(Header(param1)->biWidth, Header(param1)->biHeight))
                       : ICERR_BADFORMAT;
        case ICM_COMPRESS_BEGIN:
            return begin(Header(param1), Header(param2));
        case ICM_COMPRESS:
            return compress(reinterpret_cast<ICCOMPRESS*>(param1), static_cast<DWORD>(param2));
        case ICM_COMPRESS_END:
            m_encoder.end();
            return ICERR_OK;
        case ICM_GETDEFAULTQUALITY:
            return WriteDword(param1, static_cast<DWORD>(m_state.quality));
        case ICM_GETDEFAULTKEYFRAMERATE:
            return WriteDword(param1, kVideo1DefaultKeyFrameRate);
        case ICM_GETSTATE:
            return getState(reinterpret_cast<void*>(param1), static_cast<DWORD>(param2));
        case ICM_SETSTATE:
            return setState(reinterpret_cast<const void*>(param1), static_cast<DWORD>(param2));
        default:
            // ICM_ABOUT and ICM_CONFIGURE included: there is no dialog to show.
            return ICERR_UNSUPPORTED;
        }
    }

private:
    static const BITMAPINFOHEADER* Header(LPARAM param) { return reinterpret_cast<const BITMAPINFOHEADER*>(param); }

public:
    static LRESULT getInfo(ICINFO* info, DWORD size) { return WriteInfo(info, size, kFourCCVideo1, L"MSVC", kVideo1Description); }

private:
    static LRESULT query(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        if (!IsAcceptedInput(in) || (out && !IsMatchingOutput(in, out))) {
            return ICERR_BADFORMAT;
        }
        return ICERR_OK;
    }

    static LRESULT getFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
    {
        if (!IsAcceptedInput(in)) {
            return ICERR_BADFORMAT;
        }
        if (!out) {
            return sizeof(BITMAPINFOHEADER);
        }
        std::memset(out, 0, sizeof(BITMAPINFOHEADER));
        out->biSize = sizeof(BITMAPINFOHEADER);
        out->biWidth = video1::CodedSize(in->biWidth);
        out->biHeight = video1::CodedSize(in->biHeight);
        out->biPlanes = 1;
        out->biBitCount = 16;
        out->biCompression = kFourCCCram;
        out->biSizeImage = static_cast<DWORD>(video1::MaxFrameBytes(in->biWidth, in->biHeight));
        return ICERR_OK;
    }

    LRESULT begin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        return query(in, out) == ICERR_OK ? BeginEncoder(m_encoder, in) : ICERR_BADFORMAT;
    }

    LRESULT compress(ICCOMPRESS* frame, DWORD size)
    {
        if (const LRESULT ready = PrepareCompress(m_encoder, frame, size, IsAcceptedInput); ready != ICERR_OK) {
            return ready;
        }
        const int quality = QualityOf(frame, m_state.quality, video1::kMaxQuality);
        const bool key = (frame->dwFlags & ICCOMPRESS_KEYFRAME) != 0;
        const std::size_t bytes = m_encoder.encode(static_cast<const std::uint8_t*>(frame->lpInput), quality, key,
                                                   static_cast<std::uint8_t*>(frame->lpOutput));
        ReportCompressed(frame, bytes, m_encoder.lastWasKeyFrame());
        return ICERR_OK;
    }

    LRESULT getState(void* block, DWORD size) const { return GetStateBlock(m_state, block, size); }
    LRESULT setState(const void* block, DWORD size)
    {
        return SetStateBlock(m_state, DefaultState(), video1::kMaxQuality, block, size);
    }

    video1::Encoder m_encoder;
    Video1State m_state = DefaultState();
};

} // namespace

BITMAPINFOHEADER UncompressedFrameHeader(int width, int height, int bitsPerPixel)
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitsPerPixel);
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(video1::InputStride(width, bitsPerPixel) * static_cast<std::size_t>(std::abs(height)));
    return header;
}

LRESULT CALLBACK Video1DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2)
{
    return CompressorDriverProc<Video1Compressor>(driverId, driver, message, param1, param2);
}
