#pragma once
// When a recording has to end because its files cannot grow: the disk of the temporary folder is
// full, or the movie would pass the largest file its disk, or the disk it is saved to, takes.
// Portable arithmetic only.
#include "audio/merge_rules.h"
#include "recording/recording_end.h"

#include <cstdint>

// The temporary files of a recording and the disk under them, as last measured.
struct StorageRoom {
    std::uint64_t movieBytes = 0;
    std::uint64_t freeBytes = 0;
    std::uint64_t soundBytes = 0;          // the temporary sound file; 0 without sound
    std::uint64_t soundBytesPerSecond = 0; // 0 without sound
    std::uint64_t largestFile = kNoFileLimit; // of the temporary folder's and the Save folder's disks
};

// Whether one more frame of at most frameBytes at time-line position `position` still leaves room
// to close the movie (its index) and to merge the sound into it later.
RecordingStop RoomForFrame(const StorageRoom& room, std::uint64_t frameBytes, std::uint32_t position);

// The stop that a failed write stands for; None for everything the compressor may be to blame for.
RecordingStop StopForWriteError(std::int32_t result);

// Free space is costly to ask for (about 2 ms under Wine): it is asked once a second, and at every
// frame only when the disk is close to full; in between it is estimated from what was written.
class FreeSpaceEstimate {
public:
    bool NeedsQuery(std::uint32_t nowMs, std::uint64_t bytesNeeded) const;
    void Measured(std::uint64_t freeBytes, std::uint32_t nowMs);
    void Used(std::uint64_t bytes);
    std::uint64_t Bytes() const { return m_free; }

private:
    bool m_known = false;
    std::uint64_t m_free = 0;
    std::uint32_t m_measuredAt = 0;
};
