// A real recording under Wine: full screen, the built-in Video 1 compressor, a window that
// animates, the cursor reported by the mouse hook; the movie is read back with ffmpeg.
#include "messages/hook_library.h"
#include "messages/private_messages.h"
#include "codec/video1_install.h"
#include "recording/record_command.h"
#include "recording/recording_journal.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "test_support.h"
#include "win/handles.h"

#include <gtest/gtest.h>

#include <set>

namespace {
constexpr int kAnimationX = 200;
constexpr int kAnimationY = 200;
constexpr int kCursorX = 650;
constexpr int kCursorY = 450;

// Cycles red, green and blue every 150 ms.
LRESULT CALLBACK Animate(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    static int phase = 0;
    if (message == WM_TIMER) {
        phase = (phase + 1) % 3;
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
        GdiBrush brush(CreateSolidBrush(colours[phase]));
        FillRect(dc, &paint.rcPaint, brush.get());
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct FlashLog : IFlashingFrame {
    std::vector<std::string> calls;
    void SetShape(int, int, int, int, bool thin) override { Note(thin ? "shape thin" : "shape"); }
    void Paint(COLORREF) override { Note("paint"); }
    void Invert(COLORREF) override { Note("invert"); }
    void Show() override { Note("show"); }
    void Hide() override { Note("hide"); }
    void Note(const std::string& call)
    {
        if (calls.empty() || calls.back() != call) {
            calls.push_back(call);
        }
    }
};

struct Rgb {
    int r;
    int g;
    int b;
};

std::vector<Rgb> Pixels(const std::string& raw)
{
    std::vector<Rgb> pixels;
    for (std::size_t i = 0; i + 2 < raw.size(); i += 3) {
        pixels.push_back({static_cast<unsigned char>(raw[i]), static_cast<unsigned char>(raw[i + 1]),
                          static_cast<unsigned char>(raw[i + 2])});
    }
    return pixels;
}

bool NearWhite(const Rgb& p) { return p.r > 200 && p.g > 200 && p.b > 200; }
} // namespace

TEST(LiveRecording, FullScreenMovieShowsTheAnimationAndTheCursor)
{
    if (UnixPath("C:\\").empty()) {
        GTEST_SKIP() << "read back with ffmpeg under Wine";
    }
    RegisterPrivateMessages();
    RecordingWindow main;
    UsePlainCaptureSettings();
    AppSettings& s = Settings();
    s.g_mainwindow = main.hwnd();
    s.MouseCaptureMode = kCaptureFullScreen;
    s.compfccHandler = static_cast<std::int32_t>(kFourCCVideo1);
    s.timelapse = 100;
    s.frames_per_second = 10;
    s.g_cursortype = kCursorActual;
    s.g_recordcursor = 1;
    s.flashingRect = 1;
    FlashLog flash;
    Seams().flashingFrame = &flash;
    ASSERT_TRUE(InstallVideo1IfNeeded(24, s.g_screenwidth, s.g_screenheight));
    main.onMessage = [](UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_USER_RECORDSTART_MSG) {
            OnRecordStart();
        } else if (message == WM_USER_SAVECURSOR_MSG) {
            Settings().g_hookcursor = reinterpret_cast<HCURSOR>(wParam);
        }
    };

    TestPopup animated("FramelarkAnimated", RECT{100, 100, 300, 300}, &Animate);
    SetTimer(animated.hwnd(), 1, 150, nullptr);
    TestPopup cross("FramelarkCross", RECT{500, 300, 800, 600}, nullptr, IDC_CROSS);
    PumpFor(300);
    ASSERT_EQ(RunUnixShell("xdotool mousemove " + std::to_string(kCursorX) + " " + std::to_string(kCursorY)), 0);
    RecordCommand();
    ASSERT_TRUE(PumpUntil([] { return Settings().g_isrecording == 1; }, 5000));
    PumpFor(1000);
    ASSERT_EQ(RunUnixShell("xdotool mousemove " + std::to_string(kCursorX + 1) + " " + std::to_string(kCursorY)), 0);
    // A busy machine can take a while to bring the move through the hook; then a second of frames.
    EXPECT_TRUE(PumpUntil([&] { return s.g_hookcursor.load() == LoadCursor(nullptr, IDC_CROSS); }, 10000));
    PumpFor(1000);
    UninstallMouseHook();
    s.g_paused = 0;
    s.g_isrecording = 0;
    ASSERT_TRUE(PumpUntil([&] { return main.Count(WM_USER_GENERIC_MSG) == 1; }, 10000));
    EXPECT_EQ(s.g_hookcursor.load(), LoadCursor(nullptr, IDC_CROSS));
    ASSERT_GE(flash.calls.size(), 3u);
    EXPECT_EQ(flash.calls[0], "shape");
    EXPECT_EQ(flash.calls[1], "show");
    EXPECT_EQ(flash.calls.back(), "hide");
    Seams().flashingFrame = nullptr;

    // The temporary movie and its journal go however the checks end.
    struct Removed {
        ~Removed()
        {
            DeleteFileA(path.c_str());
            DeleteJournalOf(path);
        }
        std::string path;
    } const removed{s.g_tempmoviepath};
    const std::string movie = UnixPath(s.g_tempmoviepath);
    ASSERT_FALSE(movie.empty());
    ScratchFolder scratch;
    const std::string out = UnixPath(scratch.path());
    ASSERT_EQ(RunUnixShell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of "
                           "csv=p=0 '" + movie + "' > '" + out + "/probe.txt'"),
              0);
    EXPECT_EQ(ReadWholeFile(scratch.File("probe.txt")),
              "msvideo1," + std::to_string(s.g_screenwidth) + "," + std::to_string(s.g_screenheight) + "\n");
    EXPECT_EQ(RunUnixShell("ffmpeg -v error -xerror -i '" + movie + "' -f null - 2>&1 | grep -q . && exit 1 || exit 0"), 0);

    const auto crop = [&](const char* name, int size, int x, int y) {
        const std::string filter = "crop=" + std::to_string(size) + ":" + std::to_string(size) + ":" + std::to_string(x) +
                                   ":" + std::to_string(y);
        EXPECT_EQ(RunUnixShell("ffmpeg -v error -i '" + movie + "' -vf " + filter + " -f rawvideo -pix_fmt rgb24 '" + out +
                               "/" + name + "'"),
                  0);
        return Pixels(ReadWholeFile(scratch.File(name)));
    };
    std::set<int> colours;
    const std::vector<Rgb> animation = crop("animation.raw", 1, kAnimationX, kAnimationY);
    EXPECT_GE(animation.size(), 10u);
    for (const Rgb& p : animation) {
        colours.insert((p.r > 160 ? 1 : 0) | (p.g > 160 ? 2 : 0) | (p.b > 160 ? 4 : 0));
    }
    EXPECT_GE(colours.size(), 2u) << "the animation is not in the movie";
    EXPECT_EQ(colours.count(0), 0u);

    // The last frame: a cross round the hot spot, white a little further off.
    const int size = 41;
    const std::vector<Rgb> around = crop("cursor.raw", size, kCursorX + 1 - size / 2, kCursorY - size / 2);
    const std::vector<Rgb> away = crop("away.raw", size, kCursorX - 120, kCursorY - 120);
    ASSERT_GE(around.size(), static_cast<std::size_t>(size * size));
    ASSERT_GE(away.size(), static_cast<std::size_t>(size * size));
    int darkAround = 0;
    for (std::size_t i = around.size() - size * size; i < around.size(); ++i) {
        darkAround += NearWhite(around[i]) ? 0 : 1;
    }
    int darkAway = 0;
    for (std::size_t i = away.size() - size * size; i < away.size(); ++i) {
        darkAway += NearWhite(away[i]) ? 0 : 1;
    }
    EXPECT_GT(darkAround, 20);
    EXPECT_EQ(darkAway, 0);
    RemoveVideo1();
}
