#include "recording/movie_rebuild.h"

#include "common/fourcc.h"
#include "common/little_endian.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {
// Where an unclosed movie's first chunk is looked for, past the space kept for its header.
constexpr std::uint64_t kHeaderSpaceSearched = 1024 * 1024;
constexpr std::uint64_t kChunkHeader = 8;
constexpr std::uint64_t kListHeader = 12;
constexpr std::size_t kBitmapHeaderBytes = 40;

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
            // The movie's data lists are entered, whatever sizes an unclosed movie gives them; any
            // other list is passed over whole.
            if (Is(head.data() + 8, "movi") || Is(head.data() + 8, "rec ") || Is(head.data() + 8, "AVIX")) {
                at += kListHeader;
                continue;
            }
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
    std::size_t slot = 0; // the chunk of the next slot
    for (const JournalFrame& entry : journal) {
        if (entry.size == 0) {
            continue;
        }
        if (entry.position < slot) {
            break;
        }
        // The slots before it were passed over: their chunks are empty.
        for (; slot < entry.position && slot < chunks.size() && chunks[slot].size == 0; ++slot) {
        }
        if (slot != entry.position || slot == chunks.size() || chunks[slot].size != entry.size) {
            break;
        }
        frames.push_back({entry.position, chunks[slot].offset, entry.size, entry.key});
        ++slot;
    }
    return frames;
}

bool WriteRecoveredMovie(const JournalStream& stream, const std::vector<RecoveredFrame>& frames, const ReadAt& read,
                         MovieSink& sink)
{
    if (stream.format.size() < kBitmapHeaderBytes || stream.rate == 0 || stream.scale == 0 || frames.empty()) {
        return false;
    }
    std::uint64_t bytes = 0;
    std::uint32_t largest = 0;
    for (const RecoveredFrame& frame : frames) {
        bytes += frame.size;
        largest = std::max(largest, frame.size);
    }
    MovieLayout layout;
    layout.parts = MoviePartsFor(bytes, std::uint64_t{frames.back().position} + 1, largest, layout);
    OdmlWriter writer(sink, {{MakeFourCC('v', 'i', 'd', 's'), stream.handler, stream.scale, stream.rate, 0, stream.format}},
                      layout);
    if (!writer.Start()) {
        return false;
    }
    std::vector<std::uint8_t> buffer(largest);
    std::uint32_t slot = 0;
    for (const RecoveredFrame& frame : frames) {
        for (; slot < frame.position; ++slot) {
            if (writer.Add(0, {}, false) != AddResult::Added) {
                return false;
            }
        }
        if (!read(frame.offset, buffer.data(), frame.size) ||
            writer.Add(0, {buffer.data(), frame.size}, frame.key) != AddResult::Added) {
            return false;
        }
        ++slot;
    }
    const std::uint64_t written = writer.Chunks();
    return writer.Finish() && writer.Chunks() == written;
}
