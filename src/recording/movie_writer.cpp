#include "recording/movie_writer.h"

#include "recording/compressor_list.h"
#include "recording/recording_arithmetic.h"
#include "recording/stage_times.h"
#include "settings/app_settings.h"
#include "win/global_block.h"

#include <cstring>
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
    m_file = std::make_unique<CMovieFile>(path);
    if (!m_file->IsOpen()) {
        return HRESULT_FROM_WIN32(m_file->LastError());
    }
    m_path = path;
    m_rate = static_cast<std::uint32_t>(rate);

    AVISTREAMINFOW info{};
    info.fccType = streamtypeVIDEO;
    info.dwScale = 1;
    info.dwRate = m_rate;
    info.dwSuggestedBufferSize = probe->biSizeImage;
    SetRect(&info.rcFrame, 0, 0, probe->biWidth, probe->biHeight);
    m_stream.reset(new CFrameStream(
        info, {[this](const void* format, LONG size) { return StartMovie(format, size); },
               [this](LONG position, const void* data, LONG size, bool key) { return WriteFrame(position, data, size, key); }}));

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
    PAVISTREAM compressed = nullptr;
    HRESULT result = AVIMakeCompressedStream(&compressed, m_stream.get(), &m_options, nullptr);
    m_compressed.reset(compressed);
    if (result != 0) {
        return result;
    }
    return AVIStreamSetFormat(m_compressed.get(), 0, const_cast<BITMAPINFOHEADER*>(probe),
                              static_cast<LONG>(FramePixelOffset(probe)));
}

// The compressor's output format, which the movie stores and a rebuilt movie needs.
HRESULT CMovieWriter::StartMovie(const void* format, LONG size)
{
    if (m_writer || size < static_cast<LONG>(sizeof(BITMAPINFOHEADER))) {
        return AVIERR_UNSUPPORTED;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(format);
    const auto* bitmap = static_cast<const BITMAPINFOHEADER*>(format);
    // An uncompressed stream names no compressor.
    const std::uint32_t handler = bitmap->biCompression == BI_RGB ? 0 : m_options.fccHandler;
    MovieStream stream{streamtypeVIDEO, handler, 1, m_rate, 0, std::vector<std::uint8_t>(bytes, bytes + size)};
    m_writer = std::make_unique<OdmlWriter>(*m_file, std::vector<MovieStream>{stream});
    if (!m_writer->Start()) {
        return Refused(AddResult::WriteFailed);
    }
    m_journal.Open(m_path, {m_rate, 1, handler, stream.format});
    return AVIERR_OK;
}

HRESULT CMovieWriter::WriteFrame(LONG position, const void* data, LONG size, bool key)
{
    const auto slot = static_cast<std::uint32_t>(position);
    if (!m_writer || slot < m_nextSlot) {
        return AVIERR_BADPARAM;
    }
    // Slots the capture loop passed over stay empty: a player shows the frame before them.
    for (std::uint32_t gap = m_nextSlot; gap < slot; ++gap) {
        if (const AddResult result = m_writer->Add(0, {}, false); result != AddResult::Added) {
            return Refused(result);
        }
    }
    const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size));
    if (const AddResult result = m_writer->Add(0, bytes, key); result != AddResult::Added) {
        return Refused(result);
    }
    if (!m_writer->Flush()) {
        return Refused(AddResult::WriteFailed);
    }
    m_nextSlot = slot + 1;
    // Journalled once it is in the file, so that a rebuild never counts on a frame that is not.
    m_journal.AddFrame({slot, static_cast<std::uint32_t>(size), key});
    return AVIERR_OK;
}

HRESULT CMovieWriter::Refused(AddResult result) const
{
    if (result == AddResult::Full) {
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    }
    switch (const DWORD error = m_file->LastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
        return HRESULT_FROM_WIN32(error);
    default:
        return AVIERR_FILEWRITE;
    }
}

HRESULT CMovieWriter::Write(const BITMAPINFOHEADER* frame, std::uint32_t position, LONG* bytesWritten)
{
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    const StageTimer timer(RecordingStage::Writer);
    auto* pixels = const_cast<BYTE*>(reinterpret_cast<const BYTE*>(frame) + FramePixelOffset(frame));
    return AVIStreamWrite(m_compressed.get(), static_cast<LONG>(position), 1, pixels,
                          static_cast<LONG>(frame->biSizeImage), 0, nullptr, bytesWritten);
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
    // The compressed stream first: it holds the stream that writes into the movie.
    m_compressed.reset();
    m_stream.reset();
    if (m_writer) {
        m_writer->Finish();
        m_writer.reset();
    }
    m_file.reset();
    if (m_libraryOpen) {
        AVIFileExit();
        m_libraryOpen = false;
    }
    m_path.clear();
    m_journal.Close();
}
