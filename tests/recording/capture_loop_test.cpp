#include "recording/capture_loop.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
// A host on a fake clock: captures take captureMs, sleeps advance the clock, and a script may
// change the flags at given times.
class FakeHost {
public:
    struct Position {
        int x;
        int y;
        bool held = false;
    };
    using Frame = std::unique_ptr<int>;

    std::uint32_t now = 1000;
    std::uint32_t captureMs = 0;
    double sleepRate = 1.0; // clock time a sleep takes, per millisecond asked for
    std::int32_t recording = 1;
    std::int32_t paused = 0;
    int frameLimit = 0;      // stop once this many frames were grabbed
    int failGrabAt = -1;     // frame index whose buffer cannot be had
    int failWriteAt = -1;    // write index that fails
    std::function<void(FakeHost&)> onSleep;
    std::function<bool(std::uint32_t)> heldAt; // a followed window not shown at that time

    std::vector<std::uint32_t> written;
    std::vector<std::uint32_t> sleeps;
    int grabbed = 0;
    int released = 0;
    int resumed = 0;

    std::uint32_t Milliseconds() { return now; }
    void Sleep(std::uint32_t ms)
    {
        sleeps.push_back(ms);
        now += static_cast<std::uint32_t>(ms * sleepRate);
        if (onSleep) {
            onSleep(*this);
        }
    }
    std::int32_t Recording() { return recording; }
    std::int32_t Paused() { return paused; }
    void Resumed() { ++resumed; }
    Position NextPosition() { return {0, 0, heldAt && heldAt(now)}; }
    Frame Grab(const Position&)
    {
        if (grabbed == failGrabAt) {
            return nullptr;
        }
        now += captureMs;
        if (++grabbed == frameLimit) {
            recording = 0;
        }
        return std::make_unique<int>(grabbed);
    }
    std::int32_t Write(const Frame&, std::uint32_t number)
    {
        if (static_cast<int>(written.size()) == failWriteAt) {
            return -5;
        }
        written.push_back(number);
        return 0;
    }
    void Release(Frame& frame)
    {
        ++released;
        frame.reset();
    }
};

CaptureOutcome RunLoop(FakeHost& host, std::int32_t timelapse)
{
    return RunCaptureLoop(host, timelapse, host.now);
}
} // namespace

TEST(CaptureLoop, SlowCapturesLeaveGapsInTheTimeLine)
{
    FakeHost host;
    host.captureMs = 60;
    host.frameLimit = 4;
    RunLoop(host, 20);
    EXPECT_EQ(host.written, (std::vector<std::uint32_t>{0, 4, 8, 12}));
    EXPECT_EQ(host.released, 4);
}

TEST(CaptureLoop, OneSecondUsesTheClockAndLongerIntervalsCount)
{
    FakeHost clock;
    clock.captureMs = 500;
    clock.frameLimit = 3;
    RunLoop(clock, 1000); // a pass every 1500 ms
    EXPECT_EQ(clock.written, (std::vector<std::uint32_t>{0, 1, 3}));

    FakeHost counted;
    counted.captureMs = 500;
    counted.frameLimit = 4;
    RunLoop(counted, 1001);
    EXPECT_EQ(counted.written, (std::vector<std::uint32_t>{0, 1, 2, 3}));
}

TEST(CaptureLoop, ZeroIntervalCountsFramesWithoutSleeping)
{
    FakeHost host;
    host.frameLimit = 50;
    const CaptureOutcome outcome = RunLoop(host, 0);
    EXPECT_EQ(outcome.movieError, 0);
    ASSERT_EQ(host.written.size(), 50u);
    EXPECT_EQ(host.written.back(), 49u);
    for (const std::uint32_t ms : host.sleeps) {
        EXPECT_EQ(ms, 0u);
    }
}

TEST(CaptureLoop, IntervalSleepsInSlicesThenTheRemainder)
{
    FakeHost host;
    host.onSleep = [](FakeHost& h) {
        if (h.sleeps.size() == 3) {
            h.recording = 0;
        }
    };
    RunLoop(host, 120);
    EXPECT_EQ(host.sleeps, (std::vector<std::uint32_t>{50, 50, 20}));
}

TEST(CaptureLoop, NoRemainderUnlessStillRecordingExactly)
{
    FakeHost host;
    host.onSleep = [](FakeHost& h) {
        if (h.sleeps.size() == 1) {
            h.recording = 2; // not 0, so the slices go on; not 1, so no remainder
        } else if (h.sleeps.size() == 2) {
            h.recording = 0;
        }
    };
    RunLoop(host, 120);
    EXPECT_EQ(host.sleeps, (std::vector<std::uint32_t>{50, 50}));
}

TEST(CaptureLoop, StopIsSeenAfterOneSlice)
{
    FakeHost host;
    host.onSleep = [](FakeHost& h) { h.recording = 0; };
    RunLoop(host, 60000);
    EXPECT_EQ(host.sleeps, (std::vector<std::uint32_t>{50}));
    EXPECT_EQ(host.grabbed, 1);
}

TEST(CaptureLoop, SlotsAreWrittenOnceExceptSlotZero)
{
    FakeHost host;
    host.frameLimit = 5;
    host.sleepRate = 0.4; // passes 40 ms apart with a 100 ms interval: slots 0, 0, 0, 1, 1
    RunLoop(host, 100);
    EXPECT_EQ(host.written, (std::vector<std::uint32_t>{0, 0, 0, 1}));
    EXPECT_EQ(host.released, 5);
}

TEST(CaptureLoop, PauseIsCutOutOfTheTimeLine)
{
    FakeHost host;
    host.frameLimit = 4;
    int pauseSlices = 0;
    host.onSleep = [&pauseSlices](FakeHost& h) {
        if (h.paused == 1 && ++pauseSlices == 200) {
            h.paused = 0; // 10 s later
        } else if (h.sleeps.size() == 3) {
            h.paused = 1; // at the end of the first interval (50, 50, 0)
        }
    };
    RunLoop(host, 100);
    // Passes at 0 and 100 ms; the pause follows the second; the next passes fall at 100 ms
    // (slot 1 again, dropped) and 200 ms of recording time, as if there had been no pause.
    EXPECT_EQ(host.written, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(host.resumed, 1);
}

TEST(CaptureLoop, AHiddenWindowLeavesItsLastFrameOnTheTimeLine)
{
    // Passes every 100 ms; the window is not shown from 250 to 550 ms, and from the start in the
    // second run, whose movie still gets its first frame.
    FakeHost host;
    host.heldAt = [](std::uint32_t now) { return now >= 1250 && now < 1550; };
    host.onSleep = [](FakeHost& h) { h.recording = h.now <= 1800 ? 1 : 0; };
    RunLoop(host, 100);
    EXPECT_EQ(host.written, (std::vector<std::uint32_t>{0, 1, 2, 6, 7, 8}));
    EXPECT_EQ(host.grabbed, 6);

    FakeHost hidden;
    hidden.heldAt = [](std::uint32_t now) { return now < 1300; };
    hidden.onSleep = [](FakeHost& h) { h.recording = h.now <= 1400 ? 1 : 0; };
    RunLoop(hidden, 100);
    EXPECT_EQ(hidden.written, (std::vector<std::uint32_t>{0, 3, 4}));
}

TEST(CaptureLoop, PauseEndsOnlyThroughThePauseFlag)
{
    FakeHost host;
    host.paused = 1;
    host.onSleep = [](FakeHost& h) {
        if (h.sleeps.size() == 5) {
            h.recording = 0; // Stop clears g_paused first; this alone does not end the wait
        } else if (h.sleeps.size() == 10) {
            h.paused = 0;
        }
    };
    RunLoop(host, 100);
    EXPECT_EQ(host.grabbed, 1);
    EXPECT_EQ(host.sleeps.size(), 10u);
}

TEST(CaptureLoop, FailuresEndTheLoopAndReleaseTheFrame)
{
    FakeHost write;
    write.failWriteAt = 2;
    const CaptureOutcome failedWrite = RunLoop(write, 0);
    EXPECT_EQ(failedWrite.movieError, -5);
    EXPECT_FALSE(failedWrite.frameLost);
    EXPECT_EQ(write.grabbed, 3);
    EXPECT_EQ(write.released, 3);

    FakeHost grab;
    grab.failGrabAt = 2;
    const CaptureOutcome lost = RunLoop(grab, 0);
    EXPECT_TRUE(lost.frameLost);
    EXPECT_EQ(lost.movieError, 0);
    EXPECT_EQ(grab.written.size(), 2u);
    EXPECT_EQ(grab.released, 2);
}

TEST(CaptureLoop, NothingIsGrabbedWhenStoppedBeforeTheLoop)
{
    FakeHost host;
    host.recording = 0;
    const CaptureOutcome outcome = RunLoop(host, 100);
    EXPECT_EQ(host.grabbed, 0);
    EXPECT_EQ(outcome.movieError, 0);
}
