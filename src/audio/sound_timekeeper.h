#pragma once
// Keeps a recording's sound in step with the clock that numbers its frames. A device that starts
// late (Wine's over PulseAudio: about 1.2 s) or drops sound while the machine is busy delivers less
// than the time that passed; the missing stretch is written as silence so that what follows still
// plays with its pictures.
#include <cstdint>
#include <deque>

class CSoundTimekeeper {
public:
    // The sound's first sample belongs at startMs on the millisecond clock.
    void Restart(std::uint32_t startMs, std::uint32_t samplesPerSecond);

    // A buffer of `frames` sample frames arrived at nowMs: returns the frames of silence that belong
    // before it. Only a shortfall that every buffer of the last second shows counts, so that a
    // buffer merely held up for a moment adds nothing; the first buffer alone tells how late the
    // device started.
    std::uint64_t SilenceBefore(std::uint32_t nowMs, std::uint32_t frames);

private:
    struct Arrival {
        std::uint32_t atMs;
        std::int64_t shortfall; // frames the clock expected by then beyond those accounted for
    };

    std::uint32_t m_startMs = 0;
    std::uint32_t m_rate = 0;
    std::uint64_t m_accounted = 0; // frames delivered plus silence given
    std::deque<Arrival> m_recent;
};
