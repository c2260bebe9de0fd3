#pragma once
// Band-limited sample-rate conversion of interleaved float frames (a windowed-sinc kernel read
// from a table), with a ratio that may be steered slowly while it runs: the way a device whose
// clock drifts is kept on the recording's clock.
#include <cstddef>
#include <vector>

class Resampler {
public:
    Resampler(int inputRate, int outputRate, int channels);

    // Output frames per input frame become outputRate / inputRate * (1 + adjustment).
    void SetAdjustment(double adjustment);

    // Appends to out every output frame the input so far determines. Output frame k stands for
    // the input at position k * input frames per output frame, so nothing is delayed: the last
    // few output frames wait for the input that follows them.
    void Push(const float* frames, std::size_t count, std::vector<float>& out);

    // Output frames the resampler has given plus those that wait for more input before the next
    // input frame, counted at the present ratio: where the next input frame lands.
    double OutputPositionOfNextInput() const;

private:
    int m_channels;
    double m_nominalStep; // input frames per output frame
    double m_step;
    double m_cutoff;      // of the kernel, in cycles per input frame, times two
    int m_halfWidth;      // input frames on each side of an output frame
    std::vector<float> m_sums; // one output frame's channels as they are summed
    std::vector<float> m_history; // input frames from m_historyStart on
    long long m_historyStart = 0;
    long long m_pushed = 0;
    long long m_produced = 0;
    double m_position = 0; // input position of the next output frame
};
