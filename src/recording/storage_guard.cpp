#include "recording/storage_guard.h"

#include "settings/app_settings.h"
#include "win/file_io.h"

#include <windows.h>
#include <mmsystem.h>

namespace {
std::uint64_t SoundBytesPerSecond()
{
    const AppSettings& settings = Settings();
    return settings.recordaudio != 0 ? settings.g_recordformat.nAvgBytesPerSec : 0;
}
} // namespace

CStorageGuard::CStorageGuard(std::string moviePath) : m_moviePath(std::move(moviePath))
{
    const auto slash = m_moviePath.find_last_of('\\');
    m_folder = slash == std::string::npos ? std::string(".") : m_moviePath.substr(0, slash);
    m_movieBytes = FileSize(m_moviePath).value_or(0);
}

RecordingStop CStorageGuard::BeforeWrite(std::uint64_t frameBytes, std::uint32_t position)
{
    StorageRoom room{m_movieBytes, 0, m_soundBytes, SoundBytesPerSecond()};
    room.freeBytes = UINT64_MAX;
    // Asked only when the estimate says the answer may matter, or a second has passed.
    if (const DWORD now = timeGetTime(); m_free.NeedsQuery(now, frameBytes + (room.soundBytesPerSecond * 2))) {
        if (const auto free = FreeDiskBytes(m_folder)) {
            m_free.Measured(*free, now);
        }
        if (Settings().recordaudio != 0) {
            m_soundBytes = FileSize(Settings().g_tempwavfile).value_or(0);
            room.soundBytes = m_soundBytes;
        }
    }
    room.freeBytes = m_free.Bytes();
    return RoomForFrame(room, frameBytes, position);
}

RecordingStop CStorageGuard::AfterWrite(std::uint64_t bytesReported, std::uint64_t frameBytes)
{
    const std::uint64_t before = m_movieBytes;
    m_movieBytes = FileSize(m_moviePath).value_or(before);
    const std::uint64_t grown = m_movieBytes > before ? m_movieBytes - before : 0;
    m_free.Used(grown);
    // A file that grew by less than it was given is checked against the disk at once.
    const bool grewLess = bytesReported > 0 ? grown < bytesReported : grown == 0;
    if (!grewLess && m_free.Bytes() >= 2 * frameBytes) {
        return RecordingStop::None;
    }
    const std::uint64_t free = FreeDiskBytes(m_folder).value_or(0);
    m_free.Measured(free, timeGetTime());
    if (!WriteFellShort(before, m_movieBytes, bytesReported, frameBytes, free)) {
        return RecordingStop::None;
    }
    m_partialFrameAt = before;
    return RecordingStop::DiskFull;
}

void CStorageGuard::DropPartialFrame() const
{
    if (m_partialFrameAt != 0) {
        TruncateFile(m_moviePath, m_partialFrameAt);
    }
}
