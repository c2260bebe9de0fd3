// The index of a finished movie put into file order, with audio lengths counted in samples and the
// frame period taken from the video rate; files that are not what they claim are left alone.
#include "audio/movie_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <sstream>
#include <string>

namespace {
std::string U32(std::uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

std::string Chunk(const std::string& id, const std::string& data)
{
    return id + U32(static_cast<std::uint32_t>(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

std::string List(const std::string& id, const std::string& form, const std::string& children)
{
    return Chunk(id, form + children);
}

std::string StreamHeader(const std::string& type, std::uint32_t sampleSize, std::uint32_t length)
{
    std::string fields = type + "none" + U32(0) + U32(0) + U32(0) + U32(1) + U32(10) + U32(0) + U32(length) + U32(0) +
                         U32(0xFFFFFFFF) + U32(sampleSize) + std::string(8, '\0');
    return List("LIST", "strl", Chunk("strh", fields) + Chunk("strf", std::string(18, '\0')));
}

struct Piece {
    std::string id;
    std::string data;
};
// Video and PCM audio in file order, as a writer interleaves them.
const Piece kPieces[] = {
    {"01wb", std::string(8, 'a')}, {"00dc", "frame"}, {"00dc", ""}, {"01wb", std::string(12, 'b')}, {"00dc", "abc"},
};
constexpr std::uint32_t kAudioSamples = (8 + 12) / 4;

struct Shape {
    bool listedByStream = true; // all video entries, then all audio ones
    bool offsetsFromFileStart = false;
    std::uint32_t audioLength = 2; // in chunks
    std::uint32_t microsecondsPerFrame = 0; // right at 10 frames/s: 100000
};

std::string Movie(const Shape& shape)
{
    const std::string header = List("LIST", "hdrl",
                                    Chunk("avih", U32(shape.microsecondsPerFrame) + std::string(52, '\0')) + StreamHeader("vids", 0, 3) +
                                        StreamHeader("auds", 4, shape.audioLength));
    std::string chunks;
    std::vector<std::string> entries;
    const std::size_t base = shape.offsetsFromFileStart ? 12 + header.size() + 8 : 0; // where "movi" is
    for (const Piece& piece : kPieces) {
        const auto offset = static_cast<std::uint32_t>(base + 4 + chunks.size());
        entries.push_back(piece.id + U32(0x10) + U32(offset) + U32(static_cast<std::uint32_t>(piece.data.size())));
        chunks += Chunk(piece.id, piece.data);
    }
    std::string index;
    for (const char* stream : {"00", "01"}) {
        for (const std::string& entry : entries) {
            if (!shape.listedByStream || entry.compare(0, 2, stream) == 0) {
                index += entry;
            }
        }
        if (!shape.listedByStream) {
            break;
        }
    }
    return List("RIFF", "AVI ", header + List("LIST", "movi", chunks) + Chunk("idx1", index));
}

std::string Tidied(const std::string& bytes, bool& tidied)
{
    std::stringstream file(bytes, std::ios::in | std::ios::out | std::ios::binary);
    tidied = TidyMovieIndex(file);
    return file.str();
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) { bytes.replace(at, 4, U32(value)); }
std::size_t IndexAt(const std::string& bytes) { return bytes.rfind("idx1") + 8; }
} // namespace

TEST(MovieIndex, EntriesFollowTheFileAndSoundIsCountedInSamples)
{
    const std::string tidy = Movie({false, false, kAudioSamples, 100000});
    struct Case {
        const char* name;
        std::string movie;
        std::string expected;
    } const cases[] = {
        {"listed by stream, length in chunks", Movie({}), tidy},
        {"already tidy", tidy, tidy},
        {"offsets from the file's start", Movie({true, true, 2}), Movie({false, true, kAudioSamples, 100000})},
        {"frame period scaled wrongly", Movie({false, false, kAudioSamples, 100000000}), tidy},
        {"trailing bytes after the movie", Movie({}) + std::string(16, '\0'), tidy + std::string(16, '\0')},
    };
    for (const Case& c : cases) {
        bool tidied = false;
        EXPECT_EQ(Tidied(c.movie, tidied), c.expected) << c.name;
        EXPECT_TRUE(tidied) << c.name;
    }
    std::istringstream file(tidy);
    const auto entries = ReadMovieIndex(file);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), std::size(kPieces));
    for (std::size_t i = 0; i < entries->size(); ++i) {
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&(*entries)[i].id), 4), kPieces[i].id);
        EXPECT_EQ((*entries)[i].length, kPieces[i].data.size());
    }
}

TEST(MovieIndex, FileThatIsNotWhatItClaimsIsLeftAlone)
{
    struct Case {
        const char* name;
        std::function<void(std::string&)> spoil;
    } const cases[] = {
        {"not a RIFF file", [](std::string& m) { m.replace(0, 4, "RIFX"); }},
        {"a sound file", [](std::string& m) { m.replace(8, 4, "WAVE"); }},
        {"cut short", [](std::string& m) { m.resize(m.size() - 10); }},
        {"no index", [](std::string& m) { m.replace(m.rfind("idx1"), 4, "JUNK"); }},
        {"index of partial entries", [](std::string& m) { Put32(m, IndexAt(m) - 4, 5 * 16 - 4); }},
        {"entry beyond the movie list", [](std::string& m) { Put32(m, IndexAt(m) + 8, 0x10000); }},
        {"entry naming another chunk", [](std::string& m) { m.replace(IndexAt(m), 4, "01wb"); }},
        {"entry of another length", [](std::string& m) { Put32(m, IndexAt(m) + 12, 4); }},
        {"stream without a header", [](std::string& m) { m.replace(m.find("strh"), 4, "strx"); }},
        {"no header list", [](std::string& m) { m.replace(m.find("hdrl"), 4, "hdrx"); }},
    };
    for (const Case& c : cases) {
        std::string movie = Movie({});
        c.spoil(movie);
        bool tidied = true;
        EXPECT_EQ(Tidied(movie, tidied), movie) << c.name;
        EXPECT_FALSE(tidied) << c.name;
        std::istringstream file(movie);
        EXPECT_FALSE(ReadMovieIndex(file)) << c.name;
    }
}

// Under the sanitizers: damaged files are either refused untouched or left with an index in order.
TEST(MovieIndex, DamagedFilesNeverBreakTheReader)
{
    const std::string original = Movie({});
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        std::string movie = original;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
            movie[random() % movie.size()] = static_cast<char>(random());
        }
        if (round % 5 == 0) {
            movie.resize(random() % movie.size());
        }
        bool tidied = false;
        const std::string after = Tidied(movie, tidied);
        if (!tidied) {
            EXPECT_EQ(after, movie);
            continue;
        }
        std::istringstream file(after);
        const auto entries = ReadMovieIndex(file);
        ASSERT_TRUE(entries);
        for (std::size_t i = 1; i < entries->size(); ++i) {
            EXPECT_LE((*entries)[i - 1].offset, (*entries)[i].offset);
        }
    }
}
