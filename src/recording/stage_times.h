#pragma once
// Processor time spent in each stage of a recording, summed only while a benchmark asks for it, so
// that the next slowdown shows where it is.
#include <array>

enum class RecordingStage { Grab, Cursor, Encoder, Writer };
constexpr int kRecordingStages = 4;

// Starts (from zero) or stops the summing.
void MeasureRecordingStages(bool on);
// Milliseconds of the process's processor time per stage, in the order of RecordingStage.
std::array<double, kRecordingStages> RecordingStageMs();

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
