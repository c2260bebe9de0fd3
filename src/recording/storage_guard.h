#pragma once
// Watches the temporary movie and the disk under it while a recording writes, because the movie
// library does not say when a write fails to reach the disk (under Wine every write reports
// success on a full disk and past 2 GB).
#include "recording/storage_rules.h"

#include <cstdint>
#include <string>

class CStorageGuard {
public:
    explicit CStorageGuard(std::string moviePath);

    // Before a frame of at most frameBytes goes to the library: None, or why it must not.
    RecordingStop BeforeWrite(std::uint64_t frameBytes, std::uint32_t position);
    // After the library took it (bytesReported 0 when it did not say): whether it reached the disk.
    RecordingStop AfterWrite(std::uint64_t bytesReported, std::uint64_t frameBytes);

    // Once the movie is closed: cuts off a frame that reached the disk only in part.
    void DropPartialFrame() const;

private:
    std::string m_moviePath;
    std::string m_folder;
    FreeSpaceEstimate m_free;
    std::uint64_t m_movieBytes = 0;
    std::uint64_t m_soundBytes = 0;
    std::uint64_t m_partialFrameAt = 0; // where a frame cut short begins; 0 when none was
};
