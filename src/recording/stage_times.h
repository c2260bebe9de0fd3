#pragma once
// Processor time spent in each stage of a recording, summed only while a benchmark asks for it, so
// that the next slowdown shows where it is. Reading the process's processor time costs about 0.3 ms
// under a busy Wine, so only one frame in kStageSampleEvery is timed.
#include <array>

enum class RecordingStage { Grab, Cursor, Encoder, Writer };
constexpr int kRecordingStages = 4;

constexpr int kStageSampleEvery = 8;

// Starts (from zero) or stops the summing.
void MeasureRecordingStages(bool on);
// A new frame begins: its stages are timed when it is one of the sampled frames.
void StartStageFrame();
// Whether the frame begun last, or the next one, is timed: a timed frame's stages must not overlap
// other frames' work, since the timers read the whole process's time.
bool StageFrameIsTimed();
bool NextStageFrameIsTimed();
// Milliseconds of the process's processor time per stage and sampled frame, in the order of
// RecordingStage.
std::array<double, kRecordingStages> RecordingStageMsPerFrame();

// Credits the processor time of its lifetime to its stage. A timer started inside another takes
// that time for itself: the encoder runs inside the writer's call.
class StageTimer {
public:
    explicit StageTimer(RecordingStage stage);
    StageTimer(const StageTimer&) = delete;
    StageTimer& operator=(const StageTimer&) = delete;
    ~StageTimer();

private:
    bool m_timing;
    StageTimer* m_outer = nullptr;
    RecordingStage m_stage;
};
