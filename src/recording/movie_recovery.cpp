#include "recording/movie_recovery.h"

#include "audio/movie_file.h"
#include "audio/wave_repair.h"
#include "recording/movie_rebuild.h"
#include "recording/recording_journal.h"
#include "recording/recording_journal_format.h"
#include "win/directories.h"
#include "win/file_io.h"

#include <algorithm>

namespace {
constexpr char kJournalPattern[] = "~temp*.avi.journal";
// A journal grows by 24 bytes a frame: this is 24 hours at 200 frames/s, with room to spare.
constexpr std::uint64_t kLongestJournal = 512ull * 1024 * 1024;
constexpr std::size_t kWaveHeadBytes = 4096;

OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

bool ReadAtOffset(HANDLE file, std::uint64_t offset, void* into, std::size_t count)
{
    OVERLAPPED at = At(offset);
    DWORD read = 0;
    return count <= MAXDWORD && ReadFile(file, into, static_cast<DWORD>(count), &read, &at) && read == count;
}

bool WriteAtOffset(HANDLE file, std::uint64_t offset, std::uint32_t value)
{
    OVERLAPPED at = At(offset);
    DWORD written = 0;
    return WriteFile(file, &value, sizeof(value), &written, &at) && written == sizeof(value);
}

std::uint64_t SizeOf(HANDLE file)
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

std::vector<std::uint8_t> ReadStart(HANDLE file, std::uint64_t limit)
{
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(SizeOf(file), limit)));
    if (!ReadAtOffset(file, 0, bytes.data(), bytes.size())) {
        bytes.clear();
    }
    return bytes;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool StartsWithNoCase(const std::string& text, const std::string& start)
{
    return text.size() >= start.size() && lstrcmpiA(text.substr(0, start.size()).c_str(), start.c_str()) == 0;
}

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && lstrcmpiA(text.substr(text.size() - end.size()).c_str(), end.c_str()) == 0;
}

// The journal names the sound file; only a temporary sound file beside it is ever touched.
bool IsTemporarySoundBeside(const std::string& sound, const std::string& journal)
{
    const std::string folder = FolderOf(sound);
    const std::string name = sound.substr(std::min(sound.size(), folder.size() + 1));
    return !folder.empty() && lstrcmpiA(folder.c_str(), FolderOf(journal).c_str()) == 0 &&
           StartsWithNoCase(name, "~temp") && EndsWithNoCase(name, ".wav") &&
           name.find_first_of("\\/:") == std::string::npos;
}

// Writes the sizes the sound file's writer never wrote; false when nothing of it can be kept.
bool CompleteSoundFile(const std::string& path)
{
    const KernelHandle file =
        OwnFile(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    const std::vector<std::uint8_t> head = ReadStart(file.get(), kWaveHeadBytes);
    const std::optional<WaveRepair> repair = PlanWaveRepair(head, SizeOf(file.get()));
    if (!repair || repair->dataSize == 0) {
        return false;
    }
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(repair->length);
    return WriteAtOffset(file.get(), 4, repair->riffSize) &&
           WriteAtOffset(file.get(), repair->dataSizeOffset, repair->dataSize) &&
           SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(file.get());
}

// The sound files the journal names, those beside it only: at most the microphone's and the computer's.
std::vector<std::string> SoundsOf(const LeftRecording& left, const std::optional<RecordingJournal>& journal)
{
    std::vector<std::string> sounds;
    if (journal) {
        for (const std::string& path : journal->soundPaths) {
            if (sounds.size() < 2 && IsTemporarySoundBeside(path, left.journal)) {
                sounds.push_back(path);
            }
        }
    }
    return sounds;
}

// Others may neither read nor write it; deleting it stays possible.
KernelHandle HoldExclusively(const std::string& path)
{
    return OwnFile(CreateFileA(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
}

void DeleteJournal(LeftRecording& left)
{
    // Deleted while still held, as the recording itself does.
    DeleteFileA(left.journal.c_str());
    left.journalHold.reset();
}

void DeleteAll(LeftRecording& left, const std::vector<std::string>& sounds)
{
    DeleteFileA(left.movie.c_str());
    left.movieHold.reset();
    for (const std::string& sound : sounds) {
        DeleteFileA(sound.c_str());
    }
    DeleteJournal(left);
}
} // namespace

std::vector<LeftRecording> FindLeftRecordings(const std::string& folder)
{
    std::vector<LeftRecording> found;
    for (const std::string& name : FilesMatching(folder, kJournalPattern)) {
        // The pattern also matches longer extensions that begin the same way.
        if (!EndsWithNoCase(name, ".avi.journal")) {
            continue;
        }
        LeftRecording left;
        left.journal = folder + "\\" + name;
        left.movie = left.journal.substr(0, left.journal.size() - (sizeof(kJournalSuffix) - 1));
        // A running recording holds its journal open for writing: this open fails for it.
        left.journalHold = HoldExclusively(left.journal);
        if (left.journalHold) {
            left.movieHold = HoldExclusively(left.movie);
            found.push_back(std::move(left));
        }
    }
    return found;
}

RecoveryOutcome RecoverRecording(LeftRecording& left, RecoveredRecording& recovered)
{
    const std::optional<RecordingJournal> journal = ParseJournal(ReadStart(left.journalHold.get(), kLongestJournal));
    const std::vector<std::string> sounds = SoundsOf(left, journal);
    if (!left.movieHold && FileExists(left.movie)) {
        return RecoveryOutcome::Failed; // in use elsewhere
    }
    std::vector<RecoveredFrame> frames;
    const ReadAt read = [&left](std::uint64_t offset, void* into, std::size_t count) {
        return ReadAtOffset(left.movieHold.get(), offset, into, count);
    };
    if (left.movieHold && journal) {
        frames = MatchFrames(journal->frames, FindFrameChunks(read, SizeOf(left.movieHold.get())));
    }
    if (frames.empty()) {
        DeleteAll(left, sounds);
        return RecoveryOutcome::NothingLeft;
    }

    const std::string rebuilt = left.movie + ".rebuilt";
    bool written = false;
    {
        CMovieFile out(rebuilt);
        written = out.IsOpen() && WriteRecoveredMovie(journal->stream, frames, read, out);
    }
    // Replaced in one step, so that a crash now leaves either movie whole. The old movie keeps a
    // second name until it is cut away in small steps: its blocks freed at once, Wine's server holds
    // every window of every program for as long (800 ms for 1.5 GB).
    left.movieHold.reset();
    const std::string replaced = left.movie + kReplacedSuffix;
    const bool secondName = written && CreateHardLinkA(replaced.c_str(), left.movie.c_str(), nullptr);
    if (!written || !ReplaceWithFile(rebuilt, left.movie)) {
        DeleteFileA(rebuilt.c_str());
        if (secondName) {
            DeleteFileA(replaced.c_str());
        }
        left.movieHold = HoldExclusively(left.movie);
        return RecoveryOutcome::Failed;
    }
    if (secondName) {
        DeleteLargeFile(replaced);
    }
    recovered.movie = left.movie;
    recovered.frames = frames.size();
    recovered.sound.clear();
    recovered.computerSound.clear();
    for (std::size_t i = 0; i < sounds.size(); ++i) {
        // The computer's track is kept only beside the microphone's: alone it would pass for the mix.
        if ((i == 0 || !recovered.sound.empty()) && CompleteSoundFile(sounds[i])) {
            (i == 0 ? recovered.sound : recovered.computerSound) = sounds[i];
        } else {
            DeleteFileA(sounds[i].c_str());
        }
    }
    DeleteJournal(left);
    return RecoveryOutcome::Recovered;
}

void DeleteLeftRecording(LeftRecording& left)
{
    DeleteAll(left, SoundsOf(left, ParseJournal(ReadStart(left.journalHold.get(), kLongestJournal))));
}
