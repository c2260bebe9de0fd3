#include "recording/movie_rebuild.h"

#include "common/little_endian.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace {
// The movie library's own reader takes signed 32-bit offsets: stay below 2 GB.
constexpr std::uint64_t kLargestMovie = 0x7FFFFFFF;
// Where an unclosed movie's first chunk is looked for, past the space kept for its header.
constexpr std::uint64_t kHeaderSpaceSearched = 1024 * 1024;
constexpr std::size_t kCopyBlock = 1024 * 1024;
constexpr std::uint32_t kKeyFrameFlag = 0x10; // AVIIF_KEYFRAME
constexpr std::uint32_t kHasIndex = 0x10;     // AVIF_HASINDEX
constexpr std::uint64_t kChunkHeader = 8;
constexpr std::uint64_t kListHeader = 12;
constexpr std::uint64_t kIndexEntry = 16;
constexpr std::uint64_t kMainHeaderBytes = 56;
constexpr std::uint64_t kStreamHeaderBytes = 56;

bool Is(const std::uint8_t* id, const char* text)
{
    return std::memcmp(id, text, 4) == 0;
}

bool IsChunkId(const std::uint8_t* id)
{
    return std::all_of(id, id + 4, [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

bool IsVideoChunk(const std::uint8_t* id)
{
    return id[0] == '0' && id[1] == '0' && id[2] == 'd' && (id[3] == 'c' || id[3] == 'b');
}

std::uint64_t Padded(std::uint64_t size)
{
    return size + (size & 1);
}

// Where the first chunk of a movie without its header begins: past the zeros kept for the header.
std::uint64_t FirstChunkAfterZeros(const ReadAt& read, std::uint64_t fileSize)
{
    std::array<std::uint8_t, 4096> block{};
    const std::uint64_t end = std::min(fileSize, kHeaderSpaceSearched);
    for (std::uint64_t at = 0; at < end; at += block.size()) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), end - at));
        if (!read(at, block.data(), count)) {
            return fileSize;
        }
        const auto found = std::find_if(block.begin(), block.begin() + count, [](std::uint8_t b) { return b != 0; });
        if (found != block.begin() + count) {
            return (at + static_cast<std::uint64_t>(found - block.begin())) & ~std::uint64_t{1};
        }
    }
    return fileSize;
}

class MovieOut {
public:
    explicit MovieOut(const Append& append) : m_append(append) {}

    bool Bytes(const void* data, std::size_t count) { return m_ok = m_ok && m_append(data, count); }
    bool U32(std::uint32_t value)
    {
        std::array<std::uint8_t, 4> bytes{};
        WriteLittle32(bytes.data(), value);
        return Bytes(bytes.data(), bytes.size());
    }
    bool U16(std::uint16_t value)
    {
        const std::array<std::uint8_t, 2> bytes{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
        return Bytes(bytes.data(), bytes.size());
    }
    bool Tag(const char* tag) { return Bytes(tag, 4); }
    bool Chunk(const char* tag, std::uint64_t size) { return Tag(tag) && U32(static_cast<std::uint32_t>(size)); }
    bool List(const char* type, std::uint64_t size) { return Chunk("LIST", size) && Tag(type); }
    bool ok() const { return m_ok; }

private:
    const Append& m_append;
    bool m_ok = true;
};

struct Sizes {
    std::uint64_t strl;
    std::uint64_t hdrl;
    std::uint64_t movi;
    std::uint64_t index;
    std::uint64_t total;
};

Sizes SizesFor(const JournalStream& stream, const std::vector<RecoveredFrame>& frames)
{
    const std::uint64_t slots = frames.empty() ? 0 : std::uint64_t{frames.back().position} + 1;
    std::uint64_t data = 0;
    for (const RecoveredFrame& frame : frames) {
        data += Padded(frame.size);
    }
    Sizes sizes{};
    sizes.strl = 4 + kChunkHeader + kStreamHeaderBytes + kChunkHeader + Padded(stream.format.size());
    sizes.hdrl = 4 + kChunkHeader + kMainHeaderBytes + kChunkHeader + sizes.strl;
    sizes.movi = 4 + slots * kChunkHeader + data;
    sizes.index = slots * kIndexEntry;
    sizes.total = kListHeader + kChunkHeader + sizes.hdrl + kChunkHeader + sizes.movi + kChunkHeader + sizes.index;
    return sizes;
}

bool CopyFrame(const RecoveredFrame& frame, const ReadAt& read, MovieOut& out, std::vector<std::uint8_t>& buffer)
{
    std::uint64_t left = frame.size;
    std::uint64_t at = frame.offset;
    while (left > 0) {
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        if (!read(at, buffer.data(), count) || !out.Bytes(buffer.data(), count)) {
            return false;
        }
        left -= count;
        at += count;
    }
    const std::uint8_t pad = 0;
    return (frame.size & 1) == 0 || out.Bytes(&pad, 1);
}
} // namespace

std::vector<MovieChunk> FindFrameChunks(const ReadAt& read, std::uint64_t fileSize)
{
    std::vector<MovieChunk> chunks;
    std::array<std::uint8_t, 12> head{};
    std::uint64_t at = 0;
    if (fileSize >= kListHeader && read(0, head.data(), head.size()) && Is(head.data(), "RIFF") &&
        Is(head.data() + 8, "AVI ")) {
        at = kListHeader;
    } else {
        at = FirstChunkAfterZeros(read, fileSize);
    }
    while (at + kChunkHeader <= fileSize && read(at, head.data(), kChunkHeader) && IsChunkId(head.data())) {
        const std::uint32_t size = ReadLittle32(head.data() + 4);
        if (Is(head.data(), "LIST") || Is(head.data(), "RIFF")) {
            if (at + kListHeader > fileSize || !read(at + 8, head.data() + 8, 4)) {
                break;
            }
            // The movie's data lists are entered; any other list is passed over whole.
            if (Is(head.data() + 8, "movi") || Is(head.data() + 8, "rec ") || Is(head.data() + 8, "AVIX")) {
                at += kListHeader;
                continue;
            }
        } else if (Is(head.data(), "idx1")) {
            break;
        }
        const std::uint64_t end = at + kChunkHeader + size;
        if (end > fileSize) {
            break; // cut short by the crash
        }
        if (IsVideoChunk(head.data())) {
            chunks.push_back({at + kChunkHeader, size});
        }
        at = end + (size & 1);
    }
    return chunks;
}

std::vector<RecoveredFrame> MatchFrames(const std::vector<JournalFrame>& journal, const std::vector<MovieChunk>& chunks)
{
    std::vector<RecoveredFrame> frames;
    std::size_t next = 0;
    for (const JournalFrame& entry : journal) {
        if (entry.size == 0) {
            continue;
        }
        if (!frames.empty() && entry.position <= frames.back().position) {
            break;
        }
        while (next < chunks.size() && chunks[next].size == 0) {
            ++next;
        }
        if (next == chunks.size() || chunks[next].size != entry.size) {
            break;
        }
        frames.push_back({entry.position, chunks[next].offset, entry.size, entry.key});
        ++next;
    }
    return frames;
}

bool WriteRecoveredMovie(const JournalStream& stream, std::vector<RecoveredFrame> frames, const ReadAt& read,
                         const Append& append)
{
    constexpr std::size_t kBitmapHeaderBytes = 40;
    if (stream.format.size() < kBitmapHeaderBytes || stream.rate == 0 || stream.scale == 0) {
        return false;
    }
    Sizes sizes = SizesFor(stream, frames);
    while (!frames.empty() && sizes.total > kLargestMovie) {
        frames.pop_back();
        sizes = SizesFor(stream, frames);
    }
    if (frames.empty()) {
        return false;
    }
    const std::uint32_t slots = frames.back().position + 1;
    std::uint32_t largest = 0;
    for (const RecoveredFrame& frame : frames) {
        largest = std::max(largest, frame.size);
    }
    const std::uint32_t width = static_cast<std::uint32_t>(std::abs(static_cast<std::int32_t>(ReadLittle32(&stream.format[4]))));
    const std::uint32_t height = static_cast<std::uint32_t>(std::abs(static_cast<std::int32_t>(ReadLittle32(&stream.format[8]))));
    const std::uint64_t bytesPerSecond = std::uint64_t{largest} * stream.rate / stream.scale;

    MovieOut out(append);
    out.Chunk("RIFF", sizes.total - kChunkHeader);
    out.Tag("AVI ");
    out.List("hdrl", sizes.hdrl);
    out.Chunk("avih", kMainHeaderBytes);
    for (const std::uint64_t value :
         {std::uint64_t{1000000} * stream.scale / stream.rate, std::min<std::uint64_t>(bytesPerSecond, 0xFFFFFFFF),
          std::uint64_t{0}, std::uint64_t{kHasIndex}, std::uint64_t{slots}, std::uint64_t{0}, std::uint64_t{1},
          std::uint64_t{largest}, std::uint64_t{width}, std::uint64_t{height}, std::uint64_t{0}, std::uint64_t{0},
          std::uint64_t{0}, std::uint64_t{0}}) {
        out.U32(static_cast<std::uint32_t>(value));
    }
    out.List("strl", sizes.strl);
    out.Chunk("strh", kStreamHeaderBytes);
    out.Tag("vids");
    out.U32(stream.handler);
    for (const std::uint32_t value : {0u, 0u, 0u, stream.scale, stream.rate, 0u, slots, largest, 0xFFFFFFFFu, 0u}) {
        out.U32(value); // flags, priority and language, initial frames, ..., quality, sample size
    }
    for (const std::uint32_t value : {0u, 0u, width, height}) {
        out.U16(static_cast<std::uint16_t>(value));
    }
    out.Chunk("strf", stream.format.size());
    out.Bytes(stream.format.data(), stream.format.size());
    if (stream.format.size() & 1) {
        out.Bytes("", 1);
    }
    out.List("movi", sizes.movi);

    std::vector<std::uint8_t> buffer(std::min<std::size_t>(kCopyBlock, std::max<std::uint32_t>(largest, 1)));
    std::uint32_t slot = 0;
    for (const RecoveredFrame& frame : frames) {
        for (; slot < frame.position && out.ok(); ++slot) {
            out.Chunk("00dc", 0);
        }
        if (!out.Chunk("00dc", frame.size) || !CopyFrame(frame, read, out, buffer)) {
            return false;
        }
        ++slot;
    }

    out.Chunk("idx1", sizes.index);
    std::uint64_t offset = 4; // from the list's "movi"
    slot = 0;
    for (const RecoveredFrame& frame : frames) {
        for (; slot < frame.position && out.ok(); ++slot) {
            out.Tag("00dc");
            out.U32(0);
            out.U32(static_cast<std::uint32_t>(offset));
            out.U32(0);
            offset += kChunkHeader;
        }
        out.Tag("00dc");
        out.U32(frame.key ? kKeyFrameFlag : 0);
        out.U32(static_cast<std::uint32_t>(offset));
        out.U32(frame.size);
        offset += kChunkHeader + Padded(frame.size);
        ++slot;
    }
    return out.ok();
}
