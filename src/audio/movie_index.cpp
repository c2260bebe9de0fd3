#include "audio/movie_index.h"

#include "common/fourcc.h"
#include "common/little_endian.h"

#include <algorithm>
#include <array>
#include <istream>
#include <limits>

namespace {
constexpr std::uint32_t kRiff = MakeFourCC('R', 'I', 'F', 'F');
constexpr std::uint32_t kList = MakeFourCC('L', 'I', 'S', 'T');
constexpr std::uint32_t kAvi = MakeFourCC('A', 'V', 'I', ' ');
constexpr std::uint32_t kHeaderList = MakeFourCC('h', 'd', 'r', 'l');
constexpr std::uint32_t kStreamList = MakeFourCC('s', 't', 'r', 'l');
constexpr std::uint32_t kStreamHeader = MakeFourCC('s', 't', 'r', 'h');
constexpr std::uint32_t kMainHeader = MakeFourCC('a', 'v', 'i', 'h');
constexpr std::uint32_t kVideoStream = MakeFourCC('v', 'i', 'd', 's');
constexpr std::uint32_t kMovieList = MakeFourCC('m', 'o', 'v', 'i');
constexpr std::uint32_t kIndex = MakeFourCC('i', 'd', 'x', '1');
constexpr std::uint32_t kEntryIsList = 0x1;
constexpr std::size_t kEntryBytes = 16;
// Where a stream header keeps its rate and length and its sample size.
constexpr std::uint64_t kScaleAt = 20;
constexpr std::uint64_t kRateAt = 24;
constexpr std::uint64_t kLengthAt = 32;
constexpr std::uint64_t kSampleSizeAt = 44;

bool ReadAt(std::istream& in, std::uint64_t at, void* data, std::size_t size)
{
    in.clear();
    in.seekg(static_cast<std::streamoff>(at));
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return in && in.gcount() == static_cast<std::streamsize>(size);
}

bool WriteAt(std::ostream& out, std::uint64_t at, const void* data, std::size_t size)
{
    out.clear();
    out.seekp(static_cast<std::streamoff>(at));
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

struct Chunk {
    std::uint64_t at = 0;
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::uint32_t form = 0; // the type of a list

    std::uint64_t data() const { return at + 8; }
    std::uint64_t end() const { return at + 8 + size; }
};

// The chunk whose header starts at `at`, when it lies wholly before `end`.
std::optional<Chunk> ChunkAt(std::istream& in, std::uint64_t at, std::uint64_t end)
{
    std::array<unsigned char, 12> header{};
    if (at + 8 > end || !ReadAt(in, at, header.data(), 8)) {
        return {};
    }
    Chunk chunk{at, ReadLittle32(header.data()), ReadLittle32(header.data() + 4)};
    if (chunk.end() > end) {
        return {};
    }
    if (chunk.id == kRiff || chunk.id == kList) {
        if (chunk.size < 4 || !ReadAt(in, chunk.data(), header.data() + 8, 4)) {
            return {};
        }
        chunk.form = ReadLittle32(header.data() + 8);
    }
    return chunk;
}

// The chunks of a list, one after the other; fewer than 8 bytes at its end are padding.
std::optional<std::vector<Chunk>> Children(std::istream& in, const Chunk& list)
{
    std::vector<Chunk> children;
    for (std::uint64_t at = list.data() + 4; at + 8 <= list.end();) {
        const std::optional<Chunk> chunk = ChunkAt(in, at, list.end());
        if (!chunk) {
            return {};
        }
        children.push_back(*chunk);
        at = chunk->end() + (chunk->size & 1);
    }
    return children;
}

const Chunk* Find(const std::vector<Chunk>& chunks, std::uint32_t id, std::uint32_t form = 0)
{
    const auto found =
        std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.id == id && c.form == form; });
    return found == chunks.end() ? nullptr : &*found;
}

struct StreamHeader {
    std::uint64_t lengthAt = 0;
    std::uint32_t length = 0;
    std::uint32_t sampleSize = 0;
    std::uint32_t type = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
};

struct MovieLayout {
    std::uint64_t microsecondsPerFrameAt = 0; // 0 without a main header
    std::uint32_t microsecondsPerFrame = 0;
    std::uint64_t indexAt = 0;
    std::vector<MovieIndexEntry> entries;
    std::vector<StreamHeader> streams;
};

std::optional<std::vector<StreamHeader>> ReadStreamHeaders(std::istream& in, const Chunk& headerList)
{
    const auto lists = Children(in, headerList);
    if (!lists) {
        return {};
    }
    std::vector<StreamHeader> streams;
    for (const Chunk& list : *lists) {
        if (list.id != kList || list.form != kStreamList) {
            continue;
        }
        const auto parts = Children(in, list);
        const Chunk* header = parts ? Find(*parts, kStreamHeader) : nullptr;
        std::array<unsigned char, kSampleSizeAt + 4> fields{};
        if (!header || header->size < fields.size() || !ReadAt(in, header->data(), fields.data(), fields.size())) {
            return {};
        }
        streams.push_back({header->data() + kLengthAt, ReadLittle32(fields.data() + kLengthAt),
                           ReadLittle32(fields.data() + kSampleSizeAt), ReadLittle32(fields.data()),
                           ReadLittle32(fields.data() + kScaleAt), ReadLittle32(fields.data() + kRateAt)});
    }
    return streams;
}

// Whether the chunk the entry points at, counted from base, is the one it names.
bool PointsAtItsChunk(std::istream& in, const Chunk& movie, std::uint64_t base, const MovieIndexEntry& entry)
{
    const std::uint64_t at = base + entry.offset;
    if (at < movie.data() + 4) {
        return false;
    }
    const std::optional<Chunk> chunk = ChunkAt(in, at, movie.end());
    if (!chunk) {
        return false;
    }
    if (entry.flags & kEntryIsList) {
        return chunk->id == kList && chunk->form == entry.id;
    }
    return chunk->id == entry.id && chunk->size == entry.length;
}

std::optional<MovieLayout> ReadLayout(std::istream& in)
{
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff fileSize = in.tellg();
    if (fileSize < 0) {
        return {};
    }
    const std::optional<Chunk> riff = ChunkAt(in, 0, static_cast<std::uint64_t>(fileSize));
    if (!riff || riff->id != kRiff || riff->form != kAvi) {
        return {};
    }
    const auto top = Children(in, *riff);
    if (!top) {
        return {};
    }
    const Chunk* headerList = Find(*top, kList, kHeaderList);
    const Chunk* movie = Find(*top, kList, kMovieList);
    const Chunk* index = Find(*top, kIndex);
    if (!headerList || !movie || !index || index->size % kEntryBytes != 0) {
        return {};
    }
    MovieLayout layout;
    auto streams = ReadStreamHeaders(in, *headerList);
    if (!streams) {
        return {};
    }
    layout.streams = std::move(*streams);
    const auto headers = Children(in, *headerList);
    if (const Chunk* main = headers ? Find(*headers, kMainHeader) : nullptr; main && main->size >= 4) {
        std::array<unsigned char, 4> field{};
        if (!ReadAt(in, main->data(), field.data(), field.size())) {
            return {};
        }
        layout.microsecondsPerFrameAt = main->data();
        layout.microsecondsPerFrame = ReadLittle32(field.data());
    }
    layout.indexAt = index->data();
    // Within the file, as the chunk walk has shown.
    std::vector<unsigned char> bytes(index->size);
    if (!ReadAt(in, index->data(), bytes.data(), bytes.size())) {
        return {};
    }
    for (std::size_t at = 0; at < bytes.size(); at += kEntryBytes) {
        const unsigned char* entry = bytes.data() + at;
        layout.entries.push_back({ReadLittle32(entry), ReadLittle32(entry + 4), ReadLittle32(entry + 8), ReadLittle32(entry + 12)});
    }
    if (layout.entries.empty()) {
        return layout;
    }
    // Offsets count from the list's type, or from the start of the file.
    const std::uint64_t base =
        PointsAtItsChunk(in, *movie, movie->data(), layout.entries.front()) ? movie->data() : 0;
    for (const MovieIndexEntry& entry : layout.entries) {
        if (!PointsAtItsChunk(in, *movie, base, entry)) {
            return {};
        }
    }
    return layout;
}

// The stream an index entry belongs to: its id starts with two hexadecimal digits.
std::optional<std::size_t> StreamOf(const MovieIndexEntry& entry)
{
    const auto digit = [](std::uint32_t c) -> int {
        if (c >= '0' && c <= '9') {
            return static_cast<int>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<int>(c - 'a' + 10);
        }
        if (c >= 'A' && c <= 'F') {
            return static_cast<int>(c - 'A' + 10);
        }
        return -1;
    };
    const int high = digit(entry.id & 0xFF);
    const int low = digit((entry.id >> 8) & 0xFF);
    if ((entry.flags & kEntryIsList) || high < 0 || low < 0) {
        return {};
    }
    return static_cast<std::size_t>(high * 16 + low);
}
} // namespace

std::optional<std::vector<MovieIndexEntry>> ReadMovieIndex(std::istream& movie)
{
    std::optional<MovieLayout> layout = ReadLayout(movie);
    if (!layout) {
        return {};
    }
    return std::move(layout->entries);
}

bool TidyMovieIndex(std::iostream& movie)
{
    const std::optional<MovieLayout> layout = ReadLayout(movie);
    if (!layout) {
        return false;
    }
    std::vector<MovieIndexEntry> ordered = layout->entries;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const MovieIndexEntry& a, const MovieIndexEntry& b) { return a.offset < b.offset; });
    const bool reordered = !std::equal(ordered.begin(), ordered.end(), layout->entries.begin(),
                                       [](const MovieIndexEntry& a, const MovieIndexEntry& b) {
                                           return a.offset == b.offset && a.id == b.id;
                                       });
    std::vector<std::uint64_t> streamBytes(layout->streams.size(), 0);
    for (const MovieIndexEntry& entry : ordered) {
        if (const auto stream = StreamOf(entry); stream && *stream < streamBytes.size()) {
            streamBytes[*stream] += entry.length;
        }
    }
    if (reordered) {
        std::vector<unsigned char> bytes(ordered.size() * kEntryBytes);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            unsigned char* entry = bytes.data() + i * kEntryBytes;
            WriteLittle32(entry, ordered[i].id);
            WriteLittle32(entry + 4, ordered[i].flags);
            WriteLittle32(entry + 8, ordered[i].offset);
            WriteLittle32(entry + 12, ordered[i].length);
        }
        if (!WriteAt(movie, layout->indexAt, bytes.data(), bytes.size())) {
            return false;
        }
    }
    // A stream of fixed-size samples is as long as its chunks hold.
    for (std::size_t i = 0; i < layout->streams.size(); ++i) {
        const StreamHeader& stream = layout->streams[i];
        if (stream.sampleSize == 0 || streamBytes[i] % stream.sampleSize != 0) {
            continue;
        }
        const std::uint64_t samples = streamBytes[i] / stream.sampleSize;
        if (samples != stream.length && samples <= std::numeric_limits<std::uint32_t>::max()) {
            std::array<unsigned char, 4> length{};
            WriteLittle32(length.data(), static_cast<std::uint32_t>(samples));
            if (!WriteAt(movie, stream.lengthAt, length.data(), length.size())) {
                return false;
            }
        }
    }
    // The main header's frame period follows the video stream's rate (the movie library under Wine
    // writes the rate's reciprocal scaled wrongly, 200,000,000 for 200 frames/s).
    const auto video = std::find_if(layout->streams.begin(), layout->streams.end(),
                                    [](const StreamHeader& s) { return s.type == kVideoStream && s.rate != 0; });
    if (layout->microsecondsPerFrameAt != 0 && video != layout->streams.end()) {
        const std::uint64_t period = (std::uint64_t{1000000} * video->scale + video->rate / 2) / video->rate;
        if (period != layout->microsecondsPerFrame && period <= std::numeric_limits<std::uint32_t>::max()) {
            std::array<unsigned char, 4> field{};
            WriteLittle32(field.data(), static_cast<std::uint32_t>(period));
            if (!WriteAt(movie, layout->microsecondsPerFrameAt, field.data(), field.size())) {
                return false;
            }
        }
    }
    movie.flush();
    return static_cast<bool>(movie);
}
