#include "app/recording_completion.h"

#include "audio/audio_capture.h"
#include "messages/private_messages.h"
#include "recording/recording_journal.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/global_block.h"
#include "win/handles.h"
#include "win/message_box.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace {
constexpr std::uint64_t kMergeMargin = 4 * 1024 * 1024;

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string FullPath(const std::string& path)
{
    std::vector<char> buffer(4096);
    const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    return length > 0 && length < buffer.size() ? std::string(buffer.data(), length) : path;
}

bool SameFile(const std::string& a, const std::string& b)
{
    return !a.empty() && !b.empty() && lstrcmpiA(FullPath(a).c_str(), FullPath(b).c_str()) == 0;
}

void Delete(const std::string& path)
{
    if (!path.empty()) {
        DeleteLargeFile(path);
    }
}

// The journal goes with the movie: until then a recording not yet saved is offered again at the
// next start.
void DeleteMovie(const std::string& path)
{
    Delete(path);
    DeleteJournalOf(path);
}

// Whether the chosen file can be written, without harming a file that is already there: the
// movie may still turn out unusable.
bool CanWrite(const std::string& path)
{
    if (IsFile(path)) {
        return static_cast<bool>(
            OwnFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    }
    if (!OwnFile(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr))) {
        return false;
    }
    DeleteFileA(path.c_str());
    return true;
}

bool AskForFileName(HWND owner, std::string& chosen)
{
    AppSettings& settings = Settings();
    if (settings.savedir.empty()) {
        settings.savedir = GetDefaultSaveDirectory();
    }
    std::vector<char> name(4096, '\0');
    const char initial[] = "*.avi";
    std::copy(std::begin(initial), std::end(initial), name.begin());
    static const char filter[] = "AVI Movie Files (*.avi)\0*.avi\0";

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = settings.savedir.c_str();
    dialog.lpstrTitle = "Save to...";
    dialog.lpstrDefExt = "avi";
    // An existing file is replaced without a question.
    dialog.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&dialog)) {
        return false;
    }
    chosen = name.data();
    return true;
}

void DeleteTemporaries(const RecordingFiles& files)
{
    DeleteMovie(files.movie);
    if (files.withSound) {
        Delete(files.sound);
    }
}

void OpenWithDefaultAction(HWND owner, const std::string& path)
{
    ShellExecuteA(owner, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Where a copy's progress goes, and the last percentage told.
struct CopyProgressTarget {
    HWND window;
    int reported = -1;
};

DWORD CALLBACK CopyProgress(LARGE_INTEGER total, LARGE_INTEGER done, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                            HANDLE, HANDLE, LPVOID data)
{
    auto& target = *static_cast<CopyProgressTarget*>(data);
    const int percent = total.QuadPart > 0 ? static_cast<int>(done.QuadPart * 100 / total.QuadPart) : 100;
    if (percent != target.reported) {
        PostMessageA(target.window, MergeProgressMessage, static_cast<WPARAM>(percent), 0);
        target.reported = percent;
    }
    return PROGRESS_CONTINUE;
}

bool Copy(const std::string& from, const std::string& to, HWND progress)
{
    CopyProgressTarget target{progress};
    return CopyFileExA(from.c_str(), to.c_str(), &CopyProgress, &target, nullptr, 0) != 0;
}

// Moves a temporary file to where the user wants it: at once on the same volume, copied otherwise.
bool Place(const std::string& from, const std::string& to, HWND progress)
{
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        return true;
    }
    if (!Copy(from, to, progress)) {
        return false;
    }
    Delete(from);
    return true;
}

// Why the sound is a file of its own beside the movie.
std::string SoundBesideNote(bool roomToMerge, int mergeResult, const std::string& soundBeside)
{
    if (!roomToMerge) {
        return "There was no room on the disk to put the sound into the movie.\nThe sound was saved beside it as " +
               soundBeside;
    }
    if (mergeResult == kTooLarge) {
        return "The movie with its sound would pass 2 GB, the most one movie file can hold.\nThe sound was saved "
               "beside it as " + soundBeside;
    }
    return "The sound could not be put into the movie.\nIt was saved beside it as " + soundBeside;
}

// Everything the saving thread needs, taken on the main thread before it starts.
struct SaveJob {
    RecordingFiles files;
    std::string chosen;
    std::string mergePath;
    MergeFunction merge;
    MergeRequest request;
    GlobalBlock compressedFormat; // the chosen sound format, copied: the settings may change meanwhile
    HWND progress = nullptr;      // the window that is told how far the save is
};

SaveOutcome SaveWithSound(const SaveJob& job)
{
    const RecordingFiles& files = job.files;
    const std::string soundBeside = job.chosen + ".wav";
    // The merge writes beside the temporary files (a converted sound first, then the movie); on a
    // disk without room for it, the movie and its sound are saved as two files instead of a broken
    // merged one.
    const std::uint64_t sound = FileSize(files.sound).value_or(0);
    const bool roomToMerge = FreeDiskBytes(GetTempDirectory()).value_or(0) >=
                             FileSize(files.movie).value_or(0) + sound * (job.request.compressAudio ? 2 : 1) + kMergeMargin;
    const int result = job.merge && roomToMerge ? job.merge(job.request) : kMergedSaveFailed;
    if (result == kMerged) {
        if (!Place(job.mergePath, job.chosen, job.progress)) {
            Delete(job.mergePath);
            return {};
        }
        Delete(files.movie);
        Delete(files.sound);
        return {SaveOutcome::End::Saved, ""};
    }
    Delete(job.mergePath);
    if (result == kVideoUnusable || result == kFirstStreamNotVideo) {
        // No movie to save; the sound may still be worth keeping.
        const bool soundKept = Place(files.sound, soundBeside, job.progress);
        Delete(files.movie);
        return {SaveOutcome::End::Abandoned,
                soundKept ? "The movie could not be saved: the recorded video is unusable.\nThe sound was saved as " +
                                soundBeside
                          : "The movie could not be saved: the recorded video is unusable."};
    }
    // The sound is not in the movie: it is kept beside it. A sound file that could not be created
    // must not keep the movie from being saved.
    const bool soundFile = IsFile(files.sound);
    if ((soundFile && !Copy(files.sound, soundBeside, job.progress)) || !Place(files.movie, job.chosen, job.progress)) {
        return {};
    }
    Delete(files.sound);
    if (!soundFile) {
        return {SaveOutcome::End::Saved, ""};
    }
    return {SaveOutcome::End::Saved, SoundBesideNote(roomToMerge, result, soundBeside)};
}

SaveOutcome Save(const SaveJob& job)
{
    const RecordingFiles& files = job.files;
    if (files.withSound && !files.soundDeviceFailed) {
        return SaveWithSound(job);
    }
    if (!Place(files.movie, job.chosen, job.progress)) {
        return {};
    }
    if (!files.withSound) {
        return {SaveOutcome::End::Saved, ""};
    }
    // The sound file holds a header and nothing more.
    Delete(files.sound);
    return {SaveOutcome::End::Saved, "The sound device could not be opened: the movie was saved without sound."};
}
} // namespace

CRecordingCompletion::CRecordingCompletion(CConvertProgressDialog& progress)
    : m_progress(progress), m_openMovie(&OpenWithDefaultAction)
{
}

void CRecordingCompletion::Complete(HWND mainWindow, RecordingFiles files, RecordingStop stop)
{
    m_waiting.push_front(std::move(files));
    m_stop = stop;
    OnRecordingComplete(mainWindow);
}

void CRecordingCompletion::Discard(const RecordingFiles& files)
{
    DeleteTemporaries(files);
}

CRecordingCompletion::~CRecordingCompletion()
{
    if (m_saving.joinable()) {
        m_saving.join();
    }
}

void CRecordingCompletion::OnRecordingComplete(HWND mainWindow)
{
    // The Save dialog and the save dispatch messages; a second completion cannot belong to a
    // recording, since none starts while this one runs.
    if (m_running) {
        return;
    }
    // A run asked for again keeps its files; a new one takes the next waiting recording.
    if (!m_runAgainPosted) {
        if (m_waiting.empty()) {
            return;
        }
        m_files = std::move(m_waiting.front());
        m_waiting.pop_front();
    }
    m_running = true;
    m_runAgainPosted = false;
    if (!Run(mainWindow)) {
        EndRun();
    }
}

void CRecordingCompletion::EndRun()
{
    m_running = false;
    if (!m_runAgainPosted && !m_waiting.empty()) {
        PostRun();
    }
}

void CRecordingCompletion::CompleteRecovered(std::vector<RecordingFiles> recordings)
{
    const bool idle = !IsRunning();
    m_waiting.insert(m_waiting.end(), std::make_move_iterator(recordings.begin()),
                     std::make_move_iterator(recordings.end()));
    if (idle && !m_waiting.empty()) {
        PostRun();
    }
}

bool CRecordingCompletion::Run(HWND mainWindow)
{
    if (m_bringToFront) {
        m_bringToFront();
    }
    const RecordingStop stop = std::exchange(m_stop, RecordingStop::None);
    AppSettings& settings = Settings();
    if (m_files.cancelled) {
        DeleteTemporaries(m_files);
        return false;
    }
    // Nothing to save: a repeated message must not keep asking for a name.
    if (!IsFile(m_files.movie)) {
        return false;
    }
    if (stop != RecordingStop::None) {
        ShowNote(mainWindow, RecordingStopNote(stop, true), MB_OK | MB_ICONEXCLAMATION);
    }
    std::string chosen;
    if (!AskForFileName(mainWindow, chosen)) {
        DeleteTemporaries(m_files);
        return false;
    }
    const auto slash = chosen.find_last_of('\\');
    if (slash != std::string::npos) {
        settings.savedir = chosen.substr(0, slash);
    }
    // Saving onto a temporary file would delete the movie right after writing it.
    settings.g_mergepath = GetTempDirectory() + "\\tempaudiovideomerge.avi";
    if (SameFile(chosen, m_files.movie) || (m_files.withSound && SameFile(chosen, m_files.sound)) ||
        SameFile(chosen, settings.g_mergepath) || !CanWrite(chosen)) {
        RunAgain();
        return false;
    }
    return StartSave(mainWindow, chosen);
}

bool CRecordingCompletion::StartSave(HWND mainWindow, const std::string& chosen)
{
    const AppSettings& settings = Settings();
    auto job = std::make_unique<SaveJob>();
    job->files = m_files;
    job->chosen = chosen;
    job->mergePath = settings.g_mergepath;
    job->merge = m_merge;
    job->progress = mainWindow;
    if (const HGLOBAL format = settings.g_audioformat.handle(); format && settings.bAudioCompression) {
        LockedGlobal source(format);
        const std::size_t size = GlobalSize(format);
        job->compressedFormat = GlobalBlock(size);
        LockedGlobal target(job->compressedFormat.handle());
        if (source.data() && target.data()) {
            std::memcpy(target.data(), source.data(), size);
        }
    }
    job->request = {m_files.movie,
                    m_files.sound,
                    job->mergePath,
                    settings.bAudioCompression,
                    job->compressedFormat.handle(),
                    settings.cbwfx,
                    settings.interleaveFrames,
                    settings.interleaveFactor,
                    settings.interleaveUnit};
    Delete(job->mergePath);
    m_chosen = chosen;
    m_progress.SetRange(0, 100);
    m_progress.SetPosition(0);
    m_progress.Show();
    m_saving = std::thread([this, job = std::move(job), mainWindow] {
        // The window that shows the progress comes first.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        m_outcome = Save(*job);
        PostMessageA(mainWindow, kSaveDoneMessage, 0, 0);
    });
    return true;
}

void CRecordingCompletion::OnSaveDone(HWND mainWindow)
{
    if (!m_saving.joinable()) {
        return;
    }
    m_saving.join();
    m_progress.Hide();
    const SaveOutcome outcome = std::move(m_outcome);
    if (!outcome.note.empty()) {
        ShowNote(mainWindow, outcome.note, MB_OK | MB_ICONEXCLAMATION);
    }
    // After a failure every temporary file is still there; the Save dialog comes back.
    if (outcome.end == SaveOutcome::End::Again) {
        RunAgain();
    } else {
        // The movie is saved or gone: nothing is left to offer at the next start.
        DeleteJournalOf(m_files.movie);
        if (outcome.end == SaveOutcome::End::Saved) {
            Finish(mainWindow, m_chosen);
        }
    }
    EndRun();
}

void CRecordingCompletion::RunAgain()
{
    m_runAgainPosted = PostMessageA(Settings().g_mainwindow, WM_USER_GENERIC_MSG, 0, 0) != 0;
}

void CRecordingCompletion::PostRun()
{
    PostMessageA(Settings().g_mainwindow, WM_USER_GENERIC_MSG, 0, 0);
}

void CRecordingCompletion::Finish(HWND mainWindow, const std::string& chosen)
{
    m_currentMovie = chosen;
    EnableWindow(GetDlgItem(mainWindow, IDC_PLAY), TRUE);
    if (Settings().launchPlayer == 1 && m_openMovie) {
        m_openMovie(mainWindow, chosen);
    }
}
