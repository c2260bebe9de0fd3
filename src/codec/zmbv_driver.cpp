#include "codec/zmbv_driver.h"

#include "codec/video_driver_support.h"
#include "codec/zmbv_decoder.h"
#include "codec/zmbv_effort_dialog.h"
#include "codec/zmbv_encoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// ICQueryAbout and ICQueryConfigure send this as the window.
constexpr LPARAM kQueryOnly = -1;

const BITMAPINFOHEADER* Header(LPARAM param) { return reinterpret_cast<const BITMAPINFOHEADER*>(param); }

// A header of the same size as in.
BITMAPINFOHEADER HeaderLike(const BITMAPINFOHEADER* in, int bits, DWORD compression, std::size_t bytes)
{
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = in->biWidth;
    header.biHeight = in->biHeight;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bits);
    header.biCompression = compression;
    header.biSizeImage = static_cast<DWORD>(bytes);
    return header;
}

int CodedBits(int inputBits) { return inputBits == 24 ? 32 : inputBits; }

bool IsAcceptedInput(const BITMAPINFOHEADER* in)
{
    return in && in->biSize >= sizeof(BITMAPINFOHEADER) && in->biCompression == BI_RGB && in->biPlanes == 1 &&
           zmbv::IsSupportedInput(in->biWidth, in->biHeight, in->biBitCount);
}

bool IsMatchingOutput(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    return out->biSize >= sizeof(BITMAPINFOHEADER) && SameHandler(out->biCompression, kFourCCZmbv) &&
           out->biBitCount == CodedBits(in->biBitCount) && out->biWidth == in->biWidth && out->biHeight == in->biHeight;
}

bool IsAcceptedMovie(const BITMAPINFOHEADER* in)
{
    return in && in->biSize >= sizeof(BITMAPINFOHEADER) && SameHandler(in->biCompression, kFourCCZmbv) &&
           in->biWidth >= 1 && in->biHeight >= 1 && in->biWidth <= zmbv::kMaxDimension && in->biHeight <= zmbv::kMaxDimension;
}

// Bottom-up 24- or 32-bit pictures; 16-bit (5-5-5) ones too for a 16-bit movie.
bool IsAcceptedPicture(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
{
    return out->biSize >= sizeof(BITMAPINFOHEADER) && out->biCompression == BI_RGB && out->biPlanes == 1 &&
           out->biWidth == in->biWidth && out->biHeight == in->biHeight &&
           (out->biBitCount == 24 || out->biBitCount == 32 || (out->biBitCount == 16 && in->biBitCount == 16));
}

ZmbvState DefaultState() { return {kZmbvStateMagic, kZmbvStateVersion, zmbv::kDefaultQuality}; }

class ZmbvCompressor {
public:
    static bool Opens(const ICOPEN*) { return true; }

    LRESULT handle(UINT message, LPARAM param1, LPARAM param2)
    {
        switch (message) {
        case ICM_GETINFO:
            return getInfo(reinterpret_cast<ICINFO*>(param1), static_cast<DWORD>(param2));
        case ICM_COMPRESS_QUERY:
            return compressQuery(Header(param1), Header(param2));
        case ICM_COMPRESS_GET_FORMAT:
            return compressFormat(Header(param1), reinterpret_cast<BITMAPINFOHEADER*>(param2));
        case ICM_COMPRESS_GET_SIZE:
            return IsAcceptedInput(Header(param1)) ? static_cast<LRESULT>(zmbv::MaxFrameBytes(
                                                         Header(param1)->biWidth, Header(param1)->biHeight, Header(param1)->biBitCount))
                                                   : ICERR_BADFORMAT;
        case ICM_COMPRESS_BEGIN:
            return compressBegin(Header(param1), Header(param2));
        case ICM_COMPRESS:
            return compress(reinterpret_cast<ICCOMPRESS*>(param1), static_cast<DWORD>(param2));
        case ICM_COMPRESS_END:
            m_encoder.end();
            return ICERR_OK;
        case ICM_DECOMPRESS_QUERY:
            return decompressQuery(Header(param1), Header(param2));
        case ICM_DECOMPRESS_GET_FORMAT:
            return decompressFormat(Header(param1), reinterpret_cast<BITMAPINFOHEADER*>(param2));
        case ICM_DECOMPRESS_BEGIN:
            return decompressBegin(Header(param1), Header(param2));
        case ICM_DECOMPRESS:
            return decompress(reinterpret_cast<ICDECOMPRESS*>(param1), static_cast<DWORD>(param2));
        case ICM_DECOMPRESS_END:
            return ICERR_OK;
        case ICM_GETDEFAULTQUALITY:
            return WriteDword(param1, static_cast<DWORD>(m_state.quality));
        case ICM_GETDEFAULTKEYFRAMERATE:
            return WriteDword(param1, kZmbvDefaultKeyFrameRate);
        case ICM_GETSTATE:
            return getState(reinterpret_cast<void*>(param1), static_cast<DWORD>(param2));
        case ICM_SETSTATE:
            return setState(reinterpret_cast<const void*>(param1), static_cast<DWORD>(param2));
        case ICM_ABOUT:
            return about(param1);
        case ICM_CONFIGURE:
            return configure(param1);
        default:
            return ICERR_UNSUPPORTED;
        }
    }

    static LRESULT getInfo(ICINFO* info, DWORD size) { return WriteInfo(info, size, kFourCCZmbv, L"ZMBV", kZmbvDescription); }

private:
    static LRESULT compressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        return IsAcceptedInput(in) && (!out || IsMatchingOutput(in, out)) ? ICERR_OK : ICERR_BADFORMAT;
    }

    static LRESULT compressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
    {
        if (!IsAcceptedInput(in)) {
            return ICERR_BADFORMAT;
        }
        if (!out) {
            return sizeof(BITMAPINFOHEADER);
        }
        *out = HeaderLike(in, CodedBits(in->biBitCount), kFourCCZmbv,
                          zmbv::MaxFrameBytes(in->biWidth, in->biHeight, in->biBitCount));
        return ICERR_OK;
    }

    LRESULT compressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        return compressQuery(in, out) == ICERR_OK ? BeginEncoder(m_encoder, in) : ICERR_BADFORMAT;
    }

    LRESULT compress(ICCOMPRESS* frame, DWORD size)
    {
        if (const LRESULT ready = PrepareCompress(m_encoder, frame, size, IsAcceptedInput); ready != ICERR_OK) {
            return ready;
        }
        const BITMAPINFOHEADER* in = frame->lpbiInput;
        // The colour table follows the header: biClrUsed entries, 0 meaning all 256.
        std::array<std::uint8_t, 1024> palette{};
        if (in->biBitCount == 8) {
            const DWORD entries = in->biClrUsed == 0 ? 256 : std::min<DWORD>(in->biClrUsed, 256);
            std::memcpy(palette.data(), reinterpret_cast<const std::uint8_t*>(in) + in->biSize, entries * 4);
        }
        const std::size_t bytes = m_encoder.encode(static_cast<const std::uint8_t*>(frame->lpInput), palette.data(),
                                                   QualityOf(frame, m_state.quality, zmbv::kMaxQuality),
                                                   (frame->dwFlags & ICCOMPRESS_KEYFRAME) != 0,
                                                   static_cast<std::uint8_t*>(frame->lpOutput));
        if (bytes == 0) {
            return ICERR_INTERNAL;
        }
        ReportCompressed(frame, bytes, m_encoder.lastWasKeyFrame());
        return ICERR_OK;
    }

    static LRESULT decompressQuery(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        return IsAcceptedMovie(in) && (!out || IsAcceptedPicture(in, out)) ? ICERR_OK : ICERR_BADFORMAT;
    }

    static LRESULT decompressFormat(const BITMAPINFOHEADER* in, BITMAPINFOHEADER* out)
    {
        if (!IsAcceptedMovie(in)) {
            return ICERR_BADFORMAT;
        }
        if (!out) {
            return sizeof(BITMAPINFOHEADER);
        }
        *out = HeaderLike(in, 32, BI_RGB, static_cast<std::size_t>(in->biWidth) * static_cast<std::size_t>(in->biHeight) * 4);
        return ICERR_OK;
    }

    LRESULT decompressBegin(const BITMAPINFOHEADER* in, const BITMAPINFOHEADER* out)
    {
        if (decompressQuery(in, out) != ICERR_OK) {
            return ICERR_BADFORMAT;
        }
        try {
            return m_decoder.begin(in->biWidth, in->biHeight) ? ICERR_OK : ICERR_BADFORMAT;
        } catch (const std::bad_alloc&) {
            return ICERR_MEMORY;
        }
    }

    LRESULT decompress(ICDECOMPRESS* frame, DWORD size)
    {
        if (!frame || size < sizeof(ICDECOMPRESS) || !frame->lpbiInput || !frame->lpbiOutput || !frame->lpOutput ||
            decompressQuery(frame->lpbiInput, frame->lpbiOutput) != ICERR_OK) {
            return ICERR_BADPARAM;
        }
        if (m_decoder.width() != frame->lpbiInput->biWidth || m_decoder.height() != frame->lpbiInput->biHeight) {
            if (const LRESULT started = decompressBegin(frame->lpbiInput, frame->lpbiOutput); started != ICERR_OK) {
                return started;
            }
        }
        const DWORD bytes = frame->lpInput ? frame->lpbiInput->biSizeImage : 0;
        const zmbv::DecodeResult result = m_decoder.decode(static_cast<const std::uint8_t*>(frame->lpInput), bytes);
        // An empty frame repeats the picture before it.
        if (result != zmbv::DecodeResult::Ok && !(result == zmbv::DecodeResult::Empty && m_decoder.hasPicture())) {
            return ICERR_BADFORMAT;
        }
        auto* picture = static_cast<std::uint8_t*>(frame->lpOutput);
        if (frame->lpbiOutput->biBitCount == 16 && m_decoder.format() == zmbv::PixelFormat::Rgb555) {
            m_decoder.writeDib(picture);
        } else {
            m_decoder.writeRgb(picture, frame->lpbiOutput->biBitCount == 24 ? 24 : 32);
        }
        return ICERR_OK;
    }

    LRESULT getState(void* block, DWORD size) const { return GetStateBlock(m_state, block, size); }
    LRESULT setState(const void* block, DWORD size)
    {
        return SetStateBlock(m_state, DefaultState(), zmbv::kMaxQuality, block, size);
    }

    static LRESULT about(LPARAM window)
    {
        if (window != kQueryOnly) {
            MessageBoxW(reinterpret_cast<HWND>(window),
                        L"ZMBV lossless screen compressor, built into Framelark.\n\n"
                        L"Every frame is kept exactly: only the blocks that changed are stored, and blocks that "
                        L"moved (scrolled text, dragged windows) are found where they came from. Players built on "
                        L"ffmpeg play these movies.\n\n"
                        L"The quality setting chooses the effort: a higher quality gives smaller files for more "
                        L"processor time.",
                        L"About ZMBV lossless screen", MB_OK | MB_ICONINFORMATION);
        }
        return ICERR_OK;
    }

    LRESULT configure(LPARAM window)
    {
        if (window != kQueryOnly) {
            ChooseZmbvEffort(reinterpret_cast<HWND>(window), m_state.quality);
        }
        return ICERR_OK;
    }

    zmbv::Encoder m_encoder;
    zmbv::Decoder m_decoder;
    ZmbvState m_state = DefaultState();
};

} // namespace

LRESULT CALLBACK ZmbvDriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM param1, LPARAM param2)
{
    return CompressorDriverProc<ZmbvCompressor>(driverId, driver, message, param1, param2);
}
