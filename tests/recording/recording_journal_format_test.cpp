// The journal beside a temporary movie: whatever a crash leaves of it reads back cleanly.
#include "recording/recording_journal_format.h"

#include "recovery_test_movies.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
const JournalStream kStream = TestStream(320, 240, 200);
const std::vector<TestFrame> kFrames = TestFrames({0, 3, 4, 9, 12}, 100);
const std::string kSound = "C:\\windows\\temp\\~temp001.wav";

std::size_t StreamRecordBytes()
{
    return EncodeJournalStream(kStream).size();
}
std::size_t SoundRecordBytes()
{
    return EncodeJournalSound(kSound).size();
}
std::size_t FrameRecordBytes()
{
    return EncodeJournalFrame({}).size();
}
} // namespace

TEST(RecordingJournal, EveryCutKeepsTheCompleteRecordsBeforeIt)
{
    const std::vector<std::uint8_t> whole = JournalOf(kStream, kFrames, {kSound});
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const auto parsed = ParseJournal(std::span(whole).first(length));
        if (length < StreamRecordBytes()) {
            EXPECT_FALSE(parsed) << length;
            continue;
        }
        ASSERT_TRUE(parsed) << length;
        EXPECT_EQ(parsed->stream.format, kStream.format);
        EXPECT_EQ(parsed->stream.rate, 200u);
        EXPECT_EQ(parsed->stream.handler, kStream.handler);
        const bool soundComplete = length >= StreamRecordBytes() + SoundRecordBytes();
        EXPECT_EQ(parsed->soundPaths, soundComplete ? std::vector{kSound} : std::vector<std::string>{}) << length;
        const std::size_t frames =
            soundComplete ? (length - StreamRecordBytes() - SoundRecordBytes()) / FrameRecordBytes() : 0;
        ASSERT_EQ(parsed->frames.size(), frames) << length;
        for (std::size_t i = 0; i < frames; ++i) {
            EXPECT_EQ(parsed->frames[i].position, kFrames[i].position);
            EXPECT_EQ(parsed->frames[i].size, kFrames[i].data.size());
            EXPECT_EQ(parsed->frames[i].key, kFrames[i].key);
        }
    }
}

TEST(RecordingJournal, DamageEndsTheJournalWhereItIs)
{
    const std::size_t firstFrame = StreamRecordBytes() + SoundRecordBytes();
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        int frames; // -1: nothing can be read
    };
    const Case cases[] = {
        {"untouched", [](auto&) {}, 5},
        {"zeros after the last record, as a machine crash can leave",
         [](auto& j) { j.insert(j.end(), 4096, 0); }, 5},
        {"a byte of the third frame record changed",
         [&](auto& j) { j[firstFrame + 2 * FrameRecordBytes() + 9] ^= 0x40; }, 2},
        {"the third frame record zeroed",
         [&](auto& j) { std::fill_n(j.begin() + static_cast<long>(firstFrame + 2 * FrameRecordBytes()), FrameRecordBytes(), 0); }, 2},
        {"a record announcing more bytes than a record can have",
         [&](auto& j) { j[firstFrame + 7] = 0x7F; }, 0},
        {"a byte of the stream format changed", [](auto& j) { j[20] ^= 1; }, -1},
        {"an unknown record first", [](auto& j) { j[0] = 'X'; }, -1},
        {"empty", [](auto& j) { j.clear(); }, -1},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> journal = JournalOf(kStream, kFrames, {kSound});
        c.damage(journal);
        const auto parsed = ParseJournal(journal);
        if (c.frames < 0) {
            EXPECT_FALSE(parsed) << c.name;
        } else {
            ASSERT_TRUE(parsed) << c.name;
            EXPECT_EQ(parsed->frames.size(), static_cast<std::size_t>(c.frames)) << c.name;
        }
    }
}

TEST(RecordingJournal, StreamWithoutRateOrBitmapHeaderIsRefused)
{
    for (const JournalStream& stream : {JournalStream{0, 1, 0, kStream.format}, JournalStream{25, 0, 0, kStream.format},
                                        JournalStream{25, 1, 0, std::vector<std::uint8_t>(39, 1)}}) {
        EXPECT_FALSE(ParseJournal(EncodeJournalStream(stream)));
    }
}
