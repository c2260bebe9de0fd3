#include "app/main_dialog.h"
#include "messages/private_messages.h"
#include "codec/video1_install.h"
#include "common/fourcc.h"
#include "recording/input_event_log.h"
#include "recording/recording_seams.h"
#include "region/region_window.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/background_work.h"
#include "win/directories.h"
#include "win/message_box.h"
#include "../recording/test_compressor.h"
#include "../recording/test_support.h"
#include "../controls/ui_pump.h"

#include <commctrl.h>
#include <dlgs.h>
#include <gtest/gtest.h>
#include <vfw.h>

#include <functional>
#include <string>
#include <vector>

namespace {
// Whether the "MSVC" compressor that the system gives us takes a 32-bit frame.
bool Video1Compresses()
{
    HIC compressor = ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_COMPRESS);
    if (!compressor) {
        return false;
    }
    BITMAPINFOHEADER frame{};
    frame.biSize = sizeof(frame);
    frame.biWidth = 64;
    frame.biHeight = 48;
    frame.biPlanes = 1;
    frame.biBitCount = 32;
    frame.biSizeImage = 64 * 48 * 4;
    const bool ok = ICCompressQuery(compressor, &frame, nullptr) == ICERR_OK;
    ICClose(compressor);
    return ok;
}

// A top-level window of this thread by its title; tests running beside this one have their own.
HWND FindThreadWindow(const char* title)
{
    struct Search {
        const char* title;
        HWND found;
    } search{title, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char text[128] = {};
            GetWindowTextA(window, text, sizeof(text));
            if (std::string(text) == s->title) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Answers every modal box or dialog the window opens, keeping what it showed.
struct ModalAnswerer {
    static inline std::vector<std::string> texts;
    static inline HHOOK hook = nullptr;
    static inline std::string saveAs; // the name typed into the Save dialog
    static inline int answer = IDOK;  // the button pressed in a message box
    // What an impatient user does while a box is up, before answering it.
    static inline std::function<void()> meanwhile;

    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_ACTIVATE) {
            HWND box = reinterpret_cast<HWND>(wParam);
            char className[32] = {};
            GetClassNameA(box, className, sizeof(className));
            // Boxes are owned by the main window, which has no owner itself.
            if (std::string(className) == "#32770" && GetWindow(box, GW_OWNER)) {
                char text[256] = {};
                // The message box's text, or the About box's link line.
                if (!GetDlgItemTextA(box, 0xFFFF, text, sizeof(text))) {
                    GetDlgItemTextA(box, IDC_ABOUTLINK, text, sizeof(text));
                }
                char caption[64] = {};
                GetWindowTextA(box, caption, sizeof(caption));
                texts.push_back(std::string(caption) + "|" + text);
                if (std::string(caption) == "Save to...") {
                    if (saveAs.empty()) {
                        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
                        return CallNextHookEx(hook, code, wParam, lParam);
                    }
                    // The file name field: a combo box in newer dialogs, an edit field in older ones.
                    SetDlgItemTextA(box, cmb13, saveAs.c_str());
                    SetDlgItemTextA(box, edt1, saveAs.c_str());
                }
                if (meanwhile) {
                    meanwhile();
                }
                const bool messageBox = GetDlgItem(box, 0xFFFF) != nullptr;
                // A Save dialog left without a name: the recording is thrown away when asked.
                const bool discardQuestion = std::string(text).rfind("Throw this recording away?", 0) == 0;
                PostMessageA(box, WM_COMMAND, discardQuestion ? IDYES : messageBox ? answer : IDOK, 0);
            }
        }
        return CallNextHookEx(hook, code, wParam, lParam);
    }
};

int loads = 0;
int saves = 0;

struct Buttons {
    bool record, pause, stop, play;
    bool operator==(const Buttons&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Buttons& b)
{
    return out << "record " << b.record << " pause " << b.pause << " stop " << b.stop << " play " << b.play;
}

// One window for the whole suite: hiding a top-level window makes Wine wait for a window manager
// that the test display does not have.
class MainDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterPrivateMessages();
        SettingsFiles().load = [] { ++loads; };
        SettingsFiles().saveOrForget = [] { ++saves; };
        ModalAnswerer::hook = SetWindowsHookExA(WH_CBT, &ModalAnswerer::Proc, nullptr, GetCurrentThreadId());
        Settings().compfccHandler = FourCCAsSigned(MakeFourCC('c', 'v', 'i', 'd'));
        systemVideo1Compresses = Video1Compresses();
        dialog = new CMainDialog; // left to the process's end, for the same reason
        ASSERT_TRUE(dialog->CreateModeless(nullptr));
        iconicAtStart = IsIconic(dialog->hwnd()) != 0;
        // Read before any message is pumped: from then on the buttons switch it as the pointer, left
        // anywhere by earlier screen tests, passes over them.
        skinCursorAtStart = g_skincursor;
        PumpMessages(400, dialog->hwnd());
    }

    void SetUp() override
    {
        ModalAnswerer::texts.clear();
        ModalAnswerer::answer = IDOK;
        ModalAnswerer::meanwhile = nullptr;
        ASSERT_TRUE(IsWindow(window()));
        ASSERT_EQ(dialog->State(), AppState::Idle);
    }

    void TearDown() override
    {
        EXPECT_EQ(CMainDialog::UnexpectedMoves(), 0) << "a change of state the table does not allow";
    }

    static HWND window() { return dialog->hwnd(); }

    // The buttons' looks, which must be the table's for the state the program is in.
    static Buttons State()
    {
        auto on = [](int id) { return IsWindowEnabled(GetDlgItem(window(), id)) != 0; };
        const AppState state = dialog->State();
        EXPECT_EQ(on(IDC_RECORD), LooksEnabled(state, Command::Record));
        EXPECT_EQ(on(IDC_PAUSE), LooksEnabled(state, Command::Pause));
        EXPECT_EQ(on(IDC_STOP), LooksEnabled(state, Command::Stop));
        EXPECT_TRUE(!on(IDC_PLAY) || LooksEnabled(state, Command::Play));
        return {on(IDC_RECORD), on(IDC_PAUSE), on(IDC_STOP), on(IDC_PLAY)};
    }

    static std::string Title()
    {
        char text[128] = {};
        GetWindowTextA(window(), text, sizeof(text));
        return text;
    }

    static void Click(int id)
    {
        SendMessageA(GetDlgItem(window(), id), BM_CLICK, 0, 0);
        PumpMessages(20, window());
    }

    static void Command(int id)
    {
        SendMessageA(window(), WM_COMMAND, id, 0);
        PumpMessages(20, window());
    }

    static bool Reaches(AppState state, DWORD timeoutMs = 10000)
    {
        return PumpUntil([state] { return dialog->State() == state; }, timeoutMs);
    }

    static void PrepareFixedRegion()
    {
        AppSettings& s = Settings();
        UsePlainCaptureSettings();
        s.MouseCaptureMode = kCaptureFixed;
        s.fixedcapture = 1;
        s.captureleft = 8;
        s.capturetop = 8;
        s.capturewidth = 64;
        s.captureheight = 48;
        s.recordaudio = 0;
        s.timelapse = 50;
    }

    // A real recording of a small fixed region.
    static void RecordingStarted()
    {
        PrepareFixedRegion();
        Click(IDC_RECORD);
        ASSERT_TRUE(Reaches(AppState::Recording));
    }

    // The cancel key throws the recording away once its thread has finished.
    static void Discard()
    {
        SendMessageA(window(), WM_USER_KEYSTART_MSG, VK_F9, 1);
        ASSERT_TRUE(Reaches(AppState::Idle));
    }

    static inline CMainDialog* dialog = nullptr;
    static inline bool iconicAtStart = false;
    static inline HCURSOR skinCursorAtStart = nullptr;
    static inline bool systemVideo1Compresses = false;
};

const Buttons kIdle{true, false, false, false};
const Buttons kRecording{false, true, true, false};
const Buttons kPaused{true, false, true, false};
const Buttons kEnding{false, false, false, false};
} // namespace

TEST_F(MainDialogTest, StartsMinimisedThenStandsRestoredAt200)
{
    EXPECT_TRUE(iconicAtStart);
    EXPECT_FALSE(IsIconic(window()));
    EXPECT_TRUE(IsWindowVisible(window()));
    RECT r{};
    GetWindowRect(window(), &r);
    EXPECT_EQ(r.left, 200);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 390);
    EXPECT_EQ(r.bottom - r.top, 146);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(Title(), "Framelark");
    EXPECT_EQ(GetWindowLongPtrA(window(), GWL_EXSTYLE) & WS_EX_APPWINDOW, WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindowLongPtrA(window(), GWL_EXSTYLE) & WS_EX_TOPMOST, WS_EX_TOPMOST);
    EXPECT_EQ(GetWindowLongPtrA(window(), GWL_STYLE) & WS_CAPTION, 0);

    GdiRegion shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(window(), shape.get()), ERROR);
    EXPECT_FALSE(PtInRegion(shape.get(), 0, 0));
    EXPECT_TRUE(PtInRegion(shape.get(), 195, 73));
}

TEST_F(MainDialogTest, InitialisationSetsTheSharedState)
{
    const AppSettings& settings = Settings();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(settings.g_mainwindow.load(), window());
    // Replaced at every start, whatever the settings files held.
    EXPECT_EQ(static_cast<std::uint32_t>(settings.compfccHandler.load()), kFourCCVideo1);
    EXPECT_EQ(settings.savedir, GetProgramDirectory());
    EXPECT_EQ(settings.cursordir, GetWindowsDirectoryPath() + "\\cursors");
    EXPECT_EQ(settings.g_capturebits, 32); // the test display is 24-bit, seen as 32
    EXPECT_EQ(skinCursorAtStart, LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDC_SKINCURSOR)));
    EXPECT_TRUE(Video1Compresses());
    EXPECT_EQ(settings.g_screenwidth, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(settings.g_screenheight, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_NE(Seams().regionSelection, nullptr);
    EXPECT_NE(Seams().flashingFrame, nullptr);

    HMENU system = GetSystemMenu(window(), FALSE);
    const int count = GetMenuItemCount(system);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(system, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    char text[64] = {};
    GetMenuStringA(system, count - 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Framelark...");
    EXPECT_EQ(GetMenuState(system, count - 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
}

TEST_F(MainDialogTest, PauseAndStopFollowTheRecordingState)
{
    // Idle: Pause and Stop change nothing.
    Click(IDC_PAUSE);
    Command(ID_PAUSE_NOW);
    Command(ID_STOP_NOW);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(Settings().g_paused, 0);

    RecordingStarted();
    // A second Record during an unpaused recording is refused.
    Command(ID_RECORD_NOW);
    EXPECT_EQ(State(), kRecording);
    EXPECT_EQ(Settings().g_isrecording, 1);

    Click(IDC_PAUSE);
    EXPECT_EQ(State(), kPaused);
    EXPECT_EQ(Settings().g_paused, 1);
    EXPECT_EQ(Title(), "Framelark - recording paused");
    Command(ID_PAUSE_NOW);
    EXPECT_EQ(State(), kPaused);

    // From the pause, the stop key; the title comes back at once.
    SendMessageA(window(), WM_USER_KEYSTART_MSG, VK_F8, 1);
    EXPECT_EQ(Settings().g_isrecording, 0);
    EXPECT_EQ(Settings().g_paused, 0);
    EXPECT_EQ(Title(), "Framelark");
    if (dialog->State() == AppState::Ending) {
        // The stopped recording is still being written: nothing may start or end the program. Sent
        // without pumping, so that the thread's end cannot come in between.
        EXPECT_EQ(State(), kEnding);
        Settings().MouseCaptureMode = kCaptureNormal;
        for (const int id : {ID_RECORD_NOW, IDC_RECORD, IDCANCEL, IDOK, IDC_CLOSE}) {
            SendMessageA(window(), WM_COMMAND, id, 0);
        }
        SendMessageA(window(), WM_USER_KEYSTART_MSG, VK_F7, 1);
        EXPECT_FALSE(IsWindowVisible(g_regionwindow));
        EXPECT_TRUE(IsWindow(window()));
        EXPECT_EQ(dialog->State(), AppState::Ending);
    }
    // It still reaches the Save dialog, here cancelled and confirmed: the movie and its journal go.
    ASSERT_TRUE(Reaches(AppState::Idle));
    BackgroundWork().Drain();
    EXPECT_EQ(ModalAnswerer::texts.size(), 2u);
    EXPECT_EQ(GetFileAttributesA(Settings().g_tempmoviepath.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA((Settings().g_tempmoviepath + ".journal").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(State(), kIdle);
}

TEST_F(MainDialogTest, EndingIsRefusedWhileRecording)
{
    RecordingStarted();
    SendMessageA(window(), WM_CLOSE, 0, 0);
    PumpMessages(50, window());
    Command(IDC_CLOSE);
    PostMessageA(window(), WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages(50, window());
    Command(IDOK);
    Click(IDC_PAUSE);
    Command(IDCANCEL);
    const std::string refusal = "Framelark|Please stop video screen capture before exit!";
    EXPECT_EQ(ModalAnswerer::texts, std::vector<std::string>(5, refusal));
    EXPECT_TRUE(IsWindow(window()));
    EXPECT_EQ(saves, 0);
    Discard();
    EXPECT_EQ(ModalAnswerer::texts.size(), 5u) << "the cancel key asks nothing";
}

TEST_F(MainDialogTest, AFailedRecordingIsAskedAboutOnTheMainWindowWithNothingElseStarting)
{
    TestCompressor failing(MakeFourCC('f', 'a', 'i', 'l'), CompressorBehaviour::FailOnCompress);
    const std::int32_t chosen = Settings().compfccHandler;
    Settings().compfccHandler = FourCCAsSigned(MakeFourCC('f', 'a', 'i', 'l'));
    int seen = 0;
    bool failedMovieGone = false;
    ModalAnswerer::meanwhile = [&seen, &failedMovieGone] {
        failedMovieGone = GetFileAttributesA(Settings().g_tempmoviepath.c_str()) == INVALID_FILE_ATTRIBUTES;
        // While the question is up, every way of starting a recording is refused.
        seen = static_cast<int>(dialog->State());
        Command(ID_RECORD_NOW);
        SendMessageA(window(), WM_USER_KEYSTART_MSG, VK_F7, 1);
        Command(ID_VIDEO_OPTIONS);
        Command(IDC_CLOSE);
    };
    ModalAnswerer::answer = IDYES;
    PrepareFixedRegion();
    Click(IDC_RECORD);
    ASSERT_TRUE(PumpUntil([] { return !ModalAnswerer::texts.empty(); }, 10000));
    // Yes starts again with the default compressor, which works.
    ASSERT_TRUE(Reaches(AppState::Recording));
    EXPECT_EQ(seen, static_cast<int>(AppState::Asking));
    EXPECT_EQ(ModalAnswerer::texts,
              (std::vector<std::string>{"Note|Error recording AVI file using current compressor. Use default compressor ? "}));
    EXPECT_EQ(static_cast<DWORD>(Settings().compfccHandler.load()), kFourCCVideo1);
    EXPECT_TRUE(failedMovieGone) << "nothing of the failed one is left";
    Discard();

    // With the default compressor, which cannot be blamed, a recording that cannot go on says why.
    ModalAnswerer::texts.clear();
    ModalAnswerer::meanwhile = nullptr;
    Settings().compfccHandler = chosen;
    RemoveVideo1();
    {
        TestCompressor failingDefault(kFourCCVideo1, CompressorBehaviour::FailOnCompress);
        Click(IDC_RECORD);
        ASSERT_TRUE(PumpUntil([] { return !ModalAnswerer::texts.empty(); }, 10000));
        ASSERT_TRUE(Reaches(AppState::Idle));
    }
    InstallVideo1IfNeeded(Settings().g_capturebits, Settings().g_screenwidth, Settings().g_screenheight);
    EXPECT_NE(ModalAnswerer::texts[0].find("The recording could not go on because"), std::string::npos)
        << ModalAnswerer::texts[0];
    EXPECT_EQ(State(), kIdle);
}

TEST_F(MainDialogTest, OptionsDialogHoldsOffEveryStartAndEveryOtherDialog)
{
    int records = 0;
    ModalAnswerer::meanwhile = [&records] {
        if (dialog->State() != AppState::InDialog) {
            return;
        }
        Settings().MouseCaptureMode = kCaptureFullScreen;
        SendMessageA(window(), WM_USER_KEYSTART_MSG, VK_F7, 1);
        Command(ID_RECORD_NOW);
        Command(ID_AUDIO_OPTIONS);
        records += Settings().g_isrecording + (IsWindowVisible(g_regionwindow) ? 1 : 0);
    };
    Command(ID_CURSOR_OPTIONS);
    PumpMessages(200, window());
    EXPECT_EQ(ModalAnswerer::texts.size(), 1u) << "no second dialog";
    EXPECT_EQ(records, 0);
    EXPECT_EQ(dialog->State(), AppState::Idle);
    Settings().MouseCaptureMode = kCaptureNormal;
}

TEST_F(MainDialogTest, SessionEndSavesTheSettingsAndLeavesTheRecordingForTheNextStart)
{
    RecordingStarted();
    PumpMessages(300, window());
    const int savesBefore = saves;
    EXPECT_EQ(SendMessageA(window(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(saves, savesBefore + 1);
    EXPECT_EQ(Settings().g_isrecording, 0);
    PumpMessages(300, window());
    EXPECT_TRUE(ModalAnswerer::texts.empty()) << "no Save dialog while Windows ends";
    // The closed movie keeps its journal: the next start offers it.
    const std::string movie = Settings().g_tempmoviepath;
    EXPECT_NE(GetFileAttributesA(movie.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesA((movie + ".journal").c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(movie.c_str());
    DeleteFileA((movie + ".journal").c_str());
}

TEST_F(MainDialogTest, SmallCommands)
{
    const int flashing = Settings().flashingRect;
    Command(ID_TOGGLE_FLASHING);
    EXPECT_EQ(Settings().flashingRect, flashing == 0 ? 1 : 0);
    Command(ID_TOGGLE_FLASHING);
    EXPECT_EQ(Settings().flashingRect, flashing);

    int cursor = 0;
    SendMessageA(window(), WM_USER_SAVECURSOR_MSG, reinterpret_cast<WPARAM>(&cursor), 0);
    EXPECT_EQ(Settings().g_hookcursor.load(), reinterpret_cast<HCURSOR>(&cursor));

    EXPECT_EQ(SendMessageA(window(), WM_QUERYDRAGICON, 0, 0) != 0, true);

    // The merge's progress reaches the progress window's bar, which stays hidden until a merge.
    SendMessageA(window(), MergeProgressMessage, 40, 0);
    HWND progress = FindThreadWindow("Convert progress");
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(IsWindowVisible(progress));
    EXPECT_EQ(SendDlgItemMessageA(progress, IDC_CONVERTPROGRESS_BAR, PBM_GETPOS, 0, 0), 40);

    // About from its button and from the system menu.
    Command(IDC_ABOUT);
    SendMessageA(window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_EQ(ModalAnswerer::texts, std::vector<std::string>(2, "|https://framelark.example/"));

    Command(IDC_MINIMISE);
    EXPECT_TRUE(IsIconic(window()));
    dialog->BringToFront();
    EXPECT_FALSE(IsIconic(window()));
}

TEST_F(MainDialogTest, RecordPauseResumeStopAndSaveAFullScreenMovie)
{
    if (UnixPath("C:\\").empty()) {
        GTEST_SKIP() << "read back with ffmpeg under Wine";
    }
    ScratchFolder scratch;
    ModalAnswerer::saveAs = scratch.File("movie.avi");
    struct Forget {
        ~Forget() { ModalAnswerer::saveAs.clear(); }
    } forget;
    AppSettings& settings = Settings();
    UsePlainCaptureSettings();
    settings.MouseCaptureMode = kCaptureFullScreen;
    settings.timelapse = 100;
    settings.launchPlayer = 0;

    Click(IDC_RECORD);
    ASSERT_TRUE(PumpUntil([] { return Settings().g_isrecording == 1; }, 3000));
    EXPECT_EQ(State(), kRecording);
    EXPECT_EQ(settings.g_capturerect, (ScreenRect{0, 0, GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1}));
    Command(ID_RECORD_NOW); // refused while recording unpaused
    EXPECT_EQ(State(), kRecording);
    PumpMessages(600, window());

    Click(IDC_PAUSE);
    EXPECT_EQ(State(), kPaused);
    PumpMessages(300, window());
    Command(ID_RECORD_NOW); // resumes
    EXPECT_EQ(State(), kRecording);
    EXPECT_EQ(settings.g_paused, 0);
    EXPECT_EQ(Title(), "Framelark");
    PumpMessages(600, window());

    Click(IDC_STOP);
    // Play may already be on: the thread can finish and the completion save within the click.
    EXPECT_FALSE(State().pause);
    EXPECT_FALSE(State().stop);
    // The thread finishes the movie, the completion asks for a name and copies it there.
    ASSERT_TRUE(PumpUntil([] { return !dialog->currentMovie().empty(); }, 20000));
    EXPECT_EQ(dialog->currentMovie(), ModalAnswerer::saveAs);
    ASSERT_TRUE(Reaches(AppState::Idle));
    EXPECT_EQ(State(), (Buttons{true, false, false, true}));
    EXPECT_EQ(GetFileAttributesA(settings.g_tempmoviepath.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::string movie = UnixPath(ModalAnswerer::saveAs);
    EXPECT_EQ(RunUnixShell("ffmpeg -v error -xerror -i '" + movie + "' -f null - 2>&1 | grep -q . && exit 1 || exit 0"), 0);
    EXPECT_EQ(RunUnixShell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 '" +
                           movie + "' | grep -qx 'msvideo1," + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "," +
                           std::to_string(GetSystemMetrics(SM_CYSCREEN)) + "'"),
              0);
    ModalAnswerer::texts.clear();
}

// Stop is a command of its own: a hand-edited cancel key of 0 (the code the button once passed)
// must not turn it into a discard.
TEST_F(MainDialogTest, StopKeepsTheRecordingWhateverTheCancelKeyReads)
{
    ScratchFolder scratch;
    ModalAnswerer::saveAs = scratch.File("kept.avi");
    struct Restore {
        ~Restore()
        {
            ModalAnswerer::saveAs.clear();
            Settings().keyRecordCancel = VK_F9;
        }
    } restore;
    Settings().keyRecordCancel = 0;
    Settings().launchPlayer = 0;
    RecordingStarted();
    PumpMessages(300, window());
    Click(IDC_STOP);
    ASSERT_TRUE(PumpUntil([] { return dialog->currentMovie() == ModalAnswerer::saveAs; }, 20000));
    ASSERT_TRUE(Reaches(AppState::Idle));
    EXPECT_NE(GetFileAttributesA(ModalAnswerer::saveAs.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(State(), (Buttons{true, false, false, true}));
    ModalAnswerer::texts.clear();
}

TEST_F(MainDialogTest, TheCountdownComesBeforeTheRecordingAndStopEndsIt)
{
    struct Restore {
        ~Restore() { Settings().countdownSeconds = 0; }
    } restore;
    PrepareFixedRegion();
    Settings().countdownSeconds = 1;
    Click(IDC_RECORD);
    ASSERT_TRUE(Reaches(AppState::CountingDown));
    const HWND countdown = FindThreadWindow("Countdown");
    ASSERT_TRUE(countdown);
    EXPECT_TRUE(IsWindowVisible(countdown));
    RECT shown{};
    GetWindowRect(countdown, &shown);
    EXPECT_EQ((shown.left + shown.right) / 2, 8 + 32); // the middle of the region
    EXPECT_EQ(State(), (Buttons{false, false, true, false}));

    // Stop during the countdown: the movie made ready meanwhile is thrown away, nothing asked.
    Click(IDC_STOP);
    EXPECT_FALSE(IsWindowVisible(countdown));
    ASSERT_TRUE(Reaches(AppState::Idle));
    PumpMessages(1500, window());
    EXPECT_EQ(dialog->State(), AppState::Idle);
    EXPECT_EQ(Settings().g_isrecording, 0);
    EXPECT_EQ(GetFileAttributesA(Settings().g_tempmoviepath.c_str()), INVALID_FILE_ATTRIBUTES);

    // Run out: the recording starts only once the number is gone from the screen.
    Click(IDC_RECORD);
    ASSERT_TRUE(Reaches(AppState::CountingDown));
    bool shownWhileRecording = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            shownWhileRecording |= dialog->State() == AppState::Recording && IsWindowVisible(countdown);
            return dialog->State() == AppState::Recording;
        },
        10000));
    EXPECT_FALSE(shownWhileRecording);
    EXPECT_FALSE(IsWindowVisible(countdown));
    Discard();
}

TEST_F(MainDialogTest, ClicksAndKeysReachTheEventLogOnlyWhileRecordingWithThemShown)
{
    struct Restore {
        ~Restore()
        {
            Settings().g_showclicks = 0;
            Settings().g_showkeys = 0;
        }
    } restore;
    Settings().g_showclicks = 1;
    Settings().g_showkeys = 1;
    const auto report = [](short x) {
        SendMessageA(window(), kMouseClickMessage, 1, MAKELPARAM(x, 30));
        SendMessageA(window(), WM_USER_KEYSTART_MSG, 'A', 1);
    };
    std::uint64_t next = InputEvents().End();
    report(10);
    EXPECT_EQ(InputEvents().End(), next); // idle: nothing is kept
    RecordingStarted();
    report(-20);
    std::vector<InputEvent> taken;
    InputEvents().TakeSince(next, taken);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].click.button, MouseButton::Right);
    EXPECT_EQ(taken[0].click.x, -20); // left of the main monitor
    EXPECT_EQ(taken[1].key.key, 'A');
    Discard();
}

TEST_F(MainDialogTest, AMonitorOfAnotherDpiRescalesTheFaceItsShapeAndItsButtons)
{
    // Wine gives every monitor one dpi; the message that a move between monitors brings is sent here.
    struct Row {
        int dpi;
        RECT face;   // the system's suggestion puts it at 300, 250
        RECT record; // 20, 60, 33 x 67 at 96 dpi
    };
    const Row rows[] = {
        {144, {300, 250, 885, 469}, {330, 340, 380, 441}},
        {192, {300, 250, 1080, 542}, {340, 370, 406, 504}},
        {96, {300, 250, 690, 396}, {320, 310, 353, 377}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.dpi);
        RECT suggested = row.face;
        SendMessageA(window(), WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi), reinterpret_cast<LPARAM>(&suggested));
        PumpMessages(50, window());
        RECT face{};
        RECT record{};
        GetWindowRect(window(), &face);
        GetWindowRect(GetDlgItem(window(), IDC_RECORD), &record);
        EXPECT_TRUE(EqualRect(&face, &row.face)) << face.left << "," << face.top << " " << face.right << "," << face.bottom;
        EXPECT_TRUE(EqualRect(&record, &row.record)) << record.left << "," << record.top << " " << record.right << ","
                                                     << record.bottom;
        // A mask of another scale would leave the far rounded corner standing, or cut the face.
        GdiRegion shape(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(window(), shape.get()), ERROR);
        const int width = row.face.right - row.face.left;
        const int height = row.face.bottom - row.face.top;
        EXPECT_FALSE(PtInRegion(shape.get(), width - 1, height - 1));
        EXPECT_TRUE(PtInRegion(shape.get(), width / 2, height * 9 / 10));
    }
    SetWindowPos(window(), nullptr, 200, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TEST_F(MainDialogTest, ClosingWhenIdleSavesOnceAndShutsDown)
{
    const int savesBefore = saves;
    Command(IDC_CLOSE);
    EXPECT_FALSE(IsWindow(window()));
    EXPECT_EQ(saves, savesBefore + 1);
    EXPECT_EQ(Settings().g_mainwindow.load(), nullptr);
    EXPECT_EQ(Seams().regionSelection, nullptr);
    EXPECT_EQ(Seams().flashingFrame, nullptr);
    EXPECT_EQ(g_regionwindow, nullptr);
    // Our Video 1 is gone again: the system's own answers as it did before the start.
    EXPECT_EQ(Video1Compresses(), systemVideo1Compresses);
}

TEST(Resources, MessageTableEntriesLoad)
{
    for (DWORD id : {ID_TITLE_PAUSED, ID_ERR_CREATE_SOUND_FILE, ID_ERR_ALLOC_COMPRESS_PARAMETERS_FORMAT,
                     ID_ERR_TIMELAPSE_MINUS, ID_ERR_TIMELAPSE_TOO_BIG, ID_ERR_KEYFRAME_RANGE_FORMAT,
                     ID_ERR_PLAYBACKRATE_RANGE_FORMAT}) {
        const std::string text = LoadMessageText(id, "");
        EXPECT_GT(text.size(), 10u) << id;
        EXPECT_EQ(text.find('\n'), std::string::npos) << id;
    }
    EXPECT_EQ(LoadResourceString(IDS_NOTE, ""), "Note");
}

TEST(MainMenus, CarryTheirCommandsInOrder)
{
    auto ids = [](HMENU menu) {
        std::vector<int> out;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            out.push_back(static_cast<int>(GetMenuItemID(menu, i)));
        }
        return out;
    };
    OwnedMenu tray(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAYMENU)));
    ASSERT_TRUE(tray);
    HMENU popup = GetSubMenu(tray.get(), 0);
    // Separators have id 0, sub-menus -1.
    const std::vector<int> regions{ID_REGION_NORMAL, ID_REGION_FIXED, ID_REGION_FULLSCREEN, ID_REGION_WINDOW};
    const std::vector<int> options{32783, 32784, 32785, 0, 32786, 32787};
    EXPECT_EQ(ids(popup), (std::vector<int>{105, 121, 106, 122, 0, 32772, 0, -1, -1, 0, 1008, 1080, 0, 1075}));
    EXPECT_EQ(ids(GetSubMenu(popup, 7)), regions);
    EXPECT_EQ(ids(GetSubMenu(popup, 8)), options);

    OwnedMenu menu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_OPTIONSMENU)));
    ASSERT_TRUE(menu);
    HMENU optionsPopup = GetSubMenu(menu.get(), 0);
    EXPECT_EQ(ids(optionsPopup), (std::vector<int>{-1, 0, 32783, 32784, 32785, 0, 32786, 32787}));
    EXPECT_EQ(ids(GetSubMenu(optionsPopup, 0)), regions);
}
