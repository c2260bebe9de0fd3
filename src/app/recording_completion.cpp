#include "app/recording_completion.h"

#include "app/completion_files.h"
#include "app/completion_rules.h"
#include "app/save_dialog.h"
#include "audio/merge_audio_video.h"
#include "messages/private_messages.h"
#include "options/ffmpeg_file_choice.h"
#include "recording/recording_journal.h"
#include "settings/app_settings.h"
#include "win/directories.h"
#include "win/file_io.h"
#include "win/global_block.h"
#include "win/message_box.h"

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
    return {SaveOutcome::End::Saved, JoinNotes(note, files.laterNote)};
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
