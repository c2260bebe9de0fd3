#include "recording/stage_times.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {
std::atomic<bool> g_measuring{false};
std::atomic<bool> g_sampling{false}; // the current frame is timed
std::atomic<std::int64_t> g_frames{0};
std::atomic<std::int64_t> g_sampledFrames{0};
std::array<std::atomic<std::int64_t>, kRecordingStages> g_stageTicks{}; // 100 ns units

// The innermost running timer of this thread and when its current share began.
thread_local StageTimer* t_innermost = nullptr;
thread_local std::int64_t t_shareStart = 0;

std::int64_t ProcessTicks()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return ticks(kernel) + ticks(user);
}

void Credit(RecordingStage stage, std::int64_t now)
{
    g_stageTicks[static_cast<std::size_t>(stage)] += now - t_shareStart;
    t_shareStart = now;
}
} // namespace

void MeasureRecordingStages(bool on)
{
    for (auto& ticks : g_stageTicks) {
        ticks = 0;
    }
    g_frames = 0;
    g_sampledFrames = 0;
    g_sampling = false;
    g_measuring = on;
}

void StartStageFrame()
{
    // The first frame is left out: it pays for buffers that every later frame reuses.
    g_sampling = NextStageFrameIsTimed();
    ++g_frames;
    if (g_sampling) {
        ++g_sampledFrames;
    }
}

bool StageFrameIsTimed()
{
    return g_measuring && g_sampling;
}

bool NextStageFrameIsTimed()
{
    return g_measuring && g_frames % kStageSampleEvery == 1;
}

std::array<double, kRecordingStages> RecordingStageMsPerFrame()
{
    std::array<double, kRecordingStages> ms{};
    const std::int64_t frames = g_sampledFrames;
    for (std::size_t i = 0; i < ms.size() && frames > 0; ++i) {
        ms[i] = static_cast<double>(g_stageTicks[i].load()) / 10000.0 / static_cast<double>(frames);
    }
    return ms;
}

StageTimer::StageTimer(RecordingStage stage) : m_timing(g_measuring && g_sampling), m_stage(stage)
{
    if (!m_timing) {
        return;
    }
    const std::int64_t now = ProcessTicks();
    if (t_innermost) {
        Credit(t_innermost->m_stage, now);
    }
    t_shareStart = now;
    m_outer = t_innermost;
    t_innermost = this;
}

StageTimer::~StageTimer()
{
    if (!m_timing) {
        return;
    }
    Credit(m_stage, ProcessTicks());
    t_innermost = m_outer;
}
