// The movie writer's files read back by the program's own reader: every chunk where the indexes say,
// across parts, with the counts in the headers; the old index alone gives the first part.
#include "audio/movie_index.h"
#include "audio/odml_writer.h"
#include "common/fourcc.h"
#include "common/little_endian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>

namespace {
class MemorySink : public MovieSink {
public:
    bool Append(std::span<const std::uint8_t> data) override
    {
        if (bytes.size() + data.size() > room) {
            return false;
        }
        bytes.insert(bytes.end(), data.begin(), data.end());
        return true;
    }
    bool Overwrite(std::uint64_t offset, std::span<const std::uint8_t> data) override
    {
        if (!overwrites || offset + data.size() > bytes.size()) {
            return false;
        }
        std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        return true;
    }
    bool Truncate(std::uint64_t end) override
    {
        // The bytes stay taken, as a file's blocks do until it is closed.
        room = std::max(room, bytes.size());
        bytes.resize(std::min<std::size_t>(bytes.size(), end));
        return true;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t room = std::numeric_limits<std::size_t>::max();
    bool overwrites = true;
};

std::vector<std::uint8_t> Bitmap(std::uint32_t compression)
{
    std::vector<std::uint8_t> format(40, 0);
    WriteLittle32(format.data(), 40);
    WriteLittle32(format.data() + 4, 64);
    WriteLittle32(format.data() + 8, 48);
    format[12] = 1;
    format[14] = 24;
    WriteLittle32(format.data() + 16, compression);
    return format;
}

MovieStream Video(std::uint32_t compression = MakeFourCC('M', 'S', 'V', 'C'))
{
    return {MakeFourCC('v', 'i', 'd', 's'), compression, 1, 30, 0, Bitmap(compression)};
}

MovieStream Sound(std::string name = {})
{
    // 22.05 kHz stereo 16-bit PCM: a sample is a 4-byte block.
    return {MakeFourCC('a', 'u', 'd', 's'), 0, 4, 88200, 4,
            {1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 4, 0, 16, 0, 0, 0}, std::move(name)};
}

struct Added {
    std::vector<std::uint8_t> data;
    bool key;
};

std::optional<MovieContents> Read(const std::vector<std::uint8_t>& bytes, MovieIndexChoice choice = MovieIndexChoice::Best)
{
    std::istringstream file(std::string(bytes.begin(), bytes.end()));
    return ReadMovie(file, choice);
}

// The parts of the file: type and size of each top-level RIFF.
std::vector<std::pair<std::string, std::uint64_t>> Parts(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::pair<std::string, std::uint64_t>> parts;
    for (std::uint64_t at = 0; at + 12 <= bytes.size();) {
        const std::uint64_t size = ReadLittle32(bytes.data() + at + 4);
        parts.emplace_back(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at) + 8,
                                       bytes.begin() + static_cast<std::ptrdiff_t>(at) + 12),
                           size + 8);
        at += size + 8;
    }
    return parts;
}

void ExpectChunks(const std::vector<std::uint8_t>& file, const std::vector<MovieChunkEntry>& read,
                  const std::vector<Added>& added, std::size_t count)
{
    ASSERT_EQ(read.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_LE(read[i].offset + read[i].size, file.size());
        EXPECT_TRUE(std::equal(added[i].data.begin(), added[i].data.end(), file.begin() + static_cast<std::ptrdiff_t>(read[i].offset),
                               file.begin() + static_cast<std::ptrdiff_t>(read[i].offset + read[i].size)) &&
                    read[i].size == added[i].data.size())
            << "chunk " << i;
        EXPECT_EQ(read[i].key, added[i].key) << "chunk " << i;
    }
}
} // namespace

TEST(OdmlWriter, EveryChunkIsReadBackAcrossParts)
{
    int severalParts = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const bool withSound = seed % 3 != 0;
        // Some with two named sound tracks, names of odd and even length.
        const std::size_t tracks = withSound ? 1 + seed % 2 : 0;
        std::vector<MovieStream> streams = {Video(seed % 4 == 0 ? 0 : MakeFourCC('M', 'S', 'V', 'C'))};
        if (tracks == 1) {
            streams.push_back(Sound());
        } else if (tracks == 2) {
            streams.push_back(Sound("Microphone"));
            streams.push_back(Sound(seed % 4 < 2 ? "Computer sound" : "Sound"));
        }
        MovieLayout layout;
        layout.partBytes = 16384 + random() % 40000;
        layout.partChunks = 3 + random() % 60;
        layout.parts = 200;
        layout.interleaved = withSound;
        MemorySink sink;
        OdmlWriter writer(sink, streams, layout);
        ASSERT_TRUE(writer.Start());
        std::vector<std::vector<Added>> added(streams.size());
        const int chunks = 50 + static_cast<int>(random() % 400);
        for (int n = 0; n < chunks; ++n) {
            const std::size_t stream = withSound && random() % 3 == 0 ? 1 + random() % tracks : 0;
            // Empty video chunks are slots a frame was not written on.
            const std::size_t size = stream > 0 ? 4 * (1 + random() % 300) : (random() % 4 == 0 ? 0 : random() % 3001);
            Added chunk{std::vector<std::uint8_t>(size), stream > 0 || (size > 0 && random() % 5 == 0)};
            for (std::uint8_t& b : chunk.data) {
                b = static_cast<std::uint8_t>(random());
            }
            ASSERT_EQ(writer.Add(stream, chunk.data, chunk.key), AddResult::Added);
            added[stream].push_back(std::move(chunk));
        }
        ASSERT_TRUE(writer.Finish());
        ASSERT_EQ(writer.Bytes(), sink.bytes.size());

        const auto parts = Parts(sink.bytes);
        ASSERT_FALSE(parts.empty());
        std::uint64_t partTotal = 0;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            EXPECT_EQ(parts[p].first, p == 0 ? "AVI " : "AVIX");
            EXPECT_LE(parts[p].second, layout.partBytes);
            partTotal += parts[p].second;
        }
        EXPECT_EQ(partTotal, sink.bytes.size());
        severalParts += parts.size() > 2 ? 1 : 0;

        const auto movie = Read(sink.bytes);
        ASSERT_TRUE(movie);
        EXPECT_TRUE(movie->openDml);
        ASSERT_EQ(movie->streams.size(), streams.size());
        for (std::size_t s = 0; s < streams.size(); ++s) {
            ExpectChunks(sink.bytes, movie->chunks[s], added[s], added[s].size());
            std::uint32_t largest = 0;
            std::uint64_t bytes = 0;
            for (const Added& chunk : added[s]) {
                largest = std::max(largest, static_cast<std::uint32_t>(chunk.data.size()));
                bytes += chunk.data.size();
            }
            const MovieStreamInfo& info = movie->streams[s];
            EXPECT_EQ(info.length, s == 0 ? added[s].size() : bytes / 4);
            EXPECT_EQ(info.suggestedBufferSize, largest);
            EXPECT_EQ(info.format, streams[s].format);
            EXPECT_EQ(info.rate, streams[s].rate);
            EXPECT_EQ(info.name, streams[s].name);
        }
        EXPECT_EQ(movie->totalFrames, added[0].size());
        EXPECT_EQ(movie->microsecondsPerFrame, 33333u);
        EXPECT_EQ((movie->flags & 0x100) != 0, withSound);

        // An AVI 1.0 reader sees the first part whole, and the main header counts its frames.
        const auto legacy = Read(sink.bytes, MovieIndexChoice::LegacyOnly);
        ASSERT_TRUE(legacy);
        EXPECT_FALSE(legacy->openDml);
        EXPECT_EQ(legacy->chunks[0].size(), movie->firstPartFrames);
        for (std::size_t s = 0; s < streams.size(); ++s) {
            ExpectChunks(sink.bytes, legacy->chunks[s], added[s], legacy->chunks[s].size());
            if (parts.size() == 1) {
                EXPECT_EQ(legacy->chunks[s].size(), added[s].size());
            }
        }
    }
    EXPECT_GE(severalParts, 30);
}

TEST(OdmlWriter, AFullSuperIndexEndsTheMovieWhole)
{
    MovieLayout layout;
    layout.partBytes = 4096;
    layout.parts = 3;
    MemorySink sink;
    OdmlWriter writer(sink, {Video()}, layout);
    ASSERT_TRUE(writer.Start());
    std::vector<Added> added;
    AddResult result = AddResult::Added;
    for (int n = 0; n < 1000 && result == AddResult::Added; ++n) {
        Added chunk{std::vector<std::uint8_t>(500, static_cast<std::uint8_t>(n)), n % 10 == 0};
        result = writer.Add(0, chunk.data, chunk.key);
        if (result == AddResult::Added) {
            added.push_back(std::move(chunk));
        }
    }
    ASSERT_EQ(result, AddResult::Full);
    const std::size_t size = sink.bytes.size();
    EXPECT_EQ(writer.Add(0, added[0].data, true), AddResult::Full);
    EXPECT_EQ(sink.bytes.size(), size) << "nothing written once full";
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(Parts(sink.bytes).size(), 3u);
    const auto movie = Read(sink.bytes);
    ASSERT_TRUE(movie);
    ExpectChunks(sink.bytes, movie->chunks[0], added, added.size());
}

// A full disk: what was written before the refused write stays a movie. Its index takes the
// place of the last chunks where it has to.
TEST(OdmlWriter, ARefusedWriteLeavesTheMovieBeforeIt)
{
    std::mt19937 random(3);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const bool eachChunkWritten = round % 2 == 0;
        MovieLayout layout;
        layout.partBytes = 16384;
        layout.parts = 64;
        MemorySink sink;
        sink.room = 2000 + random() % 200000;
        OdmlWriter writer(sink, {Video()}, layout);
        if (!writer.Start()) {
            EXPECT_LT(sink.room, 3000u);
            EXPECT_FALSE(writer.Finish());
            continue;
        }
        std::vector<Added> added;
        for (int n = 0; n < 100; ++n) {
            Added chunk{std::vector<std::uint8_t>(random() % 3000, static_cast<std::uint8_t>(n)), n % 7 == 0};
            const AddResult result = writer.Add(0, chunk.data, chunk.key);
            if (result == AddResult::Added && (!eachChunkWritten || writer.Flush())) {
                added.push_back(std::move(chunk));
            } else if (eachChunkWritten || result != AddResult::Added) {
                break;
            }
        }
        const bool roomForTheIndex = round % 3 != 0;
        if (roomForTheIndex) {
            sink.room += 64 * 1024;
        }
        ASSERT_TRUE(writer.Finish());
        const auto movie = Read(sink.bytes);
        ASSERT_TRUE(movie);
        ASSERT_LE(movie->chunks[0].size(), added.size());
        ExpectChunks(sink.bytes, movie->chunks[0], added,
                     eachChunkWritten && roomForTheIndex ? added.size() : movie->chunks[0].size());
        EXPECT_EQ(movie->totalFrames, movie->chunks[0].size());
    }
}

TEST(OdmlWriter, PartsForAMovieOfKnownSizeAreEnough)
{
    std::mt19937 random(5);
    for (int round = 0; round < 30; ++round) {
        MovieLayout layout;
        layout.partBytes = 4096 + random() % 20000;
        layout.partChunks = 2 + random() % 50;
        layout.parts = 100000;
        const std::uint32_t largest = 1 + random() % 3000;
        std::uint64_t bytes = 0;
        std::vector<std::vector<std::uint8_t>> chunks;
        for (int n = 0, count = static_cast<int>(random() % 500); n < count; ++n) {
            chunks.emplace_back(random() % (largest + 1));
            bytes += chunks.back().size();
        }
        layout.parts = MoviePartsFor(bytes, chunks.size(), largest, layout);
        MemorySink sink;
        OdmlWriter writer(sink, {Video()}, layout);
        ASSERT_TRUE(writer.Start());
        for (const auto& chunk : chunks) {
            ASSERT_EQ(writer.Add(0, chunk, false), AddResult::Added) << "round " << round;
        }
        ASSERT_TRUE(writer.Finish());
    }
}

// Under the sanitizers: a damaged movie of several parts is refused, or read with every chunk in
// the file after the one before it. Indexes listed twice are refused.
TEST(OdmlWriter, DamagedIndexesNeverBreakTheReader)
{
    MovieLayout layout;
    layout.partBytes = 6000;
    layout.parts = 16;
    MemorySink sink;
    OdmlWriter writer(sink, {Video(), Sound()}, layout);
    ASSERT_TRUE(writer.Start());
    for (int n = 0; n < 60; ++n) {
        writer.Add(n % 2, std::vector<std::uint8_t>(4 * (n % 50), static_cast<std::uint8_t>(n)), n % 6 == 0);
    }
    ASSERT_TRUE(writer.Finish());
    const std::vector<std::uint8_t> original = sink.bytes;

    std::vector<std::uint8_t> twice = original;
    const std::size_t index = std::search(twice.begin(), twice.end(), std::begin("indx"), std::end("indx") - 1) - twice.begin();
    ASSERT_GE(ReadLittle32(twice.data() + index + 12), 2u);
    std::copy_n(twice.begin() + static_cast<std::ptrdiff_t>(index + 32), 16, twice.begin() + static_cast<std::ptrdiff_t>(index + 48));
    EXPECT_FALSE(Read(twice)) << "the first part's index listed twice";

    std::mt19937 random(17);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> movie = original;
        for (int flips = 1 + static_cast<int>(random() % 4); flips > 0; --flips) {
            movie[random() % movie.size()] = static_cast<std::uint8_t>(random());
        }
        if (const auto read = Read(movie)) {
            for (const auto& chunks : read->chunks) {
                std::uint64_t after = 8;
                for (const MovieChunkEntry& chunk : chunks) {
                    ASSERT_GE(chunk.offset, after);
                    ASSERT_LE(chunk.offset + chunk.size, movie.size());
                    after = chunk.offset + chunk.size + 8;
                }
            }
        }
    }
}
