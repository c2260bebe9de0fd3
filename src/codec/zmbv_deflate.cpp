// The ZMBV encoder's deflate: the effort for a quality, and a frame's pieces deflated into its
// output, a large frame in two halves at once.
#include "codec/zmbv_deflate.h"

#include "codec/half_frame_worker.h"
#include "codec/zmbv_encoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zmbv {
namespace {

// The window of zlib's header: what each half's stream is primed with.
constexpr std::size_t kWindowBytes = 32768;
// Below this many bytes a frame is deflated on one thread.
constexpr std::size_t kSplitDeflateBytes = 128 * 1024;
// Each half's stream is primed with a whole window of what precedes it; a shorter input would leave
// the frame's own stream holding bytes the decoder never saw just before it.
static_assert(kSplitDeflateBytes >= 2 * kWindowBytes);

} // namespace

DeflateEffort EffortFor(int quality)
{
    // zlib's own limits for each level.
    constexpr DeflateEffort kLevels[] = {{1, 4, 4, 8, 4},        {2, 4, 5, 16, 8},       {3, 4, 6, 32, 32},
                                         {4, 4, 4, 16, 16},      {5, 8, 16, 32, 32},     {6, 8, 16, 128, 128},
                                         {7, 8, 32, 128, 256},   {8, 32, 128, 258, 1024}, {9, 32, 258, 258, 4096}};
    const int level = 1 + std::clamp(quality, 0, kMaxQuality) * 8 / kMaxQuality;
    if (level < 6 || level > 8) {
        return kLevels[level - 1];
    }
    const int step = level - 6;
    return {level, 8 << step, 16 << step, 258, 256 << step};
}

// Copies the bytes [from, to) of the pieces taken end to end.
void Encoder::Gather(const std::vector<Piece>& pieces, std::size_t from, std::size_t to, std::uint8_t* out)
{
    std::size_t start = 0;
    for (const Piece& piece : pieces) {
        const std::size_t begin = std::max(from, start);
        const std::size_t end = std::min(to, start + piece.size);
        if (begin < end) {
            out = std::copy(piece.data + (begin - start), piece.data + (end - start), out);
        }
        start += piece.size;
    }
}

// Deflates the bytes [from, to) of the pieces, flushing at the end.
bool Encoder::DeflateRange(z_stream_s& stream, const std::vector<Piece>& pieces, std::size_t from, std::size_t to)
{
    std::size_t start = 0;
    for (const Piece& piece : pieces) {
        const std::size_t begin = std::max(from, start);
        const std::size_t end = std::min(to, start + piece.size);
        if (begin < end) {
            stream.next_in = const_cast<Bytef*>(piece.data + (begin - start));
            stream.avail_in = static_cast<uInt>(end - begin);
            if (deflate(&stream, Z_NO_FLUSH) != Z_OK || stream.avail_in != 0) {
                return false;
            }
        }
        start += piece.size;
    }
    return deflate(&stream, Z_SYNC_FLUSH) == Z_OK && stream.avail_out != 0;
}

// A large input is cut in two: the second half is deflated at the same time by a stream of its
// own that starts from the 32 KB before it, and its output follows the first half's. Both end on a
// byte boundary, so the decoder reads one stream; the frame's own stream then takes the input's
// last 32 KB as what comes before its next frame.
bool Encoder::deflatePieces(const std::vector<Piece>& pieces, std::uint8_t* out, std::size_t room, std::size_t& written)
{
    z_stream& stream = m_deflater->stream;
    std::size_t total = 0;
    for (const Piece& piece : pieces) {
        total += piece.size;
    }
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(room);
    if (!m_worker || total < kSplitDeflateBytes) {
        const bool ok = DeflateRange(stream, pieces, 0, total);
        written = room - stream.avail_out;
        return ok;
    }
    const std::size_t split = total / 2;
    if (!m_halfDeflater) {
        m_halfDeflater = std::make_unique<Deflater>();
    }
    z_stream& half = m_halfDeflater->stream;
    m_dictionary.resize(kWindowBytes);
    Gather(pieces, split - kWindowBytes, split, m_dictionary.data());
    const std::size_t halfRoom = (total - split) + (total - split) / 8 + 1024;
    m_halfOutput.resize(halfRoom);
    bool halfOk = m_halfDeflater->reset() && m_halfDeflater->use(m_deflater->effort, m_halfOutput.data(), halfRoom) &&
                  deflateSetDictionary(&half, m_dictionary.data(), kWindowBytes) == Z_OK;
    if (halfOk) {
        half.next_out = m_halfOutput.data();
        half.avail_out = static_cast<uInt>(halfRoom);
        m_worker->start([&] { halfOk = DeflateRange(half, pieces, split, total); });
        const bool firstOk = DeflateRange(stream, pieces, 0, split);
        m_worker->wait();
        written = room - stream.avail_out;
        const std::size_t halfBytes = halfRoom - half.avail_out;
        if (!firstOk || !halfOk || halfBytes >= room - written) {
            return false;
        }
        std::memcpy(out + written, m_halfOutput.data(), halfBytes);
        written += halfBytes;
        Gather(pieces, total - kWindowBytes, total, m_dictionary.data());
        return deflateSetDictionary(&stream, m_dictionary.data(), kWindowBytes) == Z_OK;
    }
    return false;
}

} // namespace zmbv
