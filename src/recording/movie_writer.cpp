#include "recording/movie_writer.h"

#include "audio/movie_index.h"

#include "recording/compressor_list.h"
#include "recording/recording_arithmetic.h"
#include "recording/stage_times.h"
#include "settings/app_settings.h"
#include "win/global_block.h"

#include <cstring>
#include <fstream>
#include <type_traits>

namespace {
constexpr char kDefaultCompressorName[] = "MS Video 1";
constexpr DWORD kKeyFramesAndValid = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;

// The copy of the saved compressor state handed to the compressor; the library never frees it.
GlobalBlock& StateCopy()
{
    static GlobalBlock copy;
    return copy;
}

bool StateApplies()
{
    const AppSettings& settings = Settings();
    return settings.CompressorStateIsFor != 0 && settings.CompressorStateIsFor == settings.compfccHandler;
}

// Answers whether the open compressor takes the frame as it is.
bool Accepts(HIC compressor, const BITMAPINFOHEADER* frame)
{
    return ICSendMessage(compressor, ICM_COMPRESS_QUERY, reinterpret_cast<DWORD_PTR>(frame), 0) == ICERR_OK;
}

// Tries sizes brought to multiples of 2, 4 and 8. Returns false only when a grab failed.
bool TryMultiples(HIC compressor, FramePtr& probe, int left, int top, int& width, int& height, bool& accepted)
{
    const AppSettings& settings = Settings();
    for (const int n : {2, 4, 8}) {
        const int newWidth = SizeForMultiple(width, n, settings.g_panarea.Width());
        const int newHeight = SizeForMultiple(height, n, settings.g_panarea.Height());
        probe.reset(GrabFrame(left, top, newWidth, newHeight, true));
        if (!probe) {
            return false;
        }
        if (Accepts(compressor, probe.get())) {
            width = newWidth;
            height = newHeight;
            accepted = true;
            return true;
        }
    }
    return true;
}

struct CompressorCloser {
    void operator()(HIC compressor) const { ICClose(compressor); }
};
} // namespace

void UseDefaultCompressor()
{
    Settings().compfccHandler = FourCCAsSigned(kFourCCVideo1);
    Settings().g_compressorname = kDefaultCompressorName;
}

bool IsDefaultCompressor()
{
    return static_cast<std::uint32_t>(Settings().compfccHandler.load()) == kFourCCVideo1;
}

bool CheckCompressor(FramePtr& probe, int left, int top, int& width, int& height)
{
    const CompressorList& list = Compressors();
    if (list.chosen > 0 && list.chosen < kMaxCompressors) {
        const ICINFO& entry = list.entries[static_cast<std::size_t>(list.chosen)];
        std::unique_ptr<std::remove_pointer_t<HIC>, CompressorCloser> compressor(
            ICOpen(entry.fccType, entry.fccHandler, ICMODE_QUERY));
        if (!compressor) {
            UseDefaultCompressor();
        } else if (!Accepts(compressor.get(), probe.get())) {
            bool accepted = false;
            if (!TryMultiples(compressor.get(), probe, left, top, width, height, accepted)) {
                return false;
            }
            if (!accepted) {
                UseDefaultCompressor();
                probe.reset(GrabFrame(left, top, width, height, true));
                if (!probe) {
                    return false;
                }
            }
        }
    }
    if (static_cast<std::uint32_t>(Settings().compfccHandler.load()) == kFourCCIndeo50) {
        UseDefaultCompressor();
    }
    return true;
}

CMovieWriter::~CMovieWriter()
{
    ReleaseOptions();
    ReleaseMovie();
}

HRESULT CMovieWriter::Open(const std::string& path, int rate, const BITMAPINFOHEADER* probe)
{
    AVIFileInit();
    m_libraryOpen = true;
    HRESULT result = AVIFileOpenA(&m_file, path.c_str(), OF_WRITE | OF_CREATE, nullptr);
    if (result != 0) {
        return result;
    }
    m_path = path;

    AVISTREAMINFOA info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = static_cast<DWORD>(rate);
    info.dwSuggestedBufferSize = probe->biSizeImage;
    SetRect(&info.rcFrame, 0, 0, probe->biWidth, probe->biHeight);
    result = AVIFileCreateStreamA(m_file, &m_stream, &info);
    if (result != 0) {
        return result;
    }

    const AppSettings& settings = Settings();
    m_options = AVICOMPRESSOPTIONS{};
    m_optionsHeld = true;
    m_options.fccType = streamtypeVIDEO;
    m_options.fccHandler = static_cast<DWORD>(settings.compfccHandler.load());
    m_options.dwKeyFrameEvery = static_cast<DWORD>(settings.keyFramesEvery);
    m_options.dwQuality = static_cast<DWORD>(settings.compquality);
    m_options.dwFlags = kKeyFramesAndValid;
    if (StateApplies()) {
        GlobalBlock& copy = StateCopy();
        const auto size = static_cast<std::size_t>(settings.CompressorStateSize > 0 ? settings.CompressorStateSize : 0);
        copy = GlobalBlock(size);
        LockedGlobal source(settings.g_compressorstate.handle());
        void* target = copy.valid() ? GlobalLock(copy.handle()) : nullptr;
        if (target && source.data() && settings.g_compressorstate.size() >= size) {
            std::memcpy(target, source.data(), size);
            m_options.lpParms = target;
            m_options.cbParms = static_cast<DWORD>(size);
        } else if (target) {
            GlobalUnlock(copy.handle());
        }
    }
    result = AVIMakeCompressedStream(&m_compressed, m_stream, &m_options, nullptr);
    if (result != 0) {
        return result;
    }
    result = AVIStreamSetFormat(m_compressed, 0, const_cast<BITMAPINFOHEADER*>(probe),
                                static_cast<LONG>(FramePixelOffset(probe)));
    if (result == 0) {
        StartJournal(path);
    }
    return result;
}

// What the file's stream stores (the compressor's output format, not the probe's) is what a
// rebuilt movie needs.
void CMovieWriter::StartJournal(const std::string& path)
{
    AVISTREAMINFOA info{};
    LONG formatSize = 0;
    if (AVIStreamInfoA(m_stream, &info, sizeof(info)) != 0 || AVIStreamReadFormat(m_stream, 0, nullptr, &formatSize) != 0 ||
        formatSize <= 0) {
        return;
    }
    JournalStream stream{info.dwRate, info.dwScale, info.fccHandler, std::vector<std::uint8_t>(formatSize)};
    if (AVIStreamReadFormat(m_stream, 0, stream.format.data(), &formatSize) == 0) {
        m_journal.Open(path, stream);
    }
}

HRESULT CMovieWriter::Write(const BITMAPINFOHEADER* frame, std::uint32_t position, LONG* bytesWritten)
{
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    const StageTimer timer(RecordingStage::Writer);
    auto* pixels = const_cast<BYTE*>(reinterpret_cast<const BYTE*>(frame) + FramePixelOffset(frame));
    const HRESULT result = AVIStreamWrite(m_compressed, static_cast<LONG>(position), 1, pixels,
                                          static_cast<LONG>(frame->biSizeImage), 0, nullptr, bytesWritten);
    if (result == 0 && m_journal.IsOpen()) {
        // The file's stream knows what the compressor stored: its size and whether it is a key frame.
        const auto at = static_cast<LONG>(position);
        LONG stored = 0;
        if (AVIStreamRead(m_stream, at, 1, nullptr, 0, &stored, nullptr) == 0) {
            m_journal.AddFrame({position, static_cast<std::uint32_t>(stored),
                                AVIStreamFindSample(m_stream, at, FIND_PREV | FIND_KEY) == at});
        }
    }
    return result;
}

void CMovieWriter::ReleaseOptions()
{
    if (!m_optionsHeld) {
        return;
    }
    m_optionsHeld = false;
    // Detached first: freeing the options would free the state copy along with them.
    if (m_options.lpParms) {
        GlobalUnlock(StateCopy().handle());
    }
    m_options.lpParms = nullptr;
    m_options.cbParms = 0;
    AVICOMPRESSOPTIONS* options = &m_options;
    AVISaveOptionsFree(1, &options);
}

void CMovieWriter::ReleaseMovie()
{
    if (m_file) {
        AVIFileRelease(m_file);
        m_file = nullptr;
    }
    if (m_stream) {
        AVIStreamRelease(m_stream);
        m_stream = nullptr;
    }
    if (m_compressed) {
        AVIStreamRelease(m_compressed);
        m_compressed = nullptr;
    }
    if (m_libraryOpen) {
        AVIFileExit();
        m_libraryOpen = false;
    }
    if (!m_path.empty()) {
        // Headers and index are written now; the frame period is mended as in a merged movie.
        std::fstream movie(m_path, std::ios::in | std::ios::out | std::ios::binary);
        if (movie) {
            TidyMovieIndex(movie);
        }
        m_path.clear();
    }
    m_journal.Close();
}
