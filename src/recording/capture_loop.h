#pragma once
// The capture loop, written against a host so that tests can drive it with a fake clock.
// The host provides:
//   std::uint32_t Milliseconds();             the millisecond clock
//   void Sleep(std::uint32_t ms);
//   std::int32_t Recording(); Paused();       g_isrecording, g_paused
//   void Resumed();                           a pause just ended
//   Position NextPosition();                  what the next frame shows; Position has `held`: a
//                                             followed window that is not shown, whose last
//                                             frame stands until it is
//   Frame Grab(const Position&);              an empty Frame when memory ran out
//   std::int32_t Write(Frame&, std::uint32_t number);  0 or the write's error; the host may
//                                             take the frame, to write it later
//   void Release(Frame&);                     what the host left of it
#include "recording/recording_arithmetic.h"

#include <cstdint>

struct CaptureOutcome {
    std::int32_t movieError = 0; // the failed write's result
    bool frameLost = false;      // a frame buffer could not be allocated
};

template <typename Host>
CaptureOutcome RunCaptureLoop(Host& host, std::int32_t timelapse, std::uint32_t startTime)
{
    bool firstFrame = true;
    std::uint32_t number = 0;
    std::uint32_t lastWritten = 0;
    while (host.Recording() != 0) {
        const std::uint32_t elapsed = firstFrame ? 0 : host.Milliseconds() - startTime;
        const auto position = host.NextPosition();
        // The movie always has a first frame.
        if (!position.held || firstFrame) {
            auto frame = host.Grab(position);
            if (!frame) {
                return {0, true};
            }
            number = firstFrame ? 0 : NextFrameNumber(timelapse, number, elapsed);
            firstFrame = false;
            if (IsWrittenSlot(number, lastWritten)) {
                const std::int32_t error = host.Write(frame, number);
                if (error != 0) {
                    host.Release(frame);
                    return {error, false};
                }
                lastWritten = number;
            }
            host.Release(frame);
        }

        if (host.Paused() == 0) {
            const SleepPlan plan = SleepPlanFor(timelapse);
            for (std::int32_t slice = 0; slice < plan.slices; ++slice) {
                host.Sleep(kSleepSlice);
                if (host.Recording() == 0) {
                    break;
                }
            }
            if (host.Recording() == 1) {
                host.Sleep(plan.remainder);
            }
        } else if (host.Paused() == 1) {
            // Stop clears g_paused before g_isrecording, so only the pause flag is watched here.
            int passes = 0;
            std::uint32_t pauseStart = 0;
            while (host.Paused() == 1) {
                if (passes++ == 0) {
                    pauseStart = host.Milliseconds();
                }
                host.Sleep(kSleepSlice);
            }
            if (passes > 0) {
                startTime += host.Milliseconds() - pauseStart;
                host.Resumed();
            }
        }
    }
    return {};
}
