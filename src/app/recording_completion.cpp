#include "app/recording_completion.h"

#include "app/completion_files.h"
#include "app/completion_rules.h"
#include "audio/merge_audio_video.h"
#include "messages/private_messages.h"
#include "recording/recording_journal.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/global_block.h"
#include "win/message_box.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace {
constexpr std::uint64_t kMergeMargin = 4 * 1024 * 1024;
constexpr char kDiscardQuestion[] =
    "Throw this recording away? It cannot be brought back.\n\nNo returns to the Save dialog.";

enum class Naming { Chosen, Discard };

// Keys typed before the Save dialog showed (an Escape after the stop key, say) were meant for
// whatever was in front then. They may reach this thread only once the dialog runs, so each key
// message the dialog's loop takes is judged by the time it was typed.
class KeysTypedBeforeShown {
public:
    KeysTypedBeforeShown()
        : m_hook(SetWindowsHookExA(WH_GETMESSAGE, &Filter, nullptr, GetCurrentThreadId()))
    {
        s_shown = false;
    }
    KeysTypedBeforeShown(const KeysTypedBeforeShown&) = delete;
    KeysTypedBeforeShown& operator=(const KeysTypedBeforeShown&) = delete;
    ~KeysTypedBeforeShown()
    {
        if (m_hook) {
            UnhookWindowsHookEx(m_hook);
        }
    }

    // The dialog's hook: the moment it has shown.
    static UINT_PTR CALLBACK OnDialog(HWND, UINT message, WPARAM, LPARAM lParam)
    {
        if (message == WM_NOTIFY && reinterpret_cast<const OFNOTIFYA*>(lParam)->hdr.code == CDN_INITDONE) {
            s_shownAt = GetTickCount();
            s_shown = true;
        }
        return 0;
    }

private:
    static LRESULT CALLBACK Filter(int code, WPARAM removed, LPARAM lParam)
    {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (code == HC_ACTION && removed == PM_REMOVE && message->message >= WM_KEYFIRST &&
            message->message <= WM_KEYLAST &&
            (!s_shown || static_cast<LONG>(message->time - s_shownAt) < 0)) {
            message->message = WM_NULL;
        }
        return CallNextHookEx(nullptr, code, removed, lParam);
    }

    static inline DWORD s_shownAt = 0;
    static inline bool s_shown = false;
    HHOOK m_hook;
};

bool RunSaveDialog(HWND owner, std::string& chosen)
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
    dialog.Flags =
        OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
    dialog.lpfnHook = &KeysTypedBeforeShown::OnDialog;
    const KeysTypedBeforeShown typedBefore;
    if (!GetSaveFileNameA(&dialog)) {
        return false;
    }
    chosen = name.data();
    return true;
}

// A Cancel may be a slip as easily as a choice: nothing is thrown away until the user says so.
Naming AskForFileName(HWND owner, std::string& chosen)
{
    for (;;) {
        if (RunSaveDialog(owner, chosen)) {
            return Naming::Chosen;
        }
        if (ShowNote(owner, kDiscardQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
            return Naming::Discard;
        }
    }
}

void OpenWithDefaultAction(HWND owner, const std::string& path)
{
    ShellExecuteA(owner, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
    const std::atomic<bool>* abandon = nullptr;
};

MergeEnd Merge(const SaveJob& job)
{
    // An error of the merge's own (memory, say) costs the merged movie, not the recording.
    int result = kMergedSaveFailed;
    try {
        result = job.merge ? job.merge(job.request) : kMergedSaveFailed;
    } catch (...) {
        result = kMergedSaveFailed;
    }
    switch (result) {
    case kMerged:
        return MergeEnd::Merged;
    case kVideoUnusable:
    case kFirstStreamNotVideo:
        return MergeEnd::VideoUnusable;
    default:
        return MergeEnd::Failed;
    }
}

SaveOutcome Save(const SaveJob& job)
{
    const RecordingFiles& files = job.files;
    const std::atomic<bool>& abandon = *job.abandon;
    const std::string soundBeside = job.chosen + ".wav";
    const SaveFacts facts{files.withSound, files.soundDeviceFailed, IsFile(files.sound)};
    // The merge writes beside the temporary files (a converted sound first, then the movie); on a
    // disk without room for it, the movie and its sound are saved as two files instead of a broken
    // merged one.
    const std::uint64_t sound = FileSize(files.sound).value_or(0);
    const bool roomToMerge = FreeDiskBytes(GetTempDirectory()).value_or(0) >=
                             FileSize(files.movie).value_or(0) + sound * (job.request.compressAudio ? 2 : 1) + kMergeMargin;
    const MergeEnd merge = ShouldMerge(facts, roomToMerge) ? Merge(job) : MergeEnd::NotTried;
    const SaveRoute route = RouteFor(facts, merge);
    bool soundKept = false;
    switch (route) {
    case SaveRoute::Merged:
        if (!Place(job.mergePath, job.chosen, job.progress, abandon)) {
            DeleteNow(job.mergePath);
            return {};
        }
        DeleteNow(files.movie);
        break;
    case SaveRoute::SoundOnly:
        DeleteNow(job.mergePath);
        soundKept = Place(files.sound, soundBeside, job.progress, abandon);
        DeleteNow(files.movie);
        return {SaveOutcome::End::Abandoned, SaveNote(route, facts, merge, soundBeside, soundKept)};
    case SaveRoute::MovieAndSoundBeside:
        DeleteNow(job.mergePath);
        if (!CopyWhole(files.sound, soundBeside, job.progress, abandon)) {
            return {};
        }
        [[fallthrough]];
    case SaveRoute::MovieOnly:
        if (!Place(files.movie, job.chosen, job.progress, abandon)) {
            return {};
        }
        break;
    }
    if (files.withSound) {
        DeleteNow(files.sound);
    }
    return {SaveOutcome::End::Saved, SaveNote(route, facts, merge, soundBeside, true)};
}
} // namespace

CRecordingCompletion::CRecordingCompletion(CConvertProgressDialog& progress)
    : m_progress(progress), m_openMovie(&OpenWithDefaultAction)
{
}

CRecordingCompletion::~CRecordingCompletion()
{
    if (m_saving.joinable()) {
        m_saving.join();
    }
}

void CRecordingCompletion::Add(RecordingFiles files, RecordingStop stop)
{
    m_waiting.emplace_front(std::move(files), stop);
}

void CRecordingCompletion::AddRecovered(std::vector<RecordingFiles> recordings)
{
    for (RecordingFiles& files : recordings) {
        m_waiting.emplace_back(std::move(files), RecordingStop::None);
    }
}

void CRecordingCompletion::Discard(const RecordingFiles& files)
{
    // The journal first: a recording being thrown away is not to be offered again.
    DeleteJournalOf(files.movie);
    DeleteLater(files.movie);
    if (files.withSound) {
        DeleteLater(files.sound);
    }
}

CRecordingCompletion::Step CRecordingCompletion::Next(HWND mainWindow)
{
    // A recording asked for again keeps its files; otherwise the next waiting one is taken.
    if (!m_files) {
        if (m_waiting.empty()) {
            return Step::Done;
        }
        m_files = std::move(m_waiting.front().first);
        m_stop = m_waiting.front().second;
        m_waiting.pop_front();
    }
    const RecordingStop stop = std::exchange(m_stop, RecordingStop::None);
    // Nothing to save: a repeated step must not keep asking for a name.
    if (!IsFile(m_files->movie)) {
        m_files.reset();
        return Step::Done;
    }
    if (stop != RecordingStop::None) {
        ShowNote(mainWindow, RecordingStopNote(stop, true), MB_OK | MB_ICONEXCLAMATION);
    }
    std::string chosen;
    if (AskForFileName(mainWindow, chosen) == Naming::Discard) {
        Discard(*m_files);
        m_files.reset();
        return Step::Done;
    }
    AppSettings& settings = Settings();
    const auto slash = chosen.find_last_of('\\');
    if (slash != std::string::npos) {
        settings.savedir = chosen.substr(0, slash);
    }
    // Saving onto a temporary file would delete the movie right after writing it.
    settings.g_mergepath = GetTempDirectory() + "\\tempaudiovideomerge.avi";
    if (SameFile(chosen, m_files->movie) || (m_files->withSound && SameFile(chosen, m_files->sound)) ||
        SameFile(chosen, settings.g_mergepath) || !CanWrite(chosen)) {
        return Step::Again;
    }
    return StartSave(mainWindow, chosen);
}

CRecordingCompletion::Step CRecordingCompletion::StartSave(HWND mainWindow, const std::string& chosen)
{
    const AppSettings& settings = Settings();
    auto job = std::make_unique<SaveJob>();
    job->files = *m_files;
    job->chosen = chosen;
    job->mergePath = settings.g_mergepath;
    job->merge = m_merge;
    job->progress = mainWindow;
    job->abandon = &m_abandon;
    if (const HGLOBAL format = settings.g_audioformat.handle(); format && settings.bAudioCompression) {
        LockedGlobal source(format);
        const std::size_t size = GlobalSize(format);
        job->compressedFormat = GlobalBlock(size);
        LockedGlobal target(job->compressedFormat.handle());
        if (source.data() && target.data()) {
            std::memcpy(target.data(), source.data(), size);
        }
    }
    job->request = {m_files->movie,
                    m_files->sound,
                    job->mergePath,
                    settings.bAudioCompression,
                    job->compressedFormat.handle(),
                    settings.cbwfx,
                    settings.interleaveFrames,
                    settings.interleaveFactor,
                    settings.interleaveUnit};
    DeleteNow(job->mergePath);
    m_chosen = chosen;
    m_abandon = false;
    m_progress.SetRange(0, 100);
    m_progress.SetPosition(0);
    m_progress.Show();
    m_saving = std::thread([this, job = std::move(job), mainWindow] {
        // The window that shows the progress comes first.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        // Whatever goes wrong, every temporary file is still there and the user is told.
        try {
            m_outcome = Save(*job);
        } catch (const std::exception& error) {
            m_outcome = {SaveOutcome::End::Again, UnexpectedSaveFailureNote(error.what())};
        } catch (...) {
            m_outcome = {SaveOutcome::End::Again, UnexpectedSaveFailureNote("an unknown error")};
        }
        PostMessageA(mainWindow, kSaveDoneMessage, 0, 0);
    });
    return Step::SaveStarted;
}

CRecordingCompletion::Step CRecordingCompletion::OnSaveDone(HWND mainWindow)
{
    if (!m_saving.joinable()) {
        return Step::Done;
    }
    m_saving.join();
    m_progress.Hide();
    const SaveOutcome outcome = std::move(m_outcome);
    if (!outcome.note.empty()) {
        ShowNote(mainWindow, outcome.note, MB_OK | MB_ICONEXCLAMATION);
    }
    // After a failure every temporary file is still there; the Save dialog comes back.
    if (outcome.end == SaveOutcome::End::Again) {
        return Step::Again;
    }
    // The movie is saved or gone: nothing is left to offer at the next start.
    DeleteJournalOf(m_files->movie);
    m_files.reset();
    if (outcome.end == SaveOutcome::End::Saved) {
        m_currentMovie = m_chosen;
        if (Settings().launchPlayer == 1 && m_openMovie) {
            m_openMovie(mainWindow, m_chosen);
        }
    }
    return Step::Done;
}
