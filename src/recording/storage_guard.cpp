#include "recording/storage_guard.h"

#include "audio/movie_file.h"
#include "settings/app_settings.h"
#include "win/file_io.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>

namespace {
std::uint64_t SoundBytesPerSecond()
{
    const AppSettings& settings = Settings();
    const std::uint64_t tracks = settings.g_tempcomputerwavfile.empty() ? 1 : 2;
    return RecordsSound(settings) ? settings.g_recordformat.nAvgBytesPerSec * tracks : 0;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
} // namespace

CStorageGuard::CStorageGuard(const std::string& moviePath, const std::string& saveFolder)
    : m_folder(FolderOf(moviePath)), m_largestFile(std::min(LargestFileIn(m_folder), LargestFileIn(saveFolder)))
{
}

RecordingStop CStorageGuard::BeforeWrite(std::uint64_t movieBytes, std::uint64_t frameBytes, std::uint32_t position)
{
    m_free.Used(movieBytes > m_movieBytes ? movieBytes - m_movieBytes : 0);
    m_movieBytes = movieBytes;
    StorageRoom room{movieBytes, 0, m_soundBytes, SoundBytesPerSecond(), m_largestFile};
    // Asked only when the estimate says the answer may matter, or a second has passed.
    if (const DWORD now = timeGetTime(); m_free.NeedsQuery(now, frameBytes + (room.soundBytesPerSecond * 2))) {
        if (const auto free = FreeDiskBytes(m_folder)) {
            m_free.Measured(*free, now);
        }
        if (RecordsSound(Settings())) {
            m_soundBytes = FileSize(Settings().g_tempwavfile).value_or(0) +
                           FileSize(Settings().g_tempcomputerwavfile).value_or(0);
            room.soundBytes = m_soundBytes;
        }
    }
    room.freeBytes = m_free.Bytes();
    return RoomForFrame(room, frameBytes, position);
}
