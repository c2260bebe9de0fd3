#include "options/general_options_dialog.h"
#include "messages/private_messages.h"
#include "region/region_window.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "dialog_driver.h"

#include <gtest/gtest.h>

namespace {
constexpr int kFixedControls[] = {IDC_SELECT_FIXED_REGION, IDC_FIXED_CORNER, IDC_FIXED_LEFT,
                                  IDC_FIXED_TOP,           IDC_FIXED_WIDTH,  IDC_FIXED_HEIGHT};

class GeneralOptionsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterPrivateMessages();
        regionWindow = new CRegionWindow; // lives to the process's end, like the program's
        ASSERT_TRUE(regionWindow->Create());
    }

    void SetUp() override
    {
        AppSettings& s = Settings();
        s.MouseCaptureMode = kCaptureNormal;
        s.fixedcapture = 0;
        s.captureleft = 100;
        s.capturetop = 100;
        s.capturewidth = 320;
        s.captureheight = 240;
        s.minimizeOnStart = 0;
        s.flashingRect = 1;
        s.launchPlayer = 1;
        s.savesettings = 1;
        s.ffmpegPath = "C:\\tools\\ffmpeg.exe";
        AnsweredBoxes().clear();
    }

    static void Run(const std::function<void(HWND)>& script)
    {
        DriveModal("General Options", [] { CGeneralOptionsDialog::Run(nullptr, regionWindow); }, script);
    }

    static inline CRegionWindow* regionWindow = nullptr;
};
} // namespace

TEST_F(GeneralOptionsTest, TheModeDecidesWhichFixedRegionControlsWork)
{
    Settings().flashingRect = 0;
    Run([](HWND d) {
        EXPECT_TRUE(ItemChecked(d, IDC_REGION_NORMAL));
        EXPECT_FALSE(ItemChecked(d, IDC_REGION_FIXED));
        for (int id : kFixedControls) {
            EXPECT_FALSE(ItemEnabled(d, id)) << id;
        }
        EXPECT_TRUE(ItemChecked(d, IDC_HIDE_FLASHING));
        EXPECT_TRUE(ItemChecked(d, IDC_PLAY_AFTER_RECORDING));
        EXPECT_EQ(ItemText(d, IDC_FIXED_WIDTH), "320");
        EXPECT_EQ(ItemText(d, IDC_FFMPEG_PATH), "C:\\tools\\ffmpeg.exe");
        TypeText(d, IDC_FFMPEG_PATH, "D:\\my tools\\ffmpeg.exe");

        SendDlgItemMessageA(d, IDC_REGION_FIXED, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemChecked(d, IDC_REGION_FIXED));
        EXPECT_FALSE(ItemChecked(d, IDC_REGION_NORMAL));
        EXPECT_TRUE(ItemEnabled(d, IDC_FIXED_WIDTH));
        EXPECT_TRUE(ItemEnabled(d, IDC_SELECT_FIXED_REGION));
        EXPECT_FALSE(ItemEnabled(d, IDC_FIXED_LEFT)); // no fixed corner
        SendDlgItemMessageA(d, IDC_FIXED_CORNER, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemEnabled(d, IDC_FIXED_LEFT));
        EXPECT_TRUE(ItemEnabled(d, IDC_FIXED_TOP));

        SendDlgItemMessageA(d, IDC_REGION_WINDOW, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemChecked(d, IDC_REGION_WINDOW));
        EXPECT_FALSE(ItemChecked(d, IDC_REGION_FIXED));
        EXPECT_FALSE(ItemEnabled(d, IDC_FIXED_WIDTH));
        SendDlgItemMessageA(d, IDC_REGION_FULLSCREEN, BM_CLICK, 0, 0);
        EXPECT_FALSE(ItemChecked(d, IDC_REGION_WINDOW));
        for (int id : kFixedControls) {
            EXPECT_FALSE(ItemEnabled(d, id)) << id;
        }
        // Nonsense in a field of an unused fixed region neither stops OK nor is stored.
        TypeText(d, IDC_FIXED_WIDTH, "wide");
        SendDlgItemMessageA(d, IDC_MINIMIZE_ON_START, BM_CLICK, 0, 0);
        SendDlgItemMessageA(d, IDC_HIDE_FLASHING, BM_CLICK, 0, 0);
        ClickButton(d, IDOK);
    });
    EXPECT_TRUE(AnsweredBoxes().empty());
    const AppSettings& s = Settings();
    EXPECT_EQ(s.MouseCaptureMode, kCaptureFullScreen);
    EXPECT_EQ(s.capturewidth, 320);
    EXPECT_EQ(s.minimizeOnStart, 1);
    EXPECT_EQ(s.flashingRect, 1);
    EXPECT_EQ(s.fixedcapture, 0);
    EXPECT_EQ(s.ffmpegPath, "D:\\my tools\\ffmpeg.exe");
}

TEST_F(GeneralOptionsTest, TabOrderFollowsTheLayout)
{
    Settings().MouseCaptureMode = kCaptureFixed;
    Settings().fixedcapture = 1;
    Run([](HWND d) {
        // The region radios are one stop: the checked one.
        EXPECT_EQ(TabOrder(d),
                  (std::vector<int>{IDC_REGION_FIXED, IDC_SELECT_FIXED_REGION, IDC_FIXED_CORNER, IDC_FIXED_LEFT,
                                    IDC_FIXED_TOP, IDC_FIXED_WIDTH, IDC_FIXED_HEIGHT, IDC_MINIMIZE_ON_START,
                                    IDC_HIDE_FLASHING, IDC_PLAY_AFTER_RECORDING, IDC_SAVE_ON_EXIT, IDC_COUNTDOWN,
                                    IDC_FFMPEG_PATH, IDC_FFMPEG_BROWSE, IDOK, IDCANCEL}));
        ClickButton(d, IDCANCEL);
    });
}

TEST_F(GeneralOptionsTest, FixedRegionIsCheckedAgainstTheScreen)
{
    const int W = Settings().g_screenwidth;
    ASSERT_GT(W, 400);
    struct Case {
        std::string width, height, left, top;
        bool corner;
        std::vector<std::string> notes;
        bool closes;
    };
    const Case cases[] = {
        {std::to_string(W), "240", "", "", false, {}, true},
        {std::to_string(W + 1), "240", "", "", false,
         {"Note|The width must be smaller than the screen width (" + std::to_string(W) + ")"}, false},
        {"", "240", "", "", false, {"Note|The width must be greater than 0"}, false},
        {"320", "240", "0", "10", true, {"Note|The left value must be greater than 0"}, false},
        {"320", "240", "10", "0", true, {"Note|The top value must be greater than 0"}, false},
        {"200", "240", std::to_string(W), "10", true,
         {"Note|Value exceed screen width. The width is adjusted to 320"}, true},
    };
    for (const Case& c : cases) {
        SetUp();
        Settings().MouseCaptureMode = kCaptureFixed;
        Settings().fixedcapture = c.corner ? 1 : 0;
        bool closed = false;
        Run([&](HWND d) {
            TypeText(d, IDC_FIXED_WIDTH, c.width);
            TypeText(d, IDC_FIXED_HEIGHT, c.height);
            TypeText(d, IDC_FIXED_LEFT, c.left);
            TypeText(d, IDC_FIXED_TOP, c.top);
            ClickButton(d, IDOK);
            closed = !IsWindowVisible(d);
            if (!closed) {
                ClickButton(d, IDCANCEL);
            }
        });
        EXPECT_EQ(AnsweredBoxes(), c.notes) << c.width << " " << c.left;
        EXPECT_EQ(closed, c.closes) << c.width << " " << c.left;
        if (!c.closes) {
            EXPECT_EQ(Settings().capturewidth, 320);
            EXPECT_EQ(Settings().captureleft, 100);
        }
    }
    // The last case: left = W with width 200 moves the region to 100 and makes it 320 wide.
    EXPECT_EQ(Settings().captureleft, 100);
    EXPECT_EQ(Settings().capturewidth, 320);
    EXPECT_EQ(Settings().capturetop, 10);
    EXPECT_EQ(Settings().fixedcapture, 1);
}

TEST_F(GeneralOptionsTest, ARegionDrawnOnTheSelectionWindowFillsTheFields)
{
    Settings().MouseCaptureMode = kCaptureFixed;
    for (const bool corner : {true, false}) {
        Settings().fixedcapture = corner ? 1 : 0;
        Settings().captureleft = 100;
        Run([&](HWND d) {
            ClickButton(d, IDC_SELECT_FIXED_REGION);
            HWND selection = regionWindow->hwnd();
            EXPECT_TRUE(IsWindowVisible(selection));
            EXPECT_EQ(Settings().MouseCaptureMode, kCaptureNormal);
            // A drag from (500, 400) up and left to (150, 120).
            SendMessageA(selection, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(500, 400));
            SendMessageA(selection, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 120));
            SendMessageA(selection, WM_LBUTTONUP, 0, MAKELPARAM(150, 120));
            EXPECT_FALSE(IsWindowVisible(selection));
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&msg);
            }
            EXPECT_EQ(ItemText(d, IDC_FIXED_WIDTH), "351");
            EXPECT_EQ(ItemText(d, IDC_FIXED_HEIGHT), "281");
            // Without a fixed corner only the size is taken.
            EXPECT_EQ(ItemText(d, IDC_FIXED_LEFT), corner ? "150" : "100");
            EXPECT_EQ(ItemText(d, IDC_FIXED_TOP), corner ? "120" : "100");
            ClickButton(d, IDCANCEL);
        });
        // Cancel keeps the normal mode that the selection needed.
        EXPECT_EQ(Settings().MouseCaptureMode, kCaptureNormal);
        Settings().MouseCaptureMode = kCaptureFixed;
    }
}

TEST_F(GeneralOptionsTest, TheCountdownIsStoredAndCutToItsLongest)
{
    const std::pair<const char*, std::int32_t> rows[] = {{"3", 3}, {"25", 10}, {"0", 0}, {"", 2}};
    for (const auto& [typed, stored] : rows) {
        Settings().countdownSeconds = 2;
        Run([typed = typed](HWND d) {
            EXPECT_EQ(GetDlgItemInt(d, IDC_COUNTDOWN, nullptr, FALSE), 2u);
            TypeText(d, IDC_COUNTDOWN, typed);
            ClickButton(d, IDOK);
        });
        EXPECT_EQ(Settings().countdownSeconds, stored) << typed;
    }
    Settings().countdownSeconds = 0;
}
