#include "app/recording_completion.h"

#include "app/completion_files.h"
#include "audio/merge_audio_video.h"
#include "messages/private_messages.h"
#include "recording/recording_journal.h"
#include "win/background_work.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "test_support.h"
#include "win/directories.h"

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {
using Step = CRecordingCompletion::Step;
CRecordingCompletion* g_completion = nullptr;
std::optional<Step> g_afterSave; // what the save's end came to, once it came

LRESULT CALLBACK MainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kSaveDoneMessage && g_completion) {
        g_afterSave = g_completion->OnSaveDone(window);
        return 0;
    }
    if (message == kConvertDoneMessage && g_completion) {
        g_afterSave = g_completion->OnConvertDone(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "<missing>";
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Answers, from a second thread, the dialogs that the completion opens on the main thread.
class DialogDriver {
public:
    enum class Answer { Save, Cancel, CloseNote, Yes, No, CancelConversion };
    struct Step {
        Answer answer;
        std::string name; // typed into the file name field
    };

    explicit DialogDriver(std::vector<Step> steps)
        : m_steps(std::move(steps)), m_uiThread(GetCurrentThreadId()), m_thread([this] { Serve(); })
    {
    }
    ~DialogDriver() { Stop(); }

    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    std::size_t answered() const { return m_answered; }
    int unexpected() const { return m_unexpected; }
    // The folder each Save dialog opened in.
    std::vector<std::string> folders() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_folders;
    }
    // The text of each note and question answered.
    std::vector<std::string> notes() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notes;
    }

private:
    enum class Kind { Save, Note, Progress, Other };

    bool CancelsConversionNext() const
    {
        return m_answered < m_steps.size() && m_steps[m_answered].answer == Answer::CancelConversion;
    }

    // The dialog waiting for an answer: visible, and not disabled under a box of its own.
    HWND FindDialog(Kind& kind) const
    {
        struct Search {
            HWND found = nullptr;
            bool wantsProgress = false;
        } search;
        search.wantsProgress = CancelsConversionNext();
        EnumThreadWindows(
            m_uiThread,
            [](HWND window, LPARAM data) -> BOOL {
                auto& search = *reinterpret_cast<Search*>(data);
                char cls[16] = {};
                GetClassNameA(window, cls, sizeof(cls));
                // The progress window waits for no answer, unless its Cancel is what comes next.
                const HWND cancel = GetDlgItem(window, IDC_CONVERTPROGRESS_CANCEL);
                const bool progress = GetDlgItem(window, IDC_CONVERTPROGRESS_BAR) != nullptr;
                const bool wanted = progress ? search.wantsProgress && IsWindowVisible(cancel) : true;
                if (lstrcmpA(cls, "#32770") == 0 && wanted && IsWindowVisible(window) && IsWindowEnabled(window)) {
                    search.found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (search.found && GetDlgItem(search.found, IDC_CONVERTPROGRESS_BAR)) {
            kind = Kind::Progress;
        } else if (search.found) {
            char title[64] = {};
            GetWindowTextA(search.found, title, sizeof(title));
            const bool hasNameField = GetDlgItem(search.found, edt1) || GetDlgItem(search.found, cmb13);
            kind = hasNameField && lstrcmpA(title, "Save to...") == 0 ? Kind::Save
                   : lstrcmpA(title, "Note") == 0                     ? Kind::Note
                                                                      : Kind::Other;
        }
        return search.found;
    }

    void Serve()
    {
        while (!m_stop) {
            Kind kind = Kind::Other;
            const HWND dialog = FindDialog(kind);
            if (!dialog) {
                Sleep(20);
                continue;
            }
            Sleep(100); // let the dialog finish its set-up
            if (m_answered >= m_steps.size() || kind == Kind::Other) {
                ++m_unexpected;
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            } else {
                Respond(dialog, kind, m_steps[m_answered]);
                ++m_answered;
            }
            while (IsWindow(dialog) && IsWindowVisible(dialog)) {
                Sleep(20);
            }
        }
    }

    void Respond(HWND dialog, Kind kind, const Step& step)
    {
        if (kind == Kind::Progress) {
            PostMessageA(dialog, WM_COMMAND, IDC_CONVERTPROGRESS_CANCEL, 0);
            return;
        }
        if (kind == Kind::Note) {
            char text[2048] = {};
            GetDlgItemTextA(dialog, 0xFFFF, text, sizeof(text));
            std::lock_guard<std::mutex> lock(m_mutex);
            m_notes.emplace_back(text);
        }
        const bool toNote = step.answer == Answer::CloseNote || step.answer == Answer::Yes || step.answer == Answer::No;
        if ((kind == Kind::Note) != toNote) {
            ++m_unexpected;
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        if (step.answer == Answer::Save) {
            char folder[MAX_PATH] = {};
            SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_folders.emplace_back(folder);
            }
            HWND field = GetDlgItem(dialog, edt1);
            if (!field) {
                field = GetDlgItem(dialog, cmb13);
            }
            SetWindowTextA(field, step.name.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else {
            const WPARAM button = step.answer == Answer::CloseNote ? IDOK
                                  : step.answer == Answer::Yes     ? IDYES
                                  : step.answer == Answer::No      ? IDNO
                                                                   : IDCANCEL;
            PostMessageA(dialog, WM_COMMAND, button, 0);
        }
    }

    std::vector<Step> m_steps;
    DWORD m_uiThread;
    std::atomic<std::size_t> m_answered{0};
    std::atomic<int> m_unexpected{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_folders;
    std::vector<std::string> m_notes;
    std::thread m_thread;
};

using Answer = DialogDriver::Answer;

class Completion : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterPrivateMessages();
        WNDCLASSA cls{};
        cls.lpfnWndProc = &MainProcedure;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "CompletionTestMain";
        RegisterClassA(&cls);
    }

    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        scratch = std::string(temp) + "fl_completion_" + std::to_string(GetCurrentProcessId()) + "_" +
                  std::to_string(GetTickCount()) + "_" + std::to_string(++counter);
        ASSERT_TRUE(CreateDirectoryA(scratch.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((scratch + "\\out").c_str(), nullptr));

        main = CreateWindowA("CompletionTestMain", "Framelark", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(progress.Create(main));
        EXPECT_FALSE(IsWindowVisible(progress.hwnd()));
        g_completion = &completion;
        completion.SetMovieOpener([this](HWND, const std::string& path) { opened.push_back(path); });

        AppSettings& s = Settings();
        s.g_mainwindow = main;
        s.recordaudio = 0;
        s.launchPlayer = 1;
        s.savedir = scratch;
        NewRecording();
    }

    void TearDown() override
    {
        g_completion = nullptr;
        Settings().g_mainwindow = nullptr;
        DestroyWindow(main);
        std::error_code ignored;
        std::filesystem::remove_all(scratch, ignored);
    }

    void NewRecording()
    {
        Settings().g_tempmoviepath = scratch + "\\~temp.avi";
        Settings().g_tempwavfile = scratch + "\\~temp001.wav";
        WriteFile(Settings().g_tempmoviepath, "movie");
        WriteFile(Settings().g_tempwavfile, "sound");
    }

    // The recording the settings name, as the main window hands it over when it stops.
    RecordingFiles Stopped() const
    {
        const AppSettings& s = Settings();
        return {s.g_tempmoviepath, s.g_tempwavfile, s.recordaudio == 1};
    }

    Step StartStopped()
    {
        completion.Add(Stopped(), RecordingStop::None);
        return completion.Next(main);
    }

    void CompleteStopped() { Drive(StartStopped()); }

    Step AwaitSave()
    {
        const DWORD start = GetTickCount();
        MSG msg;
        while (!g_afterSave && GetTickCount() - start < 30000) {
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
            } else {
                Sleep(10);
            }
        }
        const Step step = g_afterSave.value_or(Step::Done);
        g_afterSave.reset();
        return step;
    }

    // What the main window does with each step: waits for a save's or conversion's end, and asks again or takes
    // the next recording waiting.
    void Drive(Step step)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 30000) {
            if (step == Step::SaveStarted || step == Step::ConvertStarted) {
                step = AwaitSave();
            } else if (step == Step::Again || completion.HasWaiting()) {
                step = completion.Next(main);
            } else {
                return;
            }
        }
        ADD_FAILURE() << "the completion did not come to an end";
    }

    // One completion with the dialogs answered, including the runs it asks for again.
    void Complete(std::vector<DialogDriver::Step> steps)
    {
        const std::size_t count = steps.size();
        DialogDriver driver(std::move(steps));
        CompleteStopped();
        driver.Stop();
        EXPECT_EQ(driver.unexpected(), 0);
        EXPECT_EQ(driver.answered(), count);
        folders = driver.folders();
        notes = driver.notes();
    }

    std::string scratch;
    HWND main = nullptr;
    CConvertProgressDialog progress;
    CRecordingCompletion completion{progress};
    std::vector<std::string> opened;
    std::vector<std::string> folders;
    std::vector<std::string> notes;
};
} // namespace

TEST_F(Completion, ADiscardedRecordingGoesWithItsJournal)
{
    Settings().recordaudio = 1;
    WriteFile(JournalPathFor(Settings().g_tempmoviepath), "journal");
    CRecordingCompletion::Discard(Stopped());
    EXPECT_FALSE(Exists(JournalPathFor(Settings().g_tempmoviepath))) << "at once: not offered again";
    BackgroundWork().Drain();
    EXPECT_FALSE(Exists(Settings().g_tempmoviepath));
    EXPECT_FALSE(Exists(Settings().g_tempwavfile));
    EXPECT_TRUE(completion.CurrentMovie().empty());
}

// A Cancel in the Save dialog may be a slip: the recording goes only when the user says so.
TEST_F(Completion, CancellingTheSaveDialogAsksBeforeAnythingIsThrownAway)
{
    Settings().launchPlayer = 0;
    Complete({{Answer::Cancel, ""}, {Answer::No, ""}, {Answer::Save, scratch + "\\out\\kept"}});
    EXPECT_EQ(ReadFile(scratch + "\\out\\kept.avi"), "movie");

    NewRecording();
    Complete({{Answer::Cancel, ""}, {Answer::Yes, ""}});
    BackgroundWork().Drain();
    EXPECT_FALSE(Exists(Settings().g_tempmoviepath));
    EXPECT_EQ(completion.CurrentMovie(), scratch + "\\out\\kept.avi");
    EXPECT_TRUE(opened.empty());
}

TEST_F(Completion, SavesUnderTheChosenNameInTheLastFolder)
{
    Settings().launchPlayer = 0;
    Complete({{Answer::Save, scratch + "\\out\\demo"}});
    const std::string saved = scratch + "\\out\\demo.avi";
    EXPECT_EQ(ReadFile(saved), "movie");
    EXPECT_FALSE(Exists(Settings().g_tempmoviepath));
    EXPECT_EQ(Settings().savedir, scratch + "\\out");
    EXPECT_EQ(completion.CurrentMovie(), saved);
    EXPECT_TRUE(opened.empty());
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(lstrcmpiA(folders[0].c_str(), scratch.c_str()), 0) << folders[0];

    // The next one opens where the last one went and replaces the file without a question.
    NewRecording();
    WriteFile(Settings().g_tempmoviepath, "second");
    Settings().launchPlayer = 1;
    Complete({{Answer::Save, "demo.avi"}});
    EXPECT_EQ(ReadFile(saved), "second");
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(lstrcmpiA(folders[0].c_str(), (scratch + "\\out").c_str()), 0) << folders[0];
    EXPECT_EQ(opened, std::vector<std::string>{saved});
}

TEST_F(Completion, ChoiceThatCannotBeWrittenBringsTheDialogBackAndKeepsTheRecording)
{
    // Held by another program. (Under Wine as superuser no folder refuses a new file.)
    const std::string locked = scratch + "\\out\\locked.avi";
    int merges = 0;
    completion.SetMerge([&merges](const MergeRequest&) { return ++merges, kMerged; });
    for (const int audio : {0, 1}) {
        SCOPED_TRACE(audio);
        Settings().recordaudio = audio;
        NewRecording();
        const HANDLE holder = CreateFileA(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        DialogDriver driver({{Answer::Save, locked}, {Answer::Cancel, ""}, {Answer::Yes, ""}});
        const Step step = StartStopped();
        CloseHandle(holder);
        EXPECT_EQ(step, Step::Again);
        EXPECT_EQ(ReadFile(Settings().g_tempmoviepath), "movie");
        EXPECT_EQ(ReadFile(Settings().g_tempwavfile), "sound");
        Drive(step);
        driver.Stop();
        BackgroundWork().Drain();
        EXPECT_EQ(driver.answered(), 3u);
        EXPECT_EQ(driver.unexpected(), 0);
        EXPECT_FALSE(Exists(Settings().g_tempmoviepath));
    }
    EXPECT_EQ(merges, 0);
}

TEST_F(Completion, MergeResultsDecideWhatIsSaved)
{
    constexpr int kThrows = -1; // an error of the merge's own, such as running out of memory
    struct Case {
        int result;
        const char* movie; // what the chosen name holds afterwards
        const char* sound; // what the name with ".wav" appended holds: a sound not merged is kept
        bool finished;
        bool note; // the user is told once, after the save
    };
    const Case cases[] = {
        {kMerged, "merged", "<missing>", true, false},
        {kVideoUnusable, "older", "sound", false, true},
        {kSoundUnusable, "movie", "sound", true, true},
        {kFirstStreamNotVideo, "<missing>", "sound", false, true},
        {kSecondStreamNotAudio, "movie", "sound", true, true},
        {kMergedSaveFailed, "movie", "sound", true, true},
        {kTooLarge, "movie", "sound", true, true},
        {kThrows, "movie", "sound", true, true},
    };
    Settings().recordaudio = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        NewRecording();
        const std::string chosen = scratch + "\\out\\clip" + std::to_string(c.result) + ".avi";
        if (c.result == kVideoUnusable) {
            WriteFile(chosen, "older"); // an unusable recording must not cost the file it was to replace
        }
        bool progressShown = false;
        completion.SetMerge([&](const MergeRequest& request) {
            EXPECT_EQ(request.videoPath, Settings().g_tempmoviepath);
            EXPECT_EQ(request.audioPath, Settings().g_tempwavfile);
            EXPECT_EQ(request.outputPath, GetTempDirectory() + "\\tempaudiovideomerge.avi");
            progressShown = IsWindowVisible(progress.hwnd()) &&
                            SendDlgItemMessageA(progress.hwnd(), IDC_CONVERTPROGRESS_BAR, PBM_GETPOS, 0, 0) == 0;
            WriteFile(request.outputPath, "merged");
            if (c.result == kThrows) {
                throw std::bad_alloc();
            }
            return c.result;
        });
        std::vector<DialogDriver::Step> steps{{Answer::Save, chosen}};
        if (c.note) {
            steps.push_back({Answer::CloseNote, ""});
        }
        opened.clear();
        Complete(steps);
        EXPECT_TRUE(progressShown);
        EXPECT_FALSE(IsWindowVisible(progress.hwnd()));
        EXPECT_EQ(ReadFile(chosen), c.movie);
        EXPECT_EQ(ReadFile(chosen + ".wav"), c.sound);
        EXPECT_FALSE(Exists(Settings().g_tempmoviepath));
        EXPECT_FALSE(Exists(Settings().g_tempwavfile));
        EXPECT_FALSE(Exists(Settings().g_mergepath));
        EXPECT_EQ(opened.size(), c.finished ? 1u : 0u);
        EXPECT_EQ(completion.CurrentMovie() == chosen, c.finished);
    }
}

// Windows may end the process at any moment after the session's end: no file stands under the
// user's name that is not whole, and the recording is still there to be offered again.
TEST_F(Completion, SessionEndDuringTheSaveLeavesNoPartialFile)
{
    Settings().recordaudio = 1;
    const std::string chosen = scratch + "\\out\\late.avi";
    completion.SetMerge([this](const MergeRequest&) {
        completion.AbandonSave();
        return kMergedSaveFailed;
    });
    DialogDriver driver({{Answer::Save, chosen}});
    ASSERT_EQ(StartStopped(), Step::SaveStarted);
    EXPECT_EQ(AwaitSave(), Step::Again);
    driver.Stop();
    for (const std::string& partial : {chosen, chosen + ".wav", chosen + ".wav.partial", chosen + ".partial"}) {
        EXPECT_FALSE(Exists(partial)) << partial;
    }
    EXPECT_EQ(ReadFile(Settings().g_tempmoviepath), "movie");
    EXPECT_EQ(ReadFile(Settings().g_tempwavfile), "sound");
}

TEST_F(Completion, FailedCopyAfterTheMergeKeepsEverythingAndAsksAgain)
{
    Settings().recordaudio = 1;
    const std::string chosen = scratch + "\\out\\busy.avi";
    HANDLE busy = INVALID_HANDLE_VALUE;
    std::vector<std::string> inputs;
    completion.SetMerge([&](const MergeRequest& request) {
        inputs.push_back(ReadFile(request.videoPath) + "+" + ReadFile(request.audioPath));
        WriteFile(request.outputPath, "merged");
        if (busy == INVALID_HANDLE_VALUE) {
            // Another program grabs the file between the write test and the copy.
            busy = CreateFileA(chosen.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        }
        return kMerged;
    });
    DialogDriver driver({{Answer::Save, chosen}, {Answer::Save, scratch + "\\out\\free.avi"}});
    CompleteStopped();
    driver.Stop();
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    CloseHandle(busy);
    EXPECT_EQ(driver.answered(), 2u);
    EXPECT_EQ(inputs, (std::vector<std::string>{"movie+sound", "movie+sound"}));
    EXPECT_EQ(ReadFile(scratch + "\\out\\free.avi"), "merged");
    EXPECT_EQ(completion.CurrentMovie(), scratch + "\\out\\free.avi");
}

TEST_F(Completion, SoundDeviceThatCouldNotBeOpenedIsToldAfterTheSave)
{
    int merges = 0;
    completion.SetMerge([&merges](const MergeRequest&) { return ++merges, kMerged; });
    const std::string movie = scratch + "\\~temp3.avi";
    const std::string sound = scratch + "\\~temp3.wav";
    WriteFile(movie, "silent");
    WriteFile(sound, "header");
    DialogDriver driver({{Answer::Save, scratch + "\\out\\quiet"}, {Answer::CloseNote, ""}});
    completion.AddRecovered({{movie, sound, true, true}});
    Drive(Step::Done);
    driver.Stop();
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_EQ(driver.answered(), 2u);
    EXPECT_EQ(merges, 0);
    EXPECT_EQ(ReadFile(scratch + "\\out\\quiet.avi"), "silent");
    EXPECT_FALSE(Exists(sound));
}

TEST_F(Completion, RecoveredRecordingsAreSavedOneAfterAnother)
{
    // What the last stopped recording was (cancelled, without sound) has no say over recovered ones.
    Settings().recordaudio = 0;
    Settings().launchPlayer = 0;
    std::vector<MergeRequest> merges;
    completion.SetMerge([&merges](const MergeRequest& request) {
        merges.push_back(request);
        WriteFile(request.outputPath, "merged");
        return kMerged;
    });
    const std::string withSound = scratch + "\\~temp1.avi";
    const std::string sound = scratch + "\\~temp1.wav";
    const std::string silent = scratch + "\\~temp2.avi";
    WriteFile(withSound, "first");
    WriteFile(sound, "sound");
    WriteFile(silent, "second");

    DialogDriver driver({{Answer::Save, scratch + "\\out\\one"}, {Answer::Save, scratch + "\\out\\two"}});
    completion.AddRecovered({{withSound, sound, true}, {silent, "", false}});
    EXPECT_TRUE(completion.HasWaiting());
    Drive(Step::Done);
    driver.Stop();
    EXPECT_EQ(driver.unexpected(), 0);
    EXPECT_EQ(driver.answered(), 2u);

    ASSERT_EQ(merges.size(), 1u);
    EXPECT_EQ(merges[0].videoPath, withSound);
    EXPECT_EQ(merges[0].audioPath, sound);
    EXPECT_EQ(ReadFile(scratch + "\\out\\one.avi"), "merged");
    EXPECT_EQ(ReadFile(scratch + "\\out\\two.avi"), "second");
    for (const std::string& temporary : {withSound, sound, silent}) {
        EXPECT_FALSE(Exists(temporary)) << temporary;
    }
    EXPECT_EQ(completion.CurrentMovie(), scratch + "\\out\\two.avi");
}

namespace {

// The stand-in's behaviour, for one test's life.
class StandInMode {
public:
    explicit StandInMode(const char* mode) { SetEnvironmentVariableA("FRAMELARK_STAND_IN", mode); }
    ~StandInMode() { SetEnvironmentVariableA("FRAMELARK_STAND_IN", nullptr); }
};
} // namespace

// Whatever keeps ffmpeg.exe from making the chosen file, the recording ends as an AVI beside its
// name, never over a file already there, with a note that says why, and no partial file is left.
TEST_F(Completion, ConversionThatDoesNotHappenLeavesTheAviAndSaysWhy)
{
    struct Case {
        const char* what;
        const char* mode;   // the stand-in's, or null: no ffmpeg.exe anywhere
        const char* name;   // typed into the Save dialog
        std::vector<DialogDriver::Step> answers; // after the Save dialog's
        const char* kept;   // where the AVI is
        const char* noteHas;
        MovieFormat remembered;
    };
    const std::string out = scratch + "\\out\\";
    WriteFile(out + "fails.avi", "older");
    const Case cases[] = {
        {"ffmpeg fails", "fail", "fails.mp4", {{Answer::CloseNote, ""}}, "fails (2).avi",
         "No space left on device", MovieFormat::Mp4},
        {"no ffmpeg", nullptr, "missing.webm", {{Answer::No, ""}}, "missing.avi", "https://ffmpeg.org",
         MovieFormat::WebM},
        {"cancelled", "hang", "stopped.gif", {{Answer::CancelConversion, ""}, {Answer::CloseNote, ""}}, "stopped.avi",
         "cancelled", MovieFormat::Gif},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NewRecording();
        const StandInMode mode(c.mode ? c.mode : "");
        Settings().ffmpegPath = c.mode ? WindowsPath(FRAMELARK_FFMPEG_STAND_IN) : scratch + "\\nowhere\\ffmpeg.exe";
        Settings().saveFormat = 0;
        std::vector<DialogDriver::Step> steps{{Answer::Save, out + c.name}};
        steps.insert(steps.end(), c.answers.begin(), c.answers.end());
        opened.clear();
        Complete(steps);
        EXPECT_EQ(ReadFile(out + c.kept), "movie");
        EXPECT_FALSE(Exists(out + c.name));
        EXPECT_FALSE(Exists(out + c.name + ".partial")) << "ffmpeg was ended and its file removed";
        EXPECT_EQ(completion.CurrentMovie(), out + c.kept);
        EXPECT_EQ(opened, std::vector<std::string>{out + c.kept});
        ASSERT_FALSE(notes.empty());
        EXPECT_NE(notes.back().find(c.noteHas), std::string::npos) << notes.back();
        EXPECT_NE(notes.back().find(out + c.kept), std::string::npos) << notes.back();
        EXPECT_EQ(Settings().saveFormat, SettingFromFormat(c.remembered));
        EXPECT_FALSE(IsWindowVisible(progress.hwnd()));
    }
    EXPECT_EQ(ReadFile(out + "fails.avi"), "older");
    Settings().ffmpegPath.clear();
}

// A disk that fills up while ffmpeg.exe writes: the AVI stays whole beside the chosen name, and
// ffmpeg's own error comes back in the note.
TEST_F(Completion, FullDiskDuringTheConversionKeepsTheAvi)
{
    const std::string disk = SmallDiskFolder(FRAMELARK_SMALL_DISK);
    if (disk.empty()) {
        GTEST_SKIP() << "no small file system at " FRAMELARK_SMALL_DISK " (mounting one needs root)";
    }
    // 930 KB of noise on the 1 MB disk: no MP4 of it fits beside it.
    const std::string movie = Settings().g_tempmoviepath;
    ASSERT_EQ(RunUnixShell("ffmpeg -nostdin -v error -y -f lavfi -i "
                           "'nullsrc=s=160x120:r=10,geq=r=random(1)*255:g=random(2)*255:b=random(3)*255' "
                           "-frames:v 16 -c:v rawvideo -pix_fmt bgr24 '" + UnixPath(movie) + "'"),
              0);
    const std::string recorded = ReadFile(movie);
    const std::string chosen = disk + "\\full.mp4";
    Settings().ffmpegPath = WindowsPath(FRAMELARK_TEST_FFMPEG);
    const std::int32_t quality = std::exchange(Settings().compquality, 10000);
    Complete({{Answer::Save, chosen}, {Answer::CloseNote, ""}});
    EXPECT_TRUE(ReadFile(disk + "\\full.avi") == recorded);
    EXPECT_FALSE(Exists(chosen));
    EXPECT_FALSE(Exists(chosen + ".partial"));
    // This ffmpeg.exe ends with code 0 after "Error writing trailer": its error line decides.
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("could not make the MP4 file:\n"), std::string::npos) << notes[0];
    EXPECT_EQ(completion.CurrentMovie(), disk + "\\full.avi");
    for (const char* name : {"\\full.avi", "\\full.mp4", "\\full.mp4.partial"}) {
        DeleteFileA((disk + name).c_str());
    }
    Settings().compquality = quality;
    Settings().ffmpegPath.clear();
}
