#include "audio/odml_writer.h"

#include "audio/avi_layout.h"
#include "common/little_endian.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {
constexpr std::uint32_t kAvihBytes = 56;
constexpr std::uint32_t kStrhBytes = 56;
constexpr std::uint32_t kDmlhBytes = 248;
constexpr std::uint32_t kHasIndex = 0x10;       // AVIF_HASINDEX
constexpr std::uint32_t kInterleaved = 0x100;   // AVIF_ISINTERLEAVED
constexpr std::uint32_t kTrustChunkType = 0x800; // AVIF_TRUSTCKTYPE
constexpr std::uint32_t kDefaultQuality = 0xFFFFFFFFu;
// A part's RIFF size is 32 bits: the largest chunk leaves room for the lists and indexes around it.
constexpr std::uint64_t kLargestChunk = 0xFFF00000u;
// Small chunks and headers gather into writes of about this size.
constexpr std::size_t kGatherBytes = 1 << 20;

std::uint64_t Padded(std::uint64_t size)
{
    return size + (size & 1);
}

// The stream's strn chunk: its name, ended by a zero.
std::uint64_t NameBytes(const MovieStream& stream)
{
    return stream.name.empty() ? 0 : 8 + Padded(stream.name.size() + 1);
}

class ByteOut {
public:
    explicit ByteOut(std::vector<std::uint8_t>& out) : m_out(out) {}
    void U32(std::uint32_t value) { AppendLittle32(m_out, value); }
    void U16(std::uint16_t value)
    {
        m_out.push_back(static_cast<std::uint8_t>(value));
        m_out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void U64(std::uint64_t value)
    {
        U32(static_cast<std::uint32_t>(value));
        U32(static_cast<std::uint32_t>(value >> 32));
    }
    void Tag(const char* tag) { m_out.insert(m_out.end(), tag, tag + 4); }
    void Chunk(const char* tag, std::uint64_t size)
    {
        Tag(tag);
        U32(static_cast<std::uint32_t>(size));
    }
    void List(const char* type, std::uint64_t size)
    {
        Chunk("LIST", size);
        Tag(type);
    }
    void Raw(std::span<const std::uint8_t> bytes) { m_out.insert(m_out.end(), bytes.begin(), bytes.end()); }
    void Zeros(std::size_t count) { m_out.insert(m_out.end(), count, 0); }

private:
    std::vector<std::uint8_t>& m_out;
};

std::uint32_t Clamp32(std::uint64_t value)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

// Width and height of a stream's bitmap header; zero for sound.
std::pair<std::uint32_t, std::uint32_t> FrameSize(const MovieStream& stream)
{
    if (stream.type != avi::kVideo || stream.format.size() < 12) {
        return {0, 0};
    }
    const auto height = static_cast<std::int32_t>(ReadLittle32(stream.format.data() + 8));
    return {ReadLittle32(stream.format.data() + 4), static_cast<std::uint32_t>(std::abs(static_cast<std::int64_t>(height)))};
}

bool IsUncompressed(const MovieStream& stream)
{
    return stream.format.size() >= 20 && ReadLittle32(stream.format.data() + 16) == 0;
}
} // namespace

std::uint32_t MoviePartsFor(std::uint64_t bytes, std::uint64_t chunks, std::uint64_t largestChunk, const MovieLayout& layout)
{
    // A part ends only when the next chunk and the indexes would not fit, and its indexes take at
    // most three times its chunks' headers: every part but the last holds more than a quarter of
    // what is left of a part beside the largest chunk.
    const std::uint64_t beside = largestChunk + 1024;
    std::uint64_t parts = chunks / std::max<std::uint32_t>(layout.partChunks, 1) + 2;
    const std::uint64_t total = bytes + 9 * chunks;
    parts += layout.partBytes > beside ? total / ((layout.partBytes - beside) / 4 + 1) : chunks;
    return Clamp32(parts);
}

OdmlWriter::OdmlWriter(MovieSink& sink, std::vector<MovieStream> streams, MovieLayout layout)
    : m_sink(sink), m_streams(std::move(streams)), m_layout(layout), m_totals(m_streams.size()),
      m_partStreamChunks(m_streams.size(), 0)
{
    m_layout.parts = std::max<std::uint32_t>(m_layout.parts, 1);
}

std::uint32_t OdmlWriter::ChunkId(std::size_t stream) const
{
    const auto [tens, ones] = avi::StreamDigits(stream);
    const MovieStream& s = m_streams[stream];
    if (s.type == avi::kAudio) {
        return MakeFourCC(tens, ones, 'w', 'b');
    }
    return IsUncompressed(s) ? MakeFourCC(tens, ones, 'd', 'b') : MakeFourCC(tens, ones, 'd', 'c');
}

std::vector<std::uint8_t> OdmlWriter::Header() const
{
    const MovieStream* video = nullptr;
    std::size_t videoIndex = 0;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        if (m_streams[i].type == avi::kVideo) {
            video = &m_streams[i];
            videoIndex = i;
            break;
        }
    }
    const bool ended = m_partsUsed > 0;
    std::uint64_t strls = 0;
    for (const MovieStream& stream : m_streams) {
        strls += 12 + 8 + kStrhBytes + 8 + Padded(stream.format.size()) + NameBytes(stream) + 8 + avi::kIndexHead +
                 std::uint64_t{avi::kSuperIndexEntry} * m_layout.parts;
    }
    const std::uint64_t hdrl = 4 + 8 + kAvihBytes + strls + 12 + 8 + kDmlhBytes;

    std::uint32_t largest = 0;
    std::uint64_t bytesPerSecond = 0;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const MovieStream& s = m_streams[i];
        largest = std::max(largest, m_totals[i].largest);
        if (s.scale != 0) {
            bytesPerSecond += std::uint64_t{s.rate} * (s.sampleSize != 0 ? s.sampleSize : m_totals[i].largest) / s.scale;
        }
    }
    const auto [width, height] = video ? FrameSize(*video) : std::pair<std::uint32_t, std::uint32_t>{0, 0};

    std::vector<std::uint8_t> header;
    ByteOut out(header);
    out.Chunk("RIFF", m_firstRiffSize);
    out.Tag("AVI ");
    out.List("hdrl", hdrl);
    out.Chunk("avih", kAvihBytes);
    out.U32(video && video->rate != 0 ? Clamp32((std::uint64_t{1000000} * video->scale + video->rate / 2) / video->rate) : 0);
    out.U32(Clamp32(bytesPerSecond));
    out.U32(0); // padding granularity
    out.U32(kHasIndex | kTrustChunkType | (m_layout.interleaved ? kInterleaved : 0));
    out.U32(video ? Clamp32(m_totals[videoIndex].firstPartChunks) : 0);
    out.U32(0); // initial frames
    out.U32(static_cast<std::uint32_t>(m_streams.size()));
    out.U32(largest);
    out.U32(width);
    out.U32(height);
    out.Zeros(16);

    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const MovieStream& s = m_streams[i];
        const StreamTotals& totals = m_totals[i];
        const std::uint64_t indexBytes = avi::kIndexHead + std::uint64_t{avi::kSuperIndexEntry} * m_layout.parts;
        out.List("strl", 4 + 8 + kStrhBytes + 8 + Padded(s.format.size()) + NameBytes(s) + 8 + indexBytes);
        out.Chunk("strh", kStrhBytes);
        out.U32(s.type);
        out.U32(s.handler);
        out.U32(0); // flags
        out.U32(0); // priority and language
        out.U32(0); // initial frames
        out.U32(s.scale);
        out.U32(s.rate);
        out.U32(0); // start
        out.U32(Clamp32(s.sampleSize != 0 ? totals.bytes / s.sampleSize : totals.chunks));
        out.U32(totals.largest);
        out.U32(kDefaultQuality);
        out.U32(s.sampleSize);
        const auto [w, h] = FrameSize(s);
        out.U16(0);
        out.U16(0);
        out.U16(static_cast<std::uint16_t>(w));
        out.U16(static_cast<std::uint16_t>(h));
        out.Chunk("strf", s.format.size());
        out.Raw(s.format);
        out.Zeros(s.format.size() & 1);
        if (!s.name.empty()) {
            out.Chunk("strn", s.name.size() + 1);
            out.Raw(std::span(reinterpret_cast<const std::uint8_t*>(s.name.data()), s.name.size()));
            out.Zeros(2 - (s.name.size() & 1));
        }
        // Reserved as JUNK until the end, when the parts are known.
        out.Chunk(ended ? "indx" : "JUNK", indexBytes);
        const std::size_t indexStart = header.size();
        if (ended) {
            out.U16(4); // longs per entry
            header.push_back(0); // sub type
            header.push_back(0); // AVI_INDEX_OF_INDEXES
            out.U32(static_cast<std::uint32_t>(totals.parts.size()));
            out.U32(ChunkId(i));
            out.Zeros(12);
            for (const PartIndex& part : totals.parts) {
                out.U64(part.at);
                out.U32(part.size);
                out.U32(part.duration);
            }
        }
        out.Zeros(static_cast<std::size_t>(indexBytes - (header.size() - indexStart)));
    }
    out.List("odml", 4 + 8 + kDmlhBytes);
    out.Chunk("dmlh", kDmlhBytes);
    out.U32(video ? Clamp32(m_totals[videoIndex].chunks) : 0);
    out.Zeros(kDmlhBytes - 4);
    out.List("movi", m_firstMoviSize);
    return header;
}

std::uint64_t OdmlWriter::Chunks() const
{
    std::uint64_t chunks = 0;
    for (const StreamTotals& totals : m_totals) {
        chunks += totals.chunks;
    }
    return chunks;
}

bool OdmlWriter::Start()
{
    m_partAt = 0;
    m_pending = Header();
    m_moviAt = Bytes() - 4;
    m_partOpen = true;
    if (!Flush()) {
        m_failed = true;
    }
    return !m_failed;
}

std::uint64_t OdmlWriter::IndexBytesWith(std::size_t stream) const
{
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < m_streams.size(); ++i) {
        const std::uint64_t chunks = m_partStreamChunks[i] + (i == stream ? 1 : 0);
        if (chunks > 0) {
            bytes += 8 + avi::kIndexHead + avi::kStandardIndexEntry * chunks;
        }
    }
    if (m_partsUsed == 0) {
        bytes += 8 + std::uint64_t{avi::kLegacyIndexEntry} * (m_entries.size() + 1);
    }
    return bytes;
}

AddResult OdmlWriter::Add(std::size_t stream, std::span<const std::uint8_t> data, bool key)
{
    if (m_failed || stream >= m_streams.size() || data.size() > kLargestChunk) {
        return AddResult::WriteFailed;
    }
    const std::uint64_t chunkBytes = 8 + Padded(data.size());
    if (m_partOpen && !m_entries.empty() &&
        (Bytes() - m_partAt + chunkBytes + IndexBytesWith(stream) > m_layout.partBytes ||
         m_entries.size() >= m_layout.partChunks)) {
        if (m_partsUsed + 2 > m_layout.parts) {
            return AddResult::Full;
        }
        if (!EndPart()) {
            return AddResult::WriteFailed;
        }
    }
    if (!m_partOpen) {
        if (m_partsUsed + 1 > m_layout.parts) {
            return AddResult::Full;
        }
        StartPart();
    }
    const auto at = static_cast<std::uint32_t>(Bytes() - m_moviAt);
    const auto size = static_cast<std::uint32_t>(data.size());
    ByteOut out(m_pending);
    out.U32(ChunkId(stream));
    out.U32(size);
    out.Raw(data);
    out.Zeros(data.size() & 1);
    m_entries.push_back({at, size, static_cast<std::uint16_t>(stream), key});
    Count(m_entries.back(), 1);
    StreamTotals& totals = m_totals[stream];
    totals.largest = std::max(totals.largest, size);
    if (m_pending.size() >= kGatherBytes && !Flush()) {
        return AddResult::WriteFailed;
    }
    return AddResult::Added;
}

void OdmlWriter::Count(const Entry& entry, int sign)
{
    StreamTotals& totals = m_totals[entry.stream];
    m_partStreamChunks[entry.stream] += static_cast<std::uint32_t>(sign);
    totals.chunks += static_cast<std::uint64_t>(sign);
    totals.bytes += static_cast<std::uint64_t>(sign) * entry.size;
    if (m_partsUsed == 0) {
        totals.firstPartChunks += static_cast<std::uint64_t>(sign);
    }
}

void OdmlWriter::StartPart()
{
    m_partAt = Bytes();
    ByteOut out(m_pending);
    out.Chunk("RIFF", 0);
    out.Tag("AVIX");
    out.List("movi", 0);
    m_moviAt = Bytes() - 4;
    m_partOpen = true;
    m_partStartPending = true;
}

bool OdmlWriter::EndPart()
{
    if (!Flush()) {
        return false;
    }
    ByteOut out(m_pending);
    for (std::size_t s = 0; s < m_streams.size(); ++s) {
        const std::uint32_t count = m_partStreamChunks[s];
        if (count == 0) {
            continue;
        }
        const std::uint64_t at = Bytes();
        const std::uint32_t size = 8 + avi::kIndexHead + avi::kStandardIndexEntry * count;
        const auto [tens, ones] = avi::StreamDigits(s);
        const char digits[] = {'i', 'x', tens, ones};
        out.Chunk(digits, size - 8);
        out.U16(2); // longs per entry
        m_pending.push_back(0); // sub type
        m_pending.push_back(1); // AVI_INDEX_OF_CHUNKS
        out.U32(count);
        out.U32(ChunkId(s));
        out.U64(m_moviAt);
        out.U32(0);
        std::uint64_t bytes = 0;
        for (const Entry& entry : m_entries) {
            if (entry.stream == s) {
                out.U32(entry.at + 8);
                out.U32(entry.size | (entry.key ? 0 : avi::kNotKeyFrame));
                bytes += entry.size;
            }
        }
        const MovieStream& stream = m_streams[s];
        m_totals[s].parts.push_back({at, size, Clamp32(stream.sampleSize != 0 ? bytes / stream.sampleSize : count)});
    }
    const std::uint64_t moviSize = Bytes() - m_moviAt;
    const bool first = m_partsUsed == 0;
    if (first) {
        out.Chunk("idx1", std::uint64_t{avi::kLegacyIndexEntry} * m_entries.size());
        for (const Entry& entry : m_entries) {
            out.U32(ChunkId(entry.stream));
            out.U32(entry.key ? avi::kKeyFrame : 0);
            out.U32(entry.at);
            out.U32(entry.size);
        }
    }
    const std::uint64_t riffSize = Bytes() - m_partAt - 8;
    if (!Flush()) {
        // The part stays open, its index unwritten.
        for (std::size_t s = 0; s < m_streams.size(); ++s) {
            if (m_partStreamChunks[s] > 0) {
                m_totals[s].parts.pop_back();
            }
        }
        return false;
    }
    if (first) {
        m_firstRiffSize = static_cast<std::uint32_t>(riffSize);
        m_firstMoviSize = static_cast<std::uint32_t>(moviSize);
    }
    // Written now too, so that what a crash leaves of the finished parts reads as they are.
    if (!Patch(m_moviAt - 4, static_cast<std::uint32_t>(moviSize)) ||
        !Patch(m_partAt + 4, static_cast<std::uint32_t>(riffSize))) {
        m_failed = true;
        return false;
    }
    m_entries.clear();
    m_flushedEntries = 0;
    std::fill(m_partStreamChunks.begin(), m_partStreamChunks.end(), 0);
    ++m_partsUsed;
    m_partOpen = false;
    return true;
}

bool OdmlWriter::Finish()
{
    Flush(); // what the sink refuses is left out, and the rest finished
    while (!m_failed && m_partOpen && !EndPart()) {
        if (m_entries.empty() && m_partsUsed > 0) {
            // Not even an empty part fits: the movie ends with the part before.
            m_flushed = m_partAt;
            m_partOpen = false;
            m_failed = !m_sink.Truncate(m_flushed);
        } else if (!DropLastChunk()) {
            m_failed = true;
        }
    }
    if (m_failed) {
        return false;
    }
    if (!m_sink.Overwrite(0, Header())) {
        m_failed = true;
    }
    return !m_failed;
}

// The index written over the last chunk takes less room than the chunk and its index entries.
bool OdmlWriter::DropLastChunk()
{
    if (m_entries.empty()) {
        return false;
    }
    Count(m_entries.back(), -1);
    m_flushed = m_moviAt + m_entries.back().at;
    m_entries.pop_back();
    m_flushedEntries = m_entries.size();
    return m_sink.Truncate(m_flushed);
}

bool OdmlWriter::Flush()
{
    if (m_failed) {
        return false;
    }
    if (m_pending.empty()) {
        return true;
    }
    if (m_sink.Append(m_pending)) {
        m_flushed += m_pending.size();
        m_pending.clear();
        m_flushedEntries = m_entries.size();
        m_partStartPending = false;
        return true;
    }
    // Everything since the last write is given up; the file holds what came before it whole.
    for (std::size_t i = m_flushedEntries; i < m_entries.size(); ++i) {
        Count(m_entries[i], -1);
    }
    m_entries.resize(m_flushedEntries);
    m_pending.clear();
    if (m_partStartPending) {
        m_partOpen = false;
        m_partStartPending = false;
    }
    return false;
}

bool OdmlWriter::Patch(std::uint64_t offset, std::uint32_t value)
{
    std::uint8_t bytes[4];
    WriteLittle32(bytes, value);
    return m_sink.Overwrite(offset, bytes);
}
