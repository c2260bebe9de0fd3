#pragma once
// The recording's sound from several sources (the microphone, the computer's sound), each put on
// the recording's time line: added at unity gain and clamped at full scale into one track, or each
// on a track of its own. Time is
// the recording's clock in seconds from its start; a pause cuts every source alike. Thread-safe:
// sources deliver from their own threads while another takes the mix.
#include "audio/source_aligner.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <vector>

class SoundMix {
public:
    SoundMix(int rate, int channels, int bitsPerSample);

    // patienceSeconds: how long the mix waits for a source's sound before it writes silence in its
    // place, at least as long as the source may take to hand over what it captured.
    int AddSource(int deviceRate, int deviceChannels, std::uint32_t speakerMask, double patienceSeconds);

    // count frames whose first was captured at `seconds`; sound captured while paused is dropped.
    void Deliver(int source, double seconds, const float* frames, std::size_t count);
    // The source delivers no more: the mix stops waiting for it, and it is silent from its end on.
    void EndSource(int source);

    void Pause(double seconds);
    void Resume(double seconds);

    // PCM in the recording's format for the time line from where the last call ended up to what
    // is due at `seconds`: as far as every source that still delivers has delivered, or its
    // patience ran out. `final` takes everything up to `seconds`, silence where nothing came.
    std::vector<std::uint8_t> Take(double seconds, bool final);
    // The same for each source apart, one track a source in the order they were added, none mixed
    // with another; empty when nothing is due.
    std::vector<std::vector<std::uint8_t>> TakeApart(double seconds, bool final);

private:
    struct Source {
        SourceAligner aligner;
        double patience;
        bool ended = false;
    };
    struct PausedStretch {
        double start;
        double end = std::numeric_limits<double>::infinity();
    };
    double TimeLineSeconds(double seconds) const;
    std::vector<std::vector<std::uint8_t>> Render(double seconds, bool final, bool apart);

    int m_rate;
    int m_channels;
    int m_bits;
    std::mutex m_lock;
    std::vector<Source> m_sources;
    std::vector<PausedStretch> m_pauses;
    long long m_taken = 0;
    std::vector<float> m_mix;
};
