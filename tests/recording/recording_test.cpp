#include "recording/recording.h"

#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "recording/movie_writer.h"
#include "recording/record_command.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "test_compressor.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <thread>

namespace {
const DWORD kFail = mmioFOURCC('F', 'A', 'I', 'L');
const DWORD kUncompressed = mmioFOURCC('D', 'I', 'B', ' ');

// Other programs' notes on the same display are not ours.
HWND FindQuestion()
{
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM result) -> BOOL {
            char caption[16] = {};
            char cls[16] = {};
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            GetWindowTextA(window, caption, sizeof(caption));
            GetClassNameA(window, cls, sizeof(cls));
            if (process == GetCurrentProcessId() && std::string(caption) == "Note" && std::string(cls) == "#32770") {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string QuestionText(HWND box)
{
    char text[256] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    return text;
}

// The hook's cursor reports interleave freely; the order of starts and ends is what counts.
std::vector<UINT> StartsAndEnds(const std::vector<UINT>& messages)
{
    std::vector<UINT> kept;
    for (const UINT message : messages) {
        if (message != WM_USER_SAVECURSOR_MSG) {
            kept.push_back(message);
        }
    }
    return kept;
}

struct RegionLog : IRegionSelection {
    std::vector<std::string> calls;
    RECT current{};
    void ShowForSelection() override { calls.push_back("show"); }
    void BeginPlacement() override { calls.push_back("place"); }
    void SetCurrentRectangle(const RECT& rect) override
    {
        calls.push_back("current");
        current = rect;
    }
};

struct FlashLog : IFlashingFrame {
    std::vector<std::string> calls;
    void SetShape(int, int, int, int, bool thin) override { calls.push_back(thin ? "shape thin" : "shape"); }
    void Paint(COLORREF) override {}
    void Invert(COLORREF) override {}
    void Show() override { calls.push_back("show"); }
    void Hide() override { calls.push_back("hide"); }
};

// The main window's part: start handler, stop routine and the hook's cursor.
class Recording : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPrivateMessages(); }
    void SetUp() override
    {
        UsePlainCaptureSettings();
        AppSettings& s = Settings();
        s.g_mainwindow = main.hwnd();
        s.recordaudio = 0;
        s.minimizeOnStart = 0;
        s.timelapse = 50;
        s.frames_per_second = 20;
        s.g_isrecording = 0;
        s.g_paused = 0;
        main.onMessage = [this](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_USER_RECORDSTART_MSG && starts++ < maxStarts) {
                OnRecordStart();
            } else if (message == WM_USER_SAVECURSOR_MSG) {
                Settings().g_hookcursor = reinterpret_cast<HCURSOR>(wParam);
            }
        };
    }
    void TearDown() override
    {
        Stop();
        PumpUntil([] { return false; }, 100);
        if (!Settings().g_tempmoviepath.empty()) {
            DeleteFileA(Settings().g_tempmoviepath.c_str());
        }
    }
    static void Stop()
    {
        UninstallMouseHook();
        Settings().g_paused = 0;
        Settings().g_isrecording = 0;
    }
    void StartFixedRegion()
    {
        AppSettings& s = Settings();
        s.MouseCaptureMode = kCaptureFixed;
        s.fixedcapture = 1;
        s.captureleft = 10;
        s.capturetop = 20;
        s.capturewidth = 64;
        s.captureheight = 48;
        RecordCommand();
    }

    RecordingWindow main;
    int starts = 0;
    int maxStarts = 1;
};
} // namespace

TEST_F(Recording, EveryEndIsReportedOnceWithWhyAndHowManyFramesWereWritten)
{
    const DWORD kPass = mmioFOURCC('P', 'A', 'S', 'S');
    TestCompressor pass(kPass, CompressorBehaviour::PassThrough);
    TestCompressor failing(kFail, CompressorBehaviour::FailOnCompress);
    struct Case {
        const char* name;
        DWORD compressor;
        bool loseAFrame; // no frame block can be laid out at 0 bits
        RecordingStop stop;
        bool framesKept;
    };
    const Case cases[] = {
        {"stopped", kPass, false, RecordingStop::None, true},
        {"compressor fails", kFail, false, RecordingStop::MovieFailed, false},
        {"frame lost", kPass, true, RecordingStop::OutOfMemory, true},
    };
    for (const Case& c : cases) {
        UsePlainCaptureSettings();
        main.messages.clear();
        main.parameters.clear();
        starts = 0;
        Settings().compfccHandler = static_cast<std::int32_t>(c.compressor);
        StartFixedRegion();
        ASSERT_TRUE(PumpUntil([&] { return starts == 1; }, 5000)) << c.name;
        PumpFor(600);
        if (c.loseAFrame) {
            Settings().g_capturebits = 0;
        } else {
            Stop();
        }
        ASSERT_TRUE(PumpUntil([&] { return main.Count(WM_USER_GENERIC_MSG) == 1; }, 10000)) << c.name;
        PumpFor(300);
        Stop();
        EXPECT_EQ(FindQuestion(), nullptr) << c.name << ": the thread asks nothing";
        EXPECT_EQ(StartsAndEnds(main.messages), (std::vector<UINT>{WM_USER_RECORDSTART_MSG, WM_USER_GENERIC_MSG}))
            << c.name;
        const auto [stop, frames] = main.parameters.back();
        EXPECT_EQ(static_cast<RecordingStop>(stop), c.stop) << c.name;
        // 600 ms at a 50 ms interval.
        EXPECT_EQ(frames >= 5, c.framesKept) << c.name << ": " << frames;
        EXPECT_EQ(static_cast<DWORD>(Settings().compfccHandler.load()), c.compressor) << c.name;
        DeleteFileA(Settings().g_tempmoviepath.c_str());
        DeleteFileA((Settings().g_tempmoviepath + ".journal").c_str());
    }
}

TEST_F(Recording, TemporaryNamesAreCreatedExclusively)
{
    ScratchFolder scratch;
    const std::string plain = ReserveTempMoviePath(scratch.path());
    EXPECT_EQ(plain, scratch.File("~temp.avi"));
    EXPECT_EQ(GetFileAttributesA(plain.c_str()), INVALID_FILE_ATTRIBUTES);

    // A movie still open elsewhere under the plain name: a numbered name is used.
    HANDLE held = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::string numbered = ReserveTempMoviePath(scratch.path());
    CloseHandle(held);
    DeleteFileA(plain.c_str());
    ASSERT_GT(numbered.size(), scratch.File("~temp.avi").size());
    EXPECT_EQ(numbered.rfind(scratch.File("~temp"), 0), 0u);
    EXPECT_EQ(numbered.substr(numbered.size() - 4), ".avi");

    // A folder that cannot be written ends the search.
    EXPECT_EQ(ReserveTempMoviePath(scratch.File("missing")), "");
}

TEST_F(Recording, RecordCommandResolvesTheRegionByMode)
{
    RegionLog region;
    Seams().regionSelection = &region;
    AppSettings& s = Settings();
    s.g_screenwidth = 1024;
    s.g_screenheight = 768;
    maxStarts = 0;

    s.MouseCaptureMode = kCaptureFixed;
    s.fixedcapture = 1;
    s.captureleft = -10;
    s.capturetop = 700;
    s.capturewidth = 100;
    s.captureheight = 100;
    RecordCommand();
    EXPECT_EQ(s.g_fixedrect, (ScreenRect{0, 700, 89, 767})); // edges clipped, not moved
    EXPECT_EQ(s.g_capturerect, (ScreenRect{0, 700, 89, 767}));
    EXPECT_EQ(region.calls, (std::vector<std::string>{"current"}));
    EXPECT_EQ(region.current.right, 89);

    region.calls.clear();
    s.fixedcapture = 0;
    RecordCommand();
    EXPECT_EQ(s.g_fixedrect, (ScreenRect{0, 0, 99, 99}));
    EXPECT_EQ(region.calls, (std::vector<std::string>{"show", "place"}));

    region.calls.clear();
    s.MouseCaptureMode = kCaptureNormal;
    RecordCommand();
    EXPECT_EQ(region.calls, (std::vector<std::string>{"show"}));

    region.calls.clear();
    s.MouseCaptureMode = kCaptureFullScreen;
    RecordCommand();
    EXPECT_EQ(s.g_capturerect, (ScreenRect{0, 0, 1023, 767}));

    // A mode the program does not know (a hand-edited CS.ini) drags a region, as by default.
    s.MouseCaptureMode = 7;
    EXPECT_EQ(RecordCommand(), RecordStep::Selecting);
    EXPECT_EQ(region.calls, (std::vector<std::string>{"show"}));
    EXPECT_EQ(s.MouseCaptureMode, kCaptureNormal);
    PumpFor(100);
    EXPECT_EQ(main.Count(WM_USER_RECORDSTART_MSG), 2);
    Seams().regionSelection = nullptr;
}

#ifdef FRAMELARK_SMALL_DISK
TEST_F(Recording, AFullDiskEndsTheRecordingAsAStopWithoutBlamingTheCompressor)
{
    const std::string folder = SmallDiskFolder(FRAMELARK_SMALL_DISK);
    if (folder.empty()) {
        GTEST_SKIP() << "no small file system at " FRAMELARK_SMALL_DISK " (mounting one needs root)";
    }
    const DWORD kPass = mmioFOURCC('P', 'A', 'S', 'S');
    TestCompressor pass(kPass, CompressorBehaviour::PassThrough);
    Settings().compfccHandler = static_cast<std::int32_t>(kPass);
    Settings().g_isrecording = 1;
    const std::string path = folder + "\\full.avi";
    DeleteFileA(path.c_str());
    std::thread recording([&] {
        RecordingReport report;
        RecordVideo(0, 0, 160, 120, 20, path, report);
    });
    const bool ended = PumpUntil([&] { return main.Count(WM_USER_GENERIC_MSG) == 1; }, 20000);
    Stop();
    recording.join();
    ASSERT_TRUE(ended) << "the recording went on with the disk full";
    PumpFor(300);
    EXPECT_EQ(FindQuestion(), nullptr) << QuestionText(FindQuestion());
    EXPECT_EQ(StartsAndEnds(main.messages), (std::vector<UINT>{WM_USER_GENERIC_MSG}));
    EXPECT_EQ(static_cast<RecordingStop>(main.parameters.back().first), RecordingStop::DiskFull);

    AVIFileInit();
    PAVISTREAM stream = nullptr;
    ASSERT_EQ(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr), 0);
    const LONG frames = AVIStreamLength(stream);
    EXPECT_GE(frames, 3);
    // Every frame the index names can be read back whole (rows of 160 pixels need no padding).
    const LONG frameBytes = 160 * 120 * Settings().g_capturebits / 8;
    std::vector<BYTE> pixels(160 * 120 * 4);
    for (LONG i = 0; i < frames; ++i) {
        LONG bytes = 0;
        if (AVIStreamRead(stream, i, 1, pixels.data(), static_cast<LONG>(pixels.size()), &bytes, nullptr) == 0 &&
            bytes > 0) {
            EXPECT_EQ(bytes, frameBytes) << "frame " << i;
        }
    }
    AVIStreamRelease(stream);
    AVIFileExit();
    DeleteFileA(path.c_str());
}
#endif
