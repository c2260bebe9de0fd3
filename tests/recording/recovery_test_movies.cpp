#include "recovery_test_movies.h"

#include <algorithm>
#include <cstring>
#include <optional>

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
                                    const std::string& soundPath)
{
    std::vector<std::uint8_t> out = EncodeJournalStream(stream);
    if (!soundPath.empty()) {
        const auto sound = EncodeJournalSound(soundPath);
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

std::vector<std::uint8_t> Rebuild(const std::vector<std::uint8_t>& movie, const std::vector<std::uint8_t>& journal)
{
    const std::optional<RecordingJournal> parsed = ParseJournal(journal);
    if (!parsed) {
        return {};
    }
    const ReadAt read = ReaderOf(movie);
    const auto frames = MatchFrames(parsed->frames, FindFrameChunks(read, movie.size()));
    std::vector<std::uint8_t> out;
    const bool written = WriteRecoveredMovie(parsed->stream, frames, read, [&out](const void* bytes, std::size_t n) {
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        out.insert(out.end(), first, first + n);
        return true;
    });
    return written ? out : std::vector<std::uint8_t>{};
}

std::optional<ParsedMovie> ReadMovie(const std::vector<std::uint8_t>& bytes)
{
    const auto u32 = [&bytes](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    const auto is = [&bytes](std::size_t at, const char* tag) { return std::memcmp(bytes.data() + at, tag, 4) == 0; };
    if (bytes.size() < 12 || !is(0, "RIFF") || u32(4) != bytes.size() - 8 || !is(8, "AVI ")) {
        return std::nullopt;
    }
    ParsedMovie movie;
    std::size_t movi = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = u32(at + 4);
        if (at + 8 + size > bytes.size()) {
            return std::nullopt;
        }
        if (is(at, "LIST") && is(at + 8, "hdrl")) {
            const std::size_t avih = at + 12;
            const std::size_t strh = avih + 8 + 56 + 12;
            if (!is(avih, "avih") || !is(strh, "strh") || !is(strh + 8, "vids")) {
                return std::nullopt;
            }
            movie.totalFrames = u32(avih + 8 + 16);
            movie.scale = u32(strh + 8 + 20);
            movie.rate = u32(strh + 8 + 24);
            movie.length = u32(strh + 8 + 32);
            const std::size_t strf = strh + 8 + 56;
            movie.format.assign(bytes.begin() + static_cast<long>(strf + 8),
                                bytes.begin() + static_cast<long>(strf + 8 + u32(strf + 4)));
        } else if (is(at, "LIST") && is(at + 8, "movi")) {
            movi = at + 8;
            for (std::size_t c = at + 12; c < at + 8 + size;) {
                const std::uint32_t chunk = u32(c + 4);
                movie.chunks.push_back({std::string(bytes.begin() + static_cast<long>(c), bytes.begin() + static_cast<long>(c + 4)),
                                        std::vector<std::uint8_t>(bytes.begin() + static_cast<long>(c + 8),
                                                                  bytes.begin() + static_cast<long>(c + 8 + chunk))});
                c += 8 + chunk + chunk % 2;
            }
        } else if (is(at, "idx1")) {
            for (std::size_t e = at + 8; e + 16 <= at + 8 + size; e += 16) {
                movie.index.push_back({u32(e + 4), u32(e + 8), u32(e + 12)});
                // Each entry points at its chunk, counted from the list's "movi".
                const std::size_t chunk = movi + u32(e + 8);
                if (movi == 0 || chunk + 8 > bytes.size() || u32(chunk + 4) != u32(e + 12)) {
                    return std::nullopt;
                }
            }
        }
        at += 8 + size + size % 2;
    }
    return movie;
}
