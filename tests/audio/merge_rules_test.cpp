#include "audio/merge_rules.h"

#include <gtest/gtest.h>

#include <ostream>

TEST(MergeRules, InterleavePeriodInFramesOrMilliseconds)
{
    struct Case {
        double framesPerSecond;
        int factor;
        int unit;
        int period;
    } const cases[] = {
        {5, 100, 0, 1},    // half a frame is raised to one
        {200, 100, 0, 20}, // exact
        {15, 100, 0, 1},   // 1.5 truncates
        {29.97, 1000, 0, 29},
        {0, 100, 0, 1},
        {200, 7, 1, 7}, // frames: the factor whatever the rate
        {200, 0, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InterleavePeriod(c.framesPerSecond, c.factor, c.unit), c.period)
            << c.framesPerSecond << " fps, factor " << c.factor << ", unit " << c.unit;
    }
}

TEST(MergeRules, OnlyFatDisksLimitAMoviesSize)
{
    for (const char* name : {"FAT", "FAT12", "FAT16", "FAT32"}) {
        EXPECT_EQ(LargestFileOn(name), 0xFFFFFFFFu) << name;
    }
    for (const char* name : {"NTFS", "exFAT", "ReFS", ""}) {
        EXPECT_EQ(LargestFileOn(name), kNoFileLimit) << name;
    }
    const std::uint64_t fat = LargestFileOn("FAT32");
    EXPECT_TRUE(MergedMovieFits(3u << 30, 100u << 20, 100000, fat));
    EXPECT_FALSE(MergedMovieFits(4000u << 20, 100u << 20, 100000, fat));
    EXPECT_TRUE(MergedMovieFits(std::uint64_t{5} << 40, std::uint64_t{1} << 40, 1u << 30, kNoFileLimit));
    EXPECT_FALSE(MergedMovieFits(kNoFileLimit - 10, 20, 0, kNoFileLimit)) << "no overflow";
}

TEST(MergeRules, SizeLimitHoldsBothInputsWithRoomAndNoOverflow)
{
    EXPECT_GE(MergedSizeLimit(0, 0), 1u << 20);
    EXPECT_GT(MergedSizeLimit(100u << 20, 50u << 20), 150u << 20);
    const std::uint64_t big = std::uint64_t{1} << 40;
    EXPECT_GT(MergedSizeLimit(big, big), 2 * big);
}

TEST(MergeRules, SoundChunksCoverAnInterleaveGroupAndLengthsAreCompared)
{
    struct Chunk {
        double framesPerSecond;
        int period;
        std::uint32_t bytesPerSecond;
        std::uint32_t blockAlign;
        std::uint32_t blocks;
    } const chunks[] = {
        {200, 20, 88200, 4, 2205}, // PCM, 0.1 s groups
        {200, 20, 22311, 1024, 3}, // MS ADPCM: 0.1 s is 2.2 blocks, rounded up
        {10, 4, 8000, 1, 3200},    // A-law
        {1, 100, 8000, 1, 8000},   // a group longer than a second: one second
        {0, 20, 8000, 1, 1},
        {200, 20, 8000, 0, 1},
    };
    for (const Chunk& c : chunks) {
        EXPECT_EQ(SoundBlocksPerChunk(c.framesPerSecond, c.period, c.bytesPerSecond, c.blockAlign), c.blocks)
            << c.framesPerSecond << " fps, period " << c.period << ", block " << c.blockAlign;
    }
    struct Length {
        double seconds;
        std::uint64_t bytes;
        std::uint32_t bytesPerSecond;
        std::uint32_t blockAlign;
        bool same;
    } const lengths[] = {
        {3600, 3600ull * 88200, 88200, 4, true},
        {3600, 3600ull * 22311 + 2048, 22311, 1024, true},  // rounding of the byte rate, two blocks
        {3600, 3000ull * 88200, 88200, 4, false},           // cut short
        {3600, 3580ull * 88200, 88200, 4, false},           // 20 s missing
        {2.0, 2 * 22311 + 3072, 22311, 1024, false},        // three blocks too many
        {1.0, 88200, 0, 4, false},
    };
    for (const Length& l : lengths) {
        EXPECT_EQ(LastsAsLong(l.seconds, l.bytes, l.bytesPerSecond, l.blockAlign), l.same)
            << l.seconds << " s against " << l.bytes << " bytes";
    }
}

void PrintTo(const MergeStep& step, std::ostream* out)
{
    *out << (step.stream == MergeStream::kVideo ? "V(" : "A(") << step.first << "," << step.count << ")";
}

namespace {
MergeStep V(std::int64_t first, std::int64_t count) { return {MergeStream::kVideo, first, count}; }
MergeStep A(std::int64_t first, std::int64_t count, std::size_t track = 0)
{
    return {MergeStream::kAudio, first, count, track};
}

constexpr StreamSpan kTenFrames{0, 10, 10, 1};     // one second at 10 frames/s
constexpr StreamSpan kPcmSecond{0, 1000, 1000, 1}; // one second at 1000 samples/s
} // namespace

TEST(MergeRules, ScheduleGroupsFramesWithTheSoundOfTheirTime)
{
    struct Case {
        const char* name;
        StreamSpan video;
        std::vector<StreamSpan> tracks;
        int period;
        bool interleave;
        std::vector<MergeStep> steps;
    } const cases[] = {
        {"sound before each group", kTenFrames, {kPcmSecond}, 5, true, {A(0, 500), V(0, 5), A(500, 500), V(5, 5)}},
        {"without interleave all video first", kTenFrames, {kPcmSecond}, 5, false,
         {V(0, 5), V(5, 5), A(0, 500), A(500, 500)}},
        {"last group shorter", kTenFrames, {kPcmSecond}, 4, true,
         {A(0, 400), V(0, 4), A(400, 400), V(4, 4), A(800, 200), V(8, 2)}},
        {"longer sound goes on in chunks of a group's time", kTenFrames, {{0, 1200, 1000, 1}}, 5, true,
         {A(0, 500), V(0, 5), A(500, 500), V(5, 5), A(1000, 200)}},
        {"shorter sound leaves the last groups silent", kTenFrames, {{0, 700, 1000, 1}}, 4, true,
         {A(0, 400), V(0, 4), A(400, 300), V(4, 4), V(8, 2)}},
        {"video starting later keeps its time", {4, 10, 10, 1}, {kPcmSecond}, 3, true,
         {A(0, 700), V(4, 3), A(700, 300), V(7, 3)}},
        // MS ADPCM blocks of 1024 bytes at 22311 bytes/s, 200 frames/s, 100 ms.
        {"blocks of sound round down to whole blocks", {0, 40, 200, 1}, {{0, 5, 22311, 1024}}, 20, true,
         {A(0, 2), V(0, 20), A(2, 2), V(20, 20), A(4, 1)}},
        {"each track before the group, the longer one goes on", kTenFrames, {kPcmSecond, {0, 1200, 1000, 1}}, 5, true,
         {A(0, 500), A(0, 500, 1), V(0, 5), A(500, 500), A(500, 500, 1), V(5, 5), A(1000, 200, 1)}},
        {"no rate gives nothing", kTenFrames, {{0, 1000, 0, 1}}, 5, true, {}},
        {"no track gives nothing", kTenFrames, {}, 5, true, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MergeSchedule(c.video, c.tracks, c.period, c.interleave), c.steps) << c.name;
    }
}

TEST(MergeRules, ScheduleCoversEverySampleOnceInOrder)
{
    struct Case {
        StreamSpan video;
        std::vector<StreamSpan> tracks;
        int period;
    } const cases[] = {
        {{0, 785, 200, 1}, {{0, 115, 22311, 1024}}, 20}, // a 4 s recording, MS ADPCM
        {{0, 785, 200, 1}, {{0, 86544, 22050, 1}}, 1},
        {{0, 97, 30000, 1001}, {{0, 51, 11100, 512}}, 7},
        {{0, 3, 1, 1}, {{0, 1, 1, 1}}, 1},
        {{0, 0, 10, 1}, {{0, 333, 1000, 1}}, 5}, // no pictures at all
        {{0, 785, 200, 1}, {{0, 115, 22311, 1024}, {0, 90, 22311, 1024}}, 20}, // two tracks, one cut short
    };
    for (const Case& c : cases) {
        for (const bool interleave : {true, false}) {
            std::int64_t nextFrame = c.video.start;
            std::vector<std::int64_t> nextSample;
            for (const StreamSpan& track : c.tracks) {
                nextSample.push_back(track.start);
            }
            for (const MergeStep& step : MergeSchedule(c.video, c.tracks, c.period, interleave)) {
                std::int64_t& next = step.stream == MergeStream::kVideo ? nextFrame : nextSample.at(step.track);
                EXPECT_EQ(step.first, next);
                EXPECT_GT(step.count, 0);
                if (step.stream == MergeStream::kVideo) {
                    EXPECT_LE(step.count, c.period);
                }
                next += step.count;
            }
            EXPECT_EQ(nextFrame, c.video.end) << c.period << (interleave ? " interleaved" : "");
            for (std::size_t track = 0; track < c.tracks.size(); ++track) {
                EXPECT_EQ(nextSample[track], c.tracks[track].end) << c.period << (interleave ? " interleaved" : "");
            }
        }
    }
}
