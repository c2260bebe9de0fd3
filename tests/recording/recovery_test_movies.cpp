#include "recovery_test_movies.h"

#include "common/fourcc.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>

namespace {
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChunk(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data)
{
    out.insert(out.end(), {'0', '0', 'd', 'c'});
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2) {
        out.push_back(0);
    }
}
} // namespace

JournalStream TestStream(std::uint32_t width, std::uint32_t height, std::uint32_t rate)
{
    JournalStream stream{rate, 1, 0x4356534D /* "MSVC" */, {}};
    for (const std::uint32_t v : {40u, width, height}) {
        PutU32(stream.format, v);
    }
    stream.format.insert(stream.format.end(), {1, 0, 16, 0, 'C', 'R', 'A', 'M'});
    for (int i = 0; i < 5; ++i) {
        PutU32(stream.format, 0);
    }
    return stream;
}

std::vector<TestFrame> TestFrames(const std::vector<std::uint32_t>& positions, std::size_t size)
{
    std::vector<TestFrame> frames;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        std::vector<std::uint8_t> data(size + i % 3); // odd sizes too
        for (std::size_t b = 0; b < data.size(); ++b) {
            data[b] = static_cast<std::uint8_t>(i * 31 + b);
        }
        frames.push_back({positions[i], data, i % 4 == 0});
    }
    return frames;
}

std::vector<std::uint8_t> UnclosedMovie(const std::vector<TestFrame>& frames)
{
    std::vector<std::uint8_t> out(2048, 0);
    std::uint32_t slot = 0;
    for (const TestFrame& frame : frames) {
        for (; slot < frame.position; ++slot) {
            PutChunk(out, {});
        }
        PutChunk(out, frame.data);
        ++slot;
    }
    return out;
}

std::vector<std::uint8_t> JournalOf(const JournalStream& stream, const std::vector<TestFrame>& frames,
                                    const std::vector<std::string>& soundPaths)
{
    std::vector<std::uint8_t> out = EncodeJournalStream(stream);
    for (const std::string& path : soundPaths) {
        const auto sound = EncodeJournalSound(path);
        out.insert(out.end(), sound.begin(), sound.end());
    }
    for (const TestFrame& frame : frames) {
        const auto record =
            EncodeJournalFrame({frame.position, static_cast<std::uint32_t>(frame.data.size()), frame.key});
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

ReadAt ReaderOf(const std::vector<std::uint8_t>& bytes)
{
    return [&bytes](std::uint64_t offset, void* into, std::size_t count) {
        if (offset > bytes.size() || bytes.size() - offset < count) {
            return false;
        }
        std::memcpy(into, bytes.data() + offset, count);
        return true;
    };
}

std::vector<std::uint8_t> UnfinishedMovie(const JournalStream& stream, const std::vector<TestFrame>& frames,
                                          std::uint64_t partBytes)
{
    MemoryMovie movie;
    MovieLayout layout;
    layout.partBytes = partBytes;
    OdmlWriter writer(movie, {{MakeFourCC('v', 'i', 'd', 's'), stream.handler, stream.scale, stream.rate, 0, stream.format}},
                      layout);
    writer.Start();
    std::uint32_t slot = 0;
    for (const TestFrame& frame : frames) {
        for (; slot < frame.position; ++slot) {
            writer.Add(0, {}, false);
        }
        writer.Add(0, frame.data, frame.key);
        writer.Flush();
        ++slot;
    }
    return movie.bytes;
}

bool MemoryMovie::Append(std::span<const std::uint8_t> data)
{
    bytes.insert(bytes.end(), data.begin(), data.end());
    return true;
}

bool MemoryMovie::Overwrite(std::uint64_t offset, std::span<const std::uint8_t> data)
{
    if (offset > bytes.size() || bytes.size() - offset < data.size()) {
        return false;
    }
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool MemoryMovie::Truncate(std::uint64_t end)
{
    bytes.resize(std::min<std::size_t>(bytes.size(), end));
    return true;
}

std::vector<std::uint8_t> Rebuild(const std::vector<std::uint8_t>& movie, const std::vector<std::uint8_t>& journal)
{
    const std::optional<RecordingJournal> parsed = ParseJournal(journal);
    if (!parsed) {
        return {};
    }
    const ReadAt read = ReaderOf(movie);
    const auto frames = MatchFrames(parsed->frames, FindFrameChunks(read, movie.size()));
    MemoryMovie out;
    return WriteRecoveredMovie(parsed->stream, frames, read, out) ? out.bytes : std::vector<std::uint8_t>{};
}

std::optional<MovieContents> ReadBack(const std::vector<std::uint8_t>& bytes)
{
    std::istringstream file(std::string(bytes.begin(), bytes.end()));
    return ReadMovie(file);
}

std::vector<std::uint8_t> DataOf(const std::vector<std::uint8_t>& bytes, const MovieChunkEntry& chunk)
{
    return {bytes.begin() + static_cast<std::ptrdiff_t>(chunk.offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(chunk.offset + chunk.size)};
}
