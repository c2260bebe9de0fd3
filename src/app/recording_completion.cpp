#include "app/recording_completion.h"

#include "app/completion_files.h"
#include "app/completion_rules.h"
#include "audio/merge_audio_video.h"
#include "messages/private_messages.h"
#include "options/ffmpeg_file_choice.h"
#include "recording/recording_journal.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/global_block.h"
#include "win/message_box.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {
constexpr std::uint64_t kMergeMargin = 4 * 1024 * 1024;
constexpr DWORD kAbandonConversionWaitMs = 10000;
constexpr char kProgressTitle[] = "Convert progress";
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

std::string SaveDialogFilter()
{
    std::string filter;
    for (const MovieFormatFacts& facts : kMovieFormats) {
        filter.append(facts.label).append(1, '\0').append("*.").append(facts.extension).append(1, '\0');
    }
    return filter;
}

// The name comes back as typed: ResolveOutputName gives it the picked type's extension when it has
// none of the formats' own.
bool RunSaveDialog(HWND owner, OutputName& chosen)
{
    AppSettings& settings = Settings();
    if (settings.savedir.empty()) {
        settings.savedir = GetDefaultSaveDirectory();
    }
    std::vector<char> name(4096, '\0');
    const std::string filter = SaveDialogFilter();

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(SettingFromFormat(FormatFromSetting(settings.saveFormat))) + 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrInitialDir = settings.savedir.c_str();
    dialog.lpstrTitle = "Save to...";
    // An existing file is replaced without a question.
    dialog.Flags =
        OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_ENABLEHOOK;
    dialog.lpfnHook = &KeysTypedBeforeShown::OnDialog;
    const KeysTypedBeforeShown typedBefore;
    if (!GetSaveFileNameA(&dialog)) {
        return false;
    }
    const MovieFormat picked = FormatFromSetting(static_cast<std::int32_t>(dialog.nFilterIndex) - 1);
    chosen = ResolveOutputName(name.data(), picked);
    settings.saveFormat = SettingFromFormat(chosen.format);
    return true;
}

// A Cancel may be a slip as easily as a choice: nothing is thrown away until the user says so.
Naming AskForFileName(HWND owner, OutputName& chosen)
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

// The ffmpeg.exe that makes the chosen format; without one the user hears where to get it and may
// choose it at once.
std::optional<std::string> FfmpegFor(HWND owner, const OutputName& output, const std::string& avi)
{
    AppSettings& settings = Settings();
    if (std::optional<std::string> found = FindFfmpeg(settings.ffmpegPath)) {
        return found;
    }
    const std::string question = MissingFfmpegQuestion(std::string(FactsOf(output.format).name), avi);
    if (ShowNote(owner, question, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
        return std::nullopt;
    }
    const std::optional<std::string> chosen = ChooseFfmpegFile(owner, settings.ffmpegPath);
    if (!chosen || !IsFile(*chosen)) {
        return std::nullopt;
    }
    settings.ffmpegPath = *chosen;
    return chosen;
}

// Runs work on a thread of its own, below the window that shows its progress, and posts the message
// to the window when it has ended; an error it did not expect is described to onError instead.
std::thread StartWorker(HWND window, UINT doneMessage, std::function<void()> work,
                        std::function<void(const std::string&)> onError)
{
    return std::thread([window, doneMessage, work = std::move(work), onError = std::move(onError)] {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
        try {
            work();
        } catch (const std::exception& error) {
            onError(error.what());
        } catch (...) {
            onError("an unknown error");
        }
        PostMessageA(window, doneMessage, 0, 0);
    });
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
    const std::string computerBeside = job.chosen + ".computer.wav";
    const bool apart = !files.computerSound.empty();
    const SaveFacts facts{files.withSound, files.soundDeviceFailed, IsFile(files.sound)};
    // The merge writes beside the temporary files (a converted sound first, then the movie); on a
    // disk without room for it, the movie and its sound are saved as two files instead of a broken
    // merged one.
    const std::uint64_t sound = FileSize(files.sound).value_or(0) + FileSize(files.computerSound).value_or(0);
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
        soundKept = Place(files.sound, soundBeside, job.progress, abandon) &&
                    (!apart || Place(files.computerSound, computerBeside, job.progress, abandon));
        DeleteNow(files.movie);
        return {SaveOutcome::End::Abandoned, SaveNote(route, facts, merge, soundBeside, soundKept)};
    case SaveRoute::MovieAndSoundBeside:
        DeleteNow(job.mergePath);
        if (!CopyWhole(files.sound, soundBeside, job.progress, abandon) ||
            (apart && !CopyWhole(files.computerSound, computerBeside, job.progress, abandon))) {
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
        if (apart) {
            DeleteNow(files.computerSound);
        }
    }
    const std::string note = SaveNote(route, facts, merge, soundBeside, true);
    return {SaveOutcome::End::Saved, note.empty() || files.soundNote.empty() ? note + files.soundNote
                                                                              : note + "\n\n" + files.soundNote};
}
} // namespace

CRecordingCompletion::CRecordingCompletion(CConvertProgressDialog& progress)
    : m_progress(progress), m_openMovie(&OpenWithDefaultAction)
{
}

CRecordingCompletion::~CRecordingCompletion()
{
    m_cancelConversion = true;
    for (std::thread* thread : {&m_saving, &m_converting}) {
        if (thread->joinable()) {
            thread->join();
        }
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
        if (!files.computerSound.empty()) {
            DeleteLater(files.computerSound);
        }
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
    OutputName output;
    if (AskForFileName(mainWindow, output) == Naming::Discard) {
        Discard(*m_files);
        m_files.reset();
        return Step::Done;
    }
    AppSettings& settings = Settings();
    const auto slash = output.path.find_last_of('\\');
    if (slash != std::string::npos) {
        settings.savedir = output.path.substr(0, slash);
    }
    // Saving onto a temporary file would delete the movie right after writing it.
    settings.g_mergepath = GetTempDirectory() + "\\tempaudiovideomerge.avi";
    const auto isTemporary = [&](const std::string& name) {
        return SameFile(name, m_files->movie) || (m_files->withSound && SameFile(name, m_files->sound)) ||
               SameFile(name, settings.g_mergepath);
    };
    // Another format: the AVI is saved first, beside the file that is made from it.
    const std::string avi = output.format == MovieFormat::Avi ? output.path : AviNameFor(output, &IsFile);
    if (isTemporary(output.path) || isTemporary(avi) || !CanWrite(output.path) || !CanWrite(avi)) {
        return Step::Again;
    }
    m_output = output;
    m_ffmpeg = output.format == MovieFormat::Avi ? std::nullopt : FfmpegFor(mainWindow, output, avi);
    return StartSave(mainWindow, avi);
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
                    settings.interleaveUnit,
                    m_files->computerSound};
    DeleteNow(job->mergePath);
    m_chosen = chosen;
    m_abandon = false;
    m_progress.SetRange(0, 100);
    m_progress.SetPosition(0);
    m_progress.Show();
    // Whatever goes wrong, every temporary file is still there and the user is told.
    m_saving = StartWorker(
        mainWindow, kSaveDoneMessage, [this, job = std::shared_ptr<SaveJob>(std::move(job))] { m_outcome = Save(*job); },
        [this](const std::string& what) { m_outcome = {SaveOutcome::End::Again, UnexpectedSaveFailureNote(what)}; });
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
        if (m_ffmpeg) {
            return StartConversion(mainWindow);
        }
        OpenSaved(mainWindow);
    }
    return Step::Done;
}

void CRecordingCompletion::OpenSaved(HWND mainWindow)
{
    if (Settings().launchPlayer == 1 && m_openMovie) {
        m_openMovie(mainWindow, m_currentMovie);
    }
}

CRecordingCompletion::Step CRecordingCompletion::StartConversion(HWND mainWindow)
{
    const ConversionRequest request{*m_ffmpeg, m_output.format, m_chosen, m_output.path, Settings().compquality};
    m_cancelConversion = false;
    m_conversionEnded = false;
    m_progress.SetRange(0, 100);
    m_progress.SetPosition(0);
    m_progress.SetCancel([this] { m_cancelConversion = true; },
                         "Making the " + std::string(FactsOf(m_output.format).name) + " file");
    m_progress.Show();
    m_converting = StartWorker(
        mainWindow, kConvertDoneMessage,
        [this, request, mainWindow] {
            m_conversion = ConvertMovie(
                request, [mainWindow](int percent) { PostMessageA(mainWindow, MergeProgressMessage, percent, 0); },
                m_cancelConversion);
            m_conversionEnded = true;
        },
        [this](const std::string& what) {
            m_conversion = {ConversionResult::End::Failed, what};
            m_conversionEnded = true;
        });
    return Step::ConvertStarted;
}

CRecordingCompletion::Step CRecordingCompletion::OnConvertDone(HWND mainWindow)
{
    if (!m_converting.joinable()) {
        return Step::Done;
    }
    m_converting.join();
    m_progress.SetCancel(nullptr, kProgressTitle);
    m_progress.Hide();
    const ConversionResult result = std::move(m_conversion);
    if (result.end == ConversionResult::End::Converted) {
        // Checked by the conversion: the new file is there, whole and not empty.
        DeleteLater(m_chosen);
        m_currentMovie = m_output.path;
    } else {
        ShowNote(mainWindow,
                 ConversionNote(std::string(FactsOf(m_output.format).name),
                                result.end == ConversionResult::End::Cancelled, result.why, m_chosen),
                 MB_OK | MB_ICONEXCLAMATION);
    }
    m_ffmpeg.reset();
    OpenSaved(mainWindow);
    return Step::Done;
}

void CRecordingCompletion::AbandonSave()
{
    m_abandon = true;
    m_cancelConversion = true;
    // Windows may end the process soon: ffmpeg is ended and its partial file removed first.
    if (m_converting.joinable()) {
        const DWORD start = GetTickCount();
        while (!m_conversionEnded && GetTickCount() - start < kAbandonConversionWaitMs) {
            Sleep(10);
        }
    }
}
