#pragma once
// Puts one sound source on the recording's time line. A device runs on its own clock and may
// deliver nothing for a while (the computer's sound, while nothing plays): each packet carries the
// time line position of its first frame, stretches that nothing covered become silence, and drift
// between the clocks is corrected by steering the resampler a little (towards the packets that
// came earliest, as a busy machine only ever delays them), never by a jump in sound that keeps
// coming. Only after a silence, or an error too large to steer away (sound the device
// lost), does a packet go straight to its place.
#include "audio/resampler.h"
#include "audio/sample_conversion.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class SourceAligner {
public:
    // A device's frames at deviceRate, its channels on the speakers of speakerMask (0: the usual
    // ones), onto a time line of rate frames a second of `channels` (1 or 2) channels.
    SourceAligner(int deviceRate, int deviceChannels, std::uint32_t speakerMask, int rate, int channels);

    // count device frames (floats) whose first was captured at time line position `position`
    // (in time line frames).
    void Deliver(double position, const float* frames, std::size_t count);

    // The time line position up to which delivered sound reaches.
    long long DeliveredEnd() const { return m_taken + static_cast<long long>(m_queue.size()) / m_channels; }
    int DeviceRate() const { return m_deviceRate; }
    std::size_t DeviceChannels() const { return m_fold.size(); }

    // Adds the time line's frames from `from` up to `until` to out: what was delivered for them,
    // nothing where nothing was. Sound before `from` is dropped; the next call starts at `until`.
    void MixInto(long long from, long long until, float* out);

private:
    void StartAt(double position, const float* folded, std::size_t count);

    int m_deviceRate;
    int m_rate;
    int m_channels;
    std::vector<std::pair<float, float>> m_fold;
    std::unique_ptr<Resampler> m_resampler; // none until the first packet, and after a silence
    long long m_origin = 0; // time line position of the resampler's first output frame
    std::deque<float> m_queue; // resampled frames from m_taken on
    long long m_taken = 0;     // time line frames mixed or dropped
    double m_recentError = 0; // frames the sound lands late, averaged over a quarter second
    struct Arrival {
        double delivered; // device seconds delivered before the packet, since the start
        double lateness;  // its position less where the device's sample count alone puts it
    };
    std::deque<Arrival> m_arrivals; // the last few seconds'
    double m_delivered = 0;         // device seconds since the start
    std::vector<float> m_folded;
    std::vector<float> m_resampled;
};
