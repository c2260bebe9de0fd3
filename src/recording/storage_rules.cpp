#include "recording/storage_rules.h"

#include "audio/odml_writer.h"

#include <algorithm>

namespace {
constexpr std::uint64_t kChunkHeader = 8;
// A slot's entry in its part's standard index, and in the first part's old index too.
constexpr std::uint64_t kIndexEntry = 8;
constexpr std::uint64_t kOldIndexEntry = 16;
// Headers, padding and the file system's rounding to whole blocks.
constexpr std::uint64_t kSlack = 256 * 1024;
// The sound keeps coming while the recording stops (the device settles for 500 ms).
constexpr std::uint64_t kSoundSecondsToStop = 2;

constexpr std::uint32_t kRequeryMs = 1000;
constexpr std::uint64_t kNearlyFull = 16 * 1024 * 1024;

// HRESULT_FROM_WIN32 of ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL and ERROR_FILE_TOO_LARGE, and the
// movie library's AVIERR_FILEWRITE for any other failed write.
constexpr std::uint32_t kDiskFull = 0x80070070;
constexpr std::uint32_t kHandleDiskFull = 0x80070027;
constexpr std::uint32_t kFileTooLarge = 0x800700DF;
constexpr std::uint32_t kFileWrite = 0x8004406E;

std::uint64_t Chunk(std::uint64_t frameBytes)
{
    return kChunkHeader + frameBytes + (frameBytes & 1);
}
} // namespace

RecordingStop RoomForFrame(const StorageRoom& room, std::uint64_t frameBytes, std::uint32_t position)
{
    const std::uint64_t slots = std::uint64_t{position} + 1;
    const std::uint64_t index = 2 * kChunkHeader + kIndexEntry * slots + kOldIndexEntry * std::min<std::uint64_t>(slots, kMoviePartChunks);
    const std::uint64_t soundToCome = room.soundBytesPerSecond * kSoundSecondsToStop;
    if (room.freeBytes < Chunk(frameBytes) + index + soundToCome + kSlack) {
        return RecordingStop::DiskFull;
    }
    return MergedMovieFits(room.movieBytes + Chunk(frameBytes) + index, room.soundBytes + soundToCome, slots,
                           room.largestFile)
               ? RecordingStop::None
               : RecordingStop::SizeLimit;
}

RecordingStop StopForWriteError(std::int32_t result)
{
    switch (static_cast<std::uint32_t>(result)) {
    case kDiskFull:
    case kHandleDiskFull:
        return RecordingStop::DiskFull;
    case kFileWrite:
        return RecordingStop::WriteFailed;
    case kFileTooLarge:
        return RecordingStop::SizeLimit;
    default:
        return RecordingStop::None;
    }
}

bool FreeSpaceEstimate::NeedsQuery(std::uint32_t nowMs, std::uint64_t bytesNeeded) const
{
    return !m_known || nowMs - m_measuredAt >= kRequeryMs || m_free < bytesNeeded + kNearlyFull;
}

void FreeSpaceEstimate::Measured(std::uint64_t freeBytes, std::uint32_t nowMs)
{
    m_known = true;
    m_free = freeBytes;
    m_measuredAt = nowMs;
}

void FreeSpaceEstimate::Used(std::uint64_t bytes)
{
    m_free = bytes < m_free ? m_free - bytes : 0;
}
