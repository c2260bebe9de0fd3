#include "recording/background_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {
FramePtr NumberedFrame(CFrameBlocks& blocks, std::uint32_t number)
{
    BITMAPINFOHEADER* frame = blocks.Take(sizeof(BITMAPINFOHEADER) + 64, sizeof(BITMAPINFOHEADER), nullptr).frame;
    if (frame) {
        frame->biSizeImage = number; // stands for the pixels: the writer must see this frame's
    }
    return FramePtr(frame, FrameReleaser{&blocks});
}
} // namespace

// Frames are written one at a time in the order given, each while the caller goes on, at the
// priority asked for; a failed write stops all later ones and its error comes back from every
// later call.
TEST(BackgroundWriter, WritesInOrderUntilTheFirstFailure)
{
    struct Case {
        const char* what;
        int failAt; // index of the write that fails, -1 for none
        int submitted;
        int expectWritten;
    };
    for (const Case& c : {Case{"all written", -1, 6, 6}, Case{"third fails", 2, 6, 3}, Case{"first fails", 0, 3, 1}}) {
        SCOPED_TRACE(c.what);
        CFrameBlocks blocks;
        std::vector<std::uint32_t> written;
        std::atomic<DWORD> writerThread{0};
        std::int32_t lastResult = 0;
        {
            CBackgroundWriter writer([&](const BITMAPINFOHEADER* frame, std::uint32_t number) -> std::int32_t {
                writerThread = GetCurrentThreadId();
                EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_BELOW_NORMAL);
                Sleep(15);
                EXPECT_EQ(frame->biSizeImage, number);
                written.push_back(number);
                return static_cast<int>(written.size()) - 1 == c.failAt ? -7 : 0;
            }, THREAD_PRIORITY_BELOW_NORMAL);
            for (int i = 0; i < c.submitted; ++i) {
                const std::uint32_t number = static_cast<std::uint32_t>(i) * 3;
                lastResult = writer.Submit(NumberedFrame(blocks, number), number);
            }
            const std::int32_t drained = writer.Drain();
            EXPECT_EQ(drained, c.failAt >= 0 ? -7 : 0);
            EXPECT_EQ(static_cast<int>(written.size()), c.expectWritten); // all done once drained
        }
        EXPECT_NE(writerThread.load(), GetCurrentThreadId());
        EXPECT_EQ(lastResult, c.failAt >= 0 && c.failAt < c.submitted - 1 ? -7 : 0);
        for (std::size_t i = 0; i < written.size(); ++i) {
            EXPECT_EQ(written[i], i * 3);
        }
    }
}
