// Completing a WAV file whose writer never wrote its sizes.
#include "audio/wave_repair.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
// What the writer puts down first: RIFF, an 18-byte format chunk, and a data chunk, sizes 0.
std::vector<std::uint8_t> UnfinishedHead(std::uint16_t blockAlign, bool withExtraChunk = false)
{
    std::vector<std::uint8_t> head = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 18, 0, 0, 0};
    const std::uint8_t format[18] = {1, 0, 2, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 0x01, 0,
                                     static_cast<std::uint8_t>(blockAlign), 0, 16, 0, 0, 0};
    head.insert(head.end(), format, format + 18);
    if (withExtraChunk) {
        head.insert(head.end(), {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0});
    }
    head.insert(head.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    return head;
}
} // namespace

TEST(WaveRepair, SizesFollowTheCompleteSampleFrames)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> head;
        std::uint64_t fileSize;
        std::uint32_t dataSize;
    };
    const std::uint64_t start = 46; // where the samples begin after UnfinishedHead(4)
    const Case cases[] = {
        {"whole sample frames", UnfinishedHead(4), start + 4000, 4000},
        {"the last frame cut short", UnfinishedHead(4), start + 4003, 4000},
        {"no sample yet", UnfinishedHead(4), start, 0},
        {"8-bit mono, odd count kept even", UnfinishedHead(1), start + 4001, 4000},
        {"a chunk before the data", UnfinishedHead(4, true), start + 12 + 800, 800},
    };
    for (const Case& c : cases) {
        const auto repair = PlanWaveRepair(c.head, c.fileSize);
        ASSERT_TRUE(repair) << c.name;
        EXPECT_EQ(repair->dataSize, c.dataSize) << c.name;
        EXPECT_EQ(repair->dataSizeOffset, c.head.size() - 4) << c.name;
        EXPECT_EQ(repair->length, c.head.size() + c.dataSize) << c.name;
        EXPECT_EQ(repair->riffSize, repair->length - 8) << c.name;
    }
}

TEST(WaveRepair, FilesWithoutFormatOrDataAreRefused)
{
    const std::vector<std::uint8_t> whole = UnfinishedHead(4);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> head;
    };
    std::vector<std::uint8_t> noAlign = whole;
    noAlign[32] = 0;
    std::vector<std::uint8_t> shortFormat = whole;
    shortFormat[16] = 8;
    std::vector<std::uint8_t> hugeFormat = whole;
    hugeFormat[19] = 0x7F;
    std::vector<std::uint8_t> notWave = whole;
    notWave[8] = 'X';
    std::vector<std::uint8_t> dataFirst = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0, 0};
    const Case cases[] = {
        {"empty", {}},
        {"cut inside the format", {whole.begin(), whole.begin() + 30}},
        {"cut before the data chunk", {whole.begin(), whole.end() - 8}},
        {"block alignment 0", noAlign},
        {"format chunk too short", shortFormat},
        {"format chunk larger than the file", hugeFormat},
        {"not a WAVE file", notWave},
        {"data before any format", dataFirst},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(PlanWaveRepair(c.head, c.head.size() + 1000)) << c.name;
    }
    // The file is shorter than the bytes handed in: only the file counts.
    EXPECT_FALSE(PlanWaveRepair(whole, 30));
}
