#include "recording/storage_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {
constexpr std::uint64_t MB = 1024 * 1024;
constexpr std::uint64_t GB = 1024 * MB;
const std::uint64_t kFat = LargestFileOn("FAT32");
} // namespace

TEST(StorageRules, AFrameIsWrittenOnlyWithRoomToCloseAndMergeAfterIt)
{
    struct Row {
        const char* what;
        StorageRoom room;
        std::uint64_t frame;
        std::uint32_t position;
        RecordingStop expected;
    };
    const Row rows[] = {
        {"plenty of room", {10 * MB, 10 * GB, 0, 0}, 300000, 10, RecordingStop::None},
        {"the frame alone would fit the disk", {1 * MB, 300100, 0, 0}, 300000, 10, RecordingStop::DiskFull},
        {"the frame fits, the index after it not", {1 * MB, 300000 + 8 + 256 * 1024 + 100, 0, 0}, 300000, 1000,
         RecordingStop::DiskFull},
        {"sound still coming needs its room", {1 * MB, 800 * 1024, 0, 176400}, 300000, 10, RecordingStop::DiskFull},
        {"past 4 GB without a limit", {5 * GB, 10 * GB, 0, 0}, 3 * MB, 1000, RecordingStop::None},
        {"well below a FAT disk's 4 GB", {1 * GB, 10 * GB, 0, 0, kFat}, 3 * MB, 1000, RecordingStop::None},
        {"the next frame would pass 4 GB", {4 * GB - 6 * MB, 10 * GB, 0, 0, kFat}, 3 * MB, 1000,
         RecordingStop::SizeLimit},
        {"the sound to merge counts toward 4 GB", {3 * GB, 10 * GB, GB, 176400, kFat}, 3 * MB, 1000,
         RecordingStop::SizeLimit},
        {"a long time line's index counts too", {4 * GB - 40 * MB, 10 * GB, 0, 0, kFat}, 1000, 3000000,
         RecordingStop::SizeLimit},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RoomForFrame(row.room, row.frame, row.position), row.expected) << row.what;
    }
}

TEST(StorageRules, DiskAndFileErrorsAreNotBlamedOnTheCompressor)
{
    const struct {
        std::uint32_t result;
        RecordingStop expected;
    } rows[] = {
        {0x80070070, RecordingStop::DiskFull},    // ERROR_DISK_FULL
        {0x80070027, RecordingStop::DiskFull},    // ERROR_HANDLE_DISK_FULL
        {0x8004406E, RecordingStop::WriteFailed}, // AVIERR_FILEWRITE
        {0x800700DF, RecordingStop::SizeLimit},   // ERROR_FILE_TOO_LARGE
        {0x80044070, RecordingStop::None},        // AVIERR_COMPRESSOR
        {0x80044066, RecordingStop::None},        // AVIERR_MEMORY
        {0, RecordingStop::None},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StopForWriteError(static_cast<std::int32_t>(row.result)), row.expected) << std::hex << row.result;
    }
}

TEST(StorageRules, FreeSpaceIsAskedOnceASecondOrWhenItRunsLow)
{
    FreeSpaceEstimate estimate;
    EXPECT_TRUE(estimate.NeedsQuery(0, MB)) << "never asked";
    estimate.Measured(GB, 1000);
    EXPECT_FALSE(estimate.NeedsQuery(1500, MB));
    EXPECT_TRUE(estimate.NeedsQuery(2000, MB)) << "a second later";
    EXPECT_TRUE(estimate.NeedsQuery(999, MB)) << "the clock wrapped";
    estimate.Used(GB - 20 * MB);
    EXPECT_EQ(estimate.Bytes(), 20 * MB);
    EXPECT_TRUE(estimate.NeedsQuery(1100, 5 * MB)) << "close to full";
    estimate.Used(GB);
    EXPECT_EQ(estimate.Bytes(), 0u) << "never below zero";
}
