#pragma once
// Watches the disk under the temporary movie while a recording writes, so that the recording ends
// while there is still room to finish the movie and to merge its sound into it, and before the
// movie passes the largest file its disk, or the disk it is saved to, takes.
#include "recording/storage_rules.h"

#include <cstdint>
#include <string>

class CStorageGuard {
public:
    // The movie's disk and the Save folder's are asked what largest file they take.
    CStorageGuard(const std::string& moviePath, const std::string& saveFolder);

    // Before a frame of at most frameBytes goes to a movie of movieBytes: None, or why it must not.
    RecordingStop BeforeWrite(std::uint64_t movieBytes, std::uint64_t frameBytes, std::uint32_t position);

private:
    std::string m_folder;
    std::uint64_t m_largestFile;
    FreeSpaceEstimate m_free;
    std::uint64_t m_movieBytes = 0;
    std::uint64_t m_soundBytes = 0;
};
