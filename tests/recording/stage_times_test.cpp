#include "recording/stage_times.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {
double ThreadProcessorMs()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

void Spin(double ms)
{
    const double start = ThreadProcessorMs();
    volatile unsigned sink = 0;
    while (ThreadProcessorMs() - start < ms) {
        for (int i = 0; i < 100000; ++i) {
            sink = sink + static_cast<unsigned>(i);
        }
    }
}
} // namespace

TEST(StageTimes, TimeGoesToTheInnermostStageAndOnlyWhileMeasuring)
{
    MeasureRecordingStages(false);
    StartStageFrame();
    {
        const StageTimer idle(RecordingStage::Grab);
        Spin(60);
    }
    for (const double ms : RecordingStageMsPerFrame()) {
        EXPECT_EQ(ms, 0.0);
    }

    // Two timed frames among frames that are not (the first is never timed): the figures are per
    // timed frame.
    MeasureRecordingStages(true);
    for (int frame = 0; frame < kStageSampleEvery + 2; ++frame) {
        const bool timed = frame % kStageSampleEvery == 1;
        EXPECT_EQ(NextStageFrameIsTimed(), timed);
        StartStageFrame();
        EXPECT_EQ(StageFrameIsTimed(), timed);
        const StageTimer writer(RecordingStage::Writer);
        const StageTimer encoder(RecordingStage::Encoder);
        Spin(timed ? 150 : 20);
    }
    const auto ms = RecordingStageMsPerFrame();
    MeasureRecordingStages(false);
    EXPECT_GE(ms[static_cast<int>(RecordingStage::Encoder)], 100.0);
    EXPECT_LT(ms[static_cast<int>(RecordingStage::Encoder)], 200.0); // the untimed frames stay out
    EXPECT_LT(ms[static_cast<int>(RecordingStage::Writer)], 50.0);
    EXPECT_EQ(ms[static_cast<int>(RecordingStage::Grab)], 0.0);
}
