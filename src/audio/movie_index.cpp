#include "audio/movie_index.h"

#include "audio/avi_layout.h"
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
constexpr std::uint32_t kMovieList = MakeFourCC('m', 'o', 'v', 'i');
constexpr std::uint32_t kIndex = MakeFourCC('i', 'd', 'x', '1');
constexpr std::uint32_t kEntryIsList = 0x1;
// Where a stream header keeps its rate and length and its sample size.
constexpr std::uint64_t kHandlerAt = 4;
constexpr std::uint64_t kScaleAt = 20;
constexpr std::uint64_t kRateAt = 24;
constexpr std::uint64_t kLengthAt = 32;
constexpr std::uint64_t kBufferSizeAt = 36;
constexpr std::uint64_t kSampleSizeAt = 44;
constexpr std::uint32_t kStreamFormat = MakeFourCC('s', 't', 'r', 'f');
constexpr std::uint32_t kSuperIndex = MakeFourCC('i', 'n', 'd', 'x');
constexpr std::uint32_t kStreamName = MakeFourCC('s', 't', 'r', 'n');
constexpr std::uint32_t kOdmlList = MakeFourCC('o', 'd', 'm', 'l');
constexpr std::uint32_t kOdmlHeader = MakeFourCC('d', 'm', 'l', 'h');
// A bitmap header with a full colour table, or a sound format, fits with room to spare.
constexpr std::uint32_t kLongestFormat = 64 * 1024;

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
    MovieStreamInfo info;
    std::optional<Chunk> superIndex;
};

struct IndexLayout {
    std::uint64_t microsecondsPerFrameAt = 0; // 0 without a main header
    std::uint32_t microsecondsPerFrame = 0;
    std::uint64_t indexAt = 0;
    std::uint64_t base = 0; // what the entries' offsets count from
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
        StreamHeader stream;
        stream.lengthAt = header->data() + kLengthAt;
        stream.info.type = ReadLittle32(fields.data());
        stream.info.handler = ReadLittle32(fields.data() + kHandlerAt);
        stream.info.scale = ReadLittle32(fields.data() + kScaleAt);
        stream.info.rate = ReadLittle32(fields.data() + kRateAt);
        stream.info.length = ReadLittle32(fields.data() + kLengthAt);
        stream.info.suggestedBufferSize = ReadLittle32(fields.data() + kBufferSizeAt);
        stream.info.sampleSize = ReadLittle32(fields.data() + kSampleSizeAt);
        if (const Chunk* format = Find(*parts, kStreamFormat); format && format->size <= kLongestFormat) {
            stream.info.format.resize(format->size);
            if (!ReadAt(in, format->data(), stream.info.format.data(), format->size)) {
                return {};
            }
        }
        if (const Chunk* name = Find(*parts, kStreamName); name && name->size <= kLongestFormat) {
            std::string text(name->size, '\0');
            if (!ReadAt(in, name->data(), text.data(), text.size())) {
                return {};
            }
            stream.info.name = text.substr(0, text.find('\0'));
        }
        if (const Chunk* index = Find(*parts, kSuperIndex)) {
            stream.superIndex = *index;
        }
        streams.push_back(std::move(stream));
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

std::optional<IndexLayout> ReadLayout(std::istream& in)
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
    if (!headerList || !movie || !index || index->size % avi::kLegacyIndexEntry != 0) {
        return {};
    }
    IndexLayout layout;
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
    for (std::size_t at = 0; at < bytes.size(); at += avi::kLegacyIndexEntry) {
        const unsigned char* entry = bytes.data() + at;
        layout.entries.push_back({ReadLittle32(entry), ReadLittle32(entry + 4), ReadLittle32(entry + 8), ReadLittle32(entry + 12)});
    }
    if (layout.entries.empty()) {
        return layout;
    }
    // Offsets count from the list's type, or from the start of the file.
    layout.base = PointsAtItsChunk(in, *movie, movie->data(), layout.entries.front()) ? movie->data() : 0;
    for (const MovieIndexEntry& entry : layout.entries) {
        if (!PointsAtItsChunk(in, *movie, layout.base, entry)) {
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

bool IsStandardIndexOf(std::uint32_t id, std::size_t stream)
{
    const auto [tens, ones] = avi::StreamDigits(stream);
    // Both namings are met in files: 'ix00' and '00ix'.
    return id == MakeFourCC('i', 'x', tens, ones) || id == MakeFourCC(tens, ones, 'i', 'x');
}

// The chunks one standard index lists, each checked against the chunk's own header. A stream's
// chunks follow one another in the file, which also keeps indexes that list the same chunks over
// and over from making a small file a huge list.
bool ReadStandardIndex(std::istream& in, std::uint64_t at, std::size_t stream, std::uint64_t fileSize,
                       std::vector<MovieChunkEntry>& chunks)
{
    const std::optional<Chunk> index = ChunkAt(in, at, fileSize);
    std::array<unsigned char, avi::kIndexHead> head{};
    if (!index || !IsStandardIndexOf(index->id, stream) || index->size < head.size() ||
        !ReadAt(in, index->data(), head.data(), head.size())) {
        return false;
    }
    const std::uint32_t count = ReadLittle32(head.data() + 4);
    // Two longs an entry, an index of chunks (type 1, no sub type).
    if (head[0] != 2 || head[1] != 0 || head[2] != 0 || head[3] != 1 ||
        count > (index->size - head.size()) / avi::kStandardIndexEntry) {
        return false;
    }
    const std::uint64_t base = ReadLittle32(head.data() + 12) | std::uint64_t{ReadLittle32(head.data() + 16)} << 32;
    std::vector<unsigned char> entries(count * avi::kStandardIndexEntry);
    if (!ReadAt(in, index->data() + head.size(), entries.data(), entries.size())) {
        return false;
    }
    const auto [tens, ones] = avi::StreamDigits(stream);
    for (std::size_t i = 0; i < entries.size(); i += avi::kStandardIndexEntry) {
        const std::uint32_t field = ReadLittle32(entries.data() + i + 4);
        const MovieChunkEntry entry{base + ReadLittle32(entries.data() + i), field & ~avi::kNotKeyFrame,
                                    (field & avi::kNotKeyFrame) == 0};
        std::array<unsigned char, 8> header{};
        const std::uint64_t after = chunks.empty() ? 8 : chunks.back().offset + chunks.back().size + 8;
        if (entry.offset < after || entry.offset > fileSize || fileSize - entry.offset < entry.size ||
            !ReadAt(in, entry.offset - 8, header.data(), header.size()) || header[0] != tens || header[1] != ones ||
            ReadLittle32(header.data() + 4) != entry.size) {
            return false;
        }
        chunks.push_back(entry);
    }
    return true;
}

// Every chunk of the stream through its super index.
bool ReadSuperIndex(std::istream& in, const Chunk& index, std::size_t stream, std::uint64_t fileSize,
                    std::vector<MovieChunkEntry>& chunks)
{
    std::array<unsigned char, avi::kIndexHead> head{};
    if (index.size < head.size() || !ReadAt(in, index.data(), head.data(), head.size())) {
        return false;
    }
    const std::uint32_t count = ReadLittle32(head.data() + 4);
    // Four longs an entry, an index of indexes (type 0).
    if (head[0] != 4 || head[1] != 0 || head[3] != 0 || count > (index.size - head.size()) / avi::kSuperIndexEntry) {
        return false;
    }
    std::vector<unsigned char> entries(count * avi::kSuperIndexEntry);
    if (!ReadAt(in, index.data() + head.size(), entries.data(), entries.size())) {
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); i += avi::kSuperIndexEntry) {
        const std::uint64_t at = ReadLittle32(entries.data() + i) | std::uint64_t{ReadLittle32(entries.data() + i + 4)} << 32;
        if (!ReadStandardIndex(in, at, stream, fileSize, chunks)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<std::vector<MovieIndexEntry>> ReadMovieIndex(std::istream& movie)
{
    std::optional<IndexLayout> layout = ReadLayout(movie);
    if (!layout) {
        return {};
    }
    return std::move(layout->entries);
}

std::optional<MovieContents> ReadMovie(std::istream& in, MovieIndexChoice choice)
{
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0) {
        return {};
    }
    const auto fileSize = static_cast<std::uint64_t>(end);
    const std::optional<Chunk> riff = ChunkAt(in, 0, fileSize);
    if (!riff || riff->id != kRiff || riff->form != kAvi) {
        return {};
    }
    const auto top = Children(in, *riff);
    const Chunk* headerList = top ? Find(*top, kList, kHeaderList) : nullptr;
    const auto headers = headerList ? Children(in, *headerList) : std::nullopt;
    const Chunk* main = headers ? Find(*headers, kMainHeader) : nullptr;
    std::array<unsigned char, 20> fields{};
    if (!main || main->size < fields.size() || !ReadAt(in, main->data(), fields.data(), fields.size())) {
        return {};
    }
    auto streams = ReadStreamHeaders(in, *headerList);
    if (!streams) {
        return {};
    }
    MovieContents contents;
    contents.microsecondsPerFrame = ReadLittle32(fields.data());
    contents.flags = ReadLittle32(fields.data() + 12);
    contents.firstPartFrames = ReadLittle32(fields.data() + 16);
    contents.totalFrames = contents.firstPartFrames;
    const Chunk* odml = Find(*headers, kList, kOdmlList);
    if (const auto odmlParts = odml ? Children(in, *odml) : std::nullopt) {
        std::array<unsigned char, 4> total{};
        if (const Chunk* dmlh = Find(*odmlParts, kOdmlHeader);
            dmlh && dmlh->size >= total.size() && ReadAt(in, dmlh->data(), total.data(), total.size())) {
            contents.totalFrames = ReadLittle32(total.data());
        }
    }
    contents.chunks.resize(streams->size());
    contents.openDml = choice == MovieIndexChoice::Best &&
                       std::any_of(streams->begin(), streams->end(), [](const StreamHeader& s) { return s.superIndex.has_value(); });
    if (contents.openDml) {
        for (std::size_t i = 0; i < streams->size(); ++i) {
            const StreamHeader& stream = (*streams)[i];
            if (stream.superIndex && !ReadSuperIndex(in, *stream.superIndex, i, fileSize, contents.chunks[i])) {
                return {};
            }
        }
    } else {
        const std::optional<IndexLayout> layout = ReadLayout(in);
        if (!layout) {
            return {};
        }
        for (const MovieIndexEntry& entry : layout->entries) {
            if (const auto stream = StreamOf(entry); stream && *stream < streams->size()) {
                contents.chunks[*stream].push_back({layout->base + entry.offset + 8, entry.length, (entry.flags & avi::kKeyFrame) != 0});
            }
        }
    }
    for (StreamHeader& stream : *streams) {
        contents.streams.push_back(std::move(stream.info));
    }
    return contents;
}
bool TidyMovieIndex(std::iostream& movie)
{
    const std::optional<IndexLayout> layout = ReadLayout(movie);
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
        std::vector<unsigned char> bytes(ordered.size() * avi::kLegacyIndexEntry);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            unsigned char* entry = bytes.data() + i * avi::kLegacyIndexEntry;
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
        if (stream.info.sampleSize == 0 || streamBytes[i] % stream.info.sampleSize != 0) {
            continue;
        }
        const std::uint64_t samples = streamBytes[i] / stream.info.sampleSize;
        if (samples != stream.info.length && samples <= std::numeric_limits<std::uint32_t>::max()) {
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
                                    [](const StreamHeader& s) { return s.info.type == avi::kVideo && s.info.rate != 0; });
    if (layout->microsecondsPerFrameAt != 0 && video != layout->streams.end()) {
        const std::uint64_t period = (std::uint64_t{1000000} * video->info.scale + video->info.rate / 2) / video->info.rate;
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
