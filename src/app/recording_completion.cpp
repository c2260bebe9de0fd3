#include "app/recording_completion.h"

#include "messages/private_messages.h"
#include "recording/recording_journal.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "win/message_box.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>
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

bool Copy(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void Delete(const std::string& path)
{
    if (!path.empty()) {
        DeleteFileA(path.c_str());
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

void CRecordingCompletion::OnRecordingComplete(HWND mainWindow)
{
    // The Save dialog and the merge dispatch messages; a second completion cannot belong to a
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
    Run(mainWindow);
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

void CRecordingCompletion::Run(HWND mainWindow)
{
    if (m_bringToFront) {
        m_bringToFront();
    }
    const RecordingStop stop = std::exchange(m_stop, RecordingStop::None);
    AppSettings& settings = Settings();
    if (m_files.cancelled) {
        DeleteTemporaries(m_files);
        return;
    }
    // Nothing to save: a repeated message must not keep asking for a name.
    if (!IsFile(m_files.movie)) {
        return;
    }
    if (stop != RecordingStop::None) {
        ShowNote(mainWindow, RecordingStopNote(stop, true), MB_OK | MB_ICONEXCLAMATION);
    }
    std::string chosen;
    if (!AskForFileName(mainWindow, chosen)) {
        DeleteTemporaries(m_files);
        return;
    }
    const auto slash = chosen.find_last_of('\\');
    if (slash != std::string::npos) {
        settings.savedir = chosen.substr(0, slash);
    }
    // Saving onto a temporary file would delete the movie right after writing it.
    if (SameFile(chosen, m_files.movie) || (m_files.withSound && SameFile(chosen, m_files.sound))) {
        RunAgain();
        return;
    }
    if (!m_files.withSound) {
        if (!Copy(m_files.movie, chosen)) {
            RunAgain();
            return;
        }
        DeleteMovie(m_files.movie);
        Finish(mainWindow, chosen);
        return;
    }
    SaveWithSound(mainWindow, chosen);
}

void CRecordingCompletion::SaveWithSound(HWND mainWindow, const std::string& chosen)
{
    AppSettings& settings = Settings();
    settings.g_mergepath = GetTempDirectory() + "\\tempaudiovideomerge.avi";
    if (!CanWrite(chosen) || SameFile(chosen, settings.g_mergepath)) {
        RunAgain();
        return;
    }
    m_progress.SetRange(0, 100);
    m_progress.SetPosition(0);
    m_progress.Show();
    Delete(settings.g_mergepath);

    int result = kMergedSaveFailed;
    // The merge writes beside the temporary files; on a disk without room for it, the movie and
    // its sound are saved as two files instead of a broken merged one.
    const bool roomToMerge = FreeDiskBytes(GetTempDirectory()).value_or(0) >=
                             FileSize(m_files.movie).value_or(0) +
                                 FileSize(m_files.sound).value_or(0) + kMergeMargin;
    if (m_merge && roomToMerge) {
        const MergeRequest request{m_files.movie,              m_files.sound,                   settings.g_mergepath,
                                   settings.bAudioCompression, settings.g_audioformat.handle(), settings.cbwfx,
                                   settings.interleaveFrames, settings.interleaveFactor, settings.interleaveUnit};
        result = m_merge(request);
    }
    const std::string& movie = m_files.movie;
    const std::string& sound = m_files.sound;
    const std::string soundBeside = chosen + ".wav";

    bool saved = false;
    switch (result) {
    case kMerged:
        saved = Copy(settings.g_mergepath, chosen);
        break;
    case kVideoUnusable:
    case kFirstStreamNotVideo: {
        // No movie to save; the sound may still be worth keeping.
        const bool soundKept = Copy(sound, soundBeside);
        m_progress.Hide();
        DeleteMovie(movie);
        Delete(settings.g_mergepath);
        if (soundKept) {
            Delete(sound);
        }
        ShowNote(mainWindow, soundKept ? "The movie could not be saved: the recorded video is unusable.\nThe sound was "
                                         "saved as " + soundBeside
                                       : "The movie could not be saved: the recorded video is unusable.",
                 MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    case kSoundUnusable:
    case kSecondStreamNotAudio:
        saved = Copy(movie, chosen);
        break;
    default:
        // A sound file that could not be created must not keep the movie from being saved.
        saved = Copy(movie, chosen) && (!IsFile(sound) || Copy(sound, soundBeside));
        break;
    }
    m_progress.Hide();
    if (saved && !roomToMerge && IsFile(soundBeside)) {
        ShowNote(mainWindow, "There was no room on the disk to put the sound into the movie.\nThe sound was saved "
                             "beside it as " + soundBeside,
                 MB_OK | MB_ICONEXCLAMATION);
    }
    // Every temporary file stays until the movie is safely saved; the Save dialog comes back.
    if (!saved) {
        RunAgain();
        return;
    }
    DeleteMovie(movie);
    Delete(sound);
    Delete(settings.g_mergepath);
    Finish(mainWindow, chosen);
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
