#pragma once
// Writes the recording's frames on a thread of its own, one at a time, so that the capture loop
// grabs the next frame while the compressor works on the last one.
#include "recording/frame_grab.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <thread>

class CBackgroundWriter {
public:
    // 0 or the write's error; called on the writer's thread only.
    using WriteFrame = std::function<std::int32_t(const BITMAPINFOHEADER* frame, std::uint32_t number)>;

    // The thread runs at the given priority level.
    CBackgroundWriter(WriteFrame write, int priority);
    CBackgroundWriter(const CBackgroundWriter&) = delete;
    CBackgroundWriter& operator=(const CBackgroundWriter&) = delete;
    // Writes the frame in hand first.
    ~CBackgroundWriter();

    // Waits for the frame before, then hands this one over. After a failed write nothing more is
    // written, and this returns that write's error. Written frames are released on the caller's
    // thread, which owns their blocks.
    std::int32_t Submit(FramePtr frame, std::uint32_t number);
    // Waits until the frame in hand is written: 0, or the first failed write's error.
    std::int32_t Drain();

private:
    void Run(int priority);
    // Sleeps, with the lock held around it, until the condition holds.
    template <typename Condition>
    void WaitUntil(Condition condition);

    WriteFrame m_write;
    // The system's slim lock and condition variable: under Wine they wait in-process, where the C++
    // library's go through the Wine server and cost about 0.2 ms a frame.
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    FramePtr m_frame; // being written, or written and not yet released
    std::uint32_t m_number = 0;
    bool m_pending = false;
    bool m_quit = false;
    std::int32_t m_error = 0;
    std::thread m_thread; // last: it runs on the members above
};
