#include "recording/recording_end.h"

#include <gtest/gtest.h>

TEST(RecordingEnd, WhatWasRecordedIsSavedAndNothingEndsWithoutAWord)
{
    using S = RecordingStop;
    using A = EndAction;
    struct Row {
        S stop;
        std::uint32_t frames;
        bool defaultCompressor;
        A expected;
    };
    const Row rows[] = {
        {S::None, 0, true, A::Save}, // stopped before the first frame: still the user's to throw away
        {S::None, 40, false, A::Save},
        {S::MovieFailed, 12, false, A::Save}, // a compressor failing late keeps what it wrote
        {S::Failed, 3, true, A::Save},
        {S::DiskFull, 0, true, A::Drop},
        {S::MovieFailed, 0, false, A::OfferDefaultCompressor},
        {S::MovieFailed, 0, true, A::Drop}, // no other compressor to offer
        {S::RegionRefused, 0, false, A::Drop},
        {S::NoTempFile, 0, false, A::Drop},
        {S::OutOfMemory, 0, false, A::Drop},
        {S::WindowClosed, 1, false, A::Save}, // the movie holds at least its first frame
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ActionForEnd(row.stop, row.frames, row.defaultCompressor), row.expected)
            << static_cast<int>(row.stop) << " after " << row.frames << " frames";
    }
    EXPECT_EQ(RecordingStopNote(S::None, true), "");
    EXPECT_NE(RecordingStopNote(S::NoTempFile, false).find("Nothing was recorded"), std::string::npos);
    EXPECT_NE(RecordingStopNote(S::DiskFull, true).find("disk is full"), std::string::npos);
    EXPECT_NE(RecordingStopNote(S::SizeLimit, true).find("4 GB on a disk formatted FAT32"), std::string::npos);
    EXPECT_NE(RecordingStopNote(S::WindowClosed, true).find("window was closed"), std::string::npos);
}

TEST(RecordingEnd, AHiddenWindowsTimeIsToldInTenthsOfASecond)
{
    EXPECT_EQ(WindowHeldNote(0), "");
    const std::pair<std::uint32_t, const char*> rows[] = {
        {1, " 0.1 s."}, {149, " 0.1 s."}, {150, " 0.2 s."}, {12340, " 12.3 s."}, {4294967295u, " 4294967.3 s."}};
    for (const auto& [ms, told] : rows) {
        EXPECT_NE(WindowHeldNote(ms).find(told), std::string::npos) << ms << ": " << WindowHeldNote(ms);
    }
}
