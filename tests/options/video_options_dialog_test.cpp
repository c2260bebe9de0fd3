#include "codec/video1_driver.h"
#include "codec/video1_install.h"
#include "common/fourcc.h"
#include "options/compressor_choice.h"
#include "options/video_options_dialog.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/message_box.h"
#include "dialog_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr DWORD kConfigurable = MakeFourCC('T', 'C', 'F', 'G');

// Compressors that take every frame and report their own handler (under Wine the list learns an
// installed compressor's handler from it); each has an About box, a configuration dialog and a
// four-byte state that every configuration raises by one.
struct CompressorState {
    static inline std::uint32_t value = 0;
    static inline std::vector<std::uint32_t> restored;
};

template <DWORD Handler>
LRESULT CALLBACK TestDriver(DWORD_PTR, HDRVR, UINT message, LPARAM p1, LPARAM p2)
{
    switch (message) {
    case DRV_LOAD:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_FREE:
    case DRV_CLOSE:
    case DRV_OPEN:
        return 1;
    case ICM_GETINFO: {
        auto* info = reinterpret_cast<ICINFO*>(p1);
        std::memset(info, 0, sizeof(ICINFO));
        info->dwSize = sizeof(ICINFO);
        info->fccType = ICTYPE_VIDEO;
        info->fccHandler = Handler;
        wcscpy(info->szDescription, L"Configurable test compressor");
        return sizeof(ICINFO);
    }
    case ICM_COMPRESS_QUERY:
    case ICM_ABOUT:
        return ICERR_OK;
    case ICM_CONFIGURE:
        if (p1 != -1) {
            ++CompressorState::value;
        }
        return ICERR_OK;
    case ICM_SETSTATE:
        if (p1 && p2 == sizeof(CompressorState::value)) {
            std::memcpy(&CompressorState::value, reinterpret_cast<void*>(p1), sizeof(CompressorState::value));
            CompressorState::restored.push_back(CompressorState::value);
        }
        return p2;
    case ICM_GETSTATE:
        if (p1) {
            std::memcpy(reinterpret_cast<void*>(p1), &CompressorState::value, sizeof(CompressorState::value));
        }
        return sizeof(CompressorState::value);
    default:
        return ICERR_UNSUPPORTED;
    }
}

constexpr DWORD ManyHandler(std::size_t i)
{
    return MakeFourCC('Z', 'Q', static_cast<char>('A' + i / 10), static_cast<char>('0' + i % 10));
}

template <std::size_t... I>
std::vector<DWORD> InstallMany(std::index_sequence<I...>)
{
    (ICInstall(ICTYPE_VIDEO, ManyHandler(I), reinterpret_cast<LPARAM>(&TestDriver<ManyHandler(I)>), nullptr,
               ICINSTALL_FUNCTION),
     ...);
    return {ManyHandler(I)...};
}

std::string Text(HWND dialog, int id) { return ItemText(dialog, id); }

class VideoOptionsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        AppSettings& s = Settings();
        ReadScreenSize(s);
        s.g_capturebits = 32;
        InstallVideo1IfNeeded(32, s.g_screenwidth, s.g_screenheight);
    }

    void SetUp() override
    {
        AppSettings& s = Settings();
        s.compfccHandler = FourCCAsSigned(kFourCCVideo1);
        s.compquality = 7000;
        s.timelapse = 5;
        s.frames_per_second = 200;
        s.keyFramesEvery = 200;
        s.g_autoadjust = 0;
        s.g_valueadjust = 1;
        s.g_compressorname = "MS Video 1";
        AnsweredBoxes().clear();
    }

    static void Run(const std::function<void(HWND)>& script)
    {
        DriveModal("Video Options", [] { CVideoOptionsDialog::Run(nullptr); }, script);
    }

    static std::vector<std::string> ListedNames(HWND dialog)
    {
        std::vector<std::string> names;
        const int count = static_cast<int>(SendDlgItemMessageA(dialog, IDC_COMPRESSORS, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char name[256] = {};
            SendDlgItemMessageA(dialog, IDC_COMPRESSORS, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(name));
            names.push_back(name);
        }
        return names;
    }
};
} // namespace

TEST_F(VideoOptionsTest, ShowsTheSettingsAndStoresQualityAndNumbersOnOK)
{
    Settings().compquality = 7099;
    Settings().keyFramesEvery = 15;
    Run([](HWND d) {
        EXPECT_EQ(Text(d, IDC_QUALITY_VALUE), "70");
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_QUALITY, TBM_GETPOS, 0, 0), 70);
        EXPECT_EQ(Text(d, IDC_KEYFRAMES), "15");
        EXPECT_EQ(Text(d, IDC_CAPTURE_INTERVAL), "5");
        EXPECT_EQ(Text(d, IDC_PLAYBACK_RATE), "200");
        // Auto Adjust off: the numbers are typed, the time-lapse slider rests.
        EXPECT_TRUE(ItemEnabled(d, IDC_KEYFRAMES));
        EXPECT_FALSE(ItemEnabled(d, IDC_TIME_LAPSE));
        MoveSlider(d, IDC_QUALITY, 37);
        EXPECT_EQ(Text(d, IDC_QUALITY_VALUE), "37");
        TypeText(d, IDC_CAPTURE_INTERVAL, "7200000");
        TypeText(d, IDC_PLAYBACK_RATE, " 25fps");
        ClickButton(d, IDOK);
    });
    EXPECT_TRUE(AnsweredBoxes().empty());
    EXPECT_EQ(Settings().compquality, 3700);
    EXPECT_EQ(Settings().timelapse, 7200000);
    EXPECT_EQ(Settings().frames_per_second, 25);
    EXPECT_EQ(Settings().keyFramesEvery, 15);
    EXPECT_EQ(Settings().g_autoadjust, 0);
}

TEST_F(VideoOptionsTest, AutoAdjustDerivesTheNumbersFromTheTimeLapseSlider)
{
    struct Case {
        int position, rate, interval;
    };
    const Case cases[] = {{1, 200, 5},     {17, 40, 25},      {18, 39, 25},     {56, 1, 1000},
                          {57, 20, 1000}, {86, 20, 30000}, {87, 20, 32000}, {100, 20, 60000}};
    Run([&](HWND d) {
        SendDlgItemMessageA(d, IDC_AUTO_ADJUST, BM_CLICK, 0, 0);
        EXPECT_FALSE(ItemEnabled(d, IDC_CAPTURE_INTERVAL));
        EXPECT_TRUE(ItemEnabled(d, IDC_TIME_LAPSE));
        for (const Case& c : cases) {
            MoveSlider(d, IDC_TIME_LAPSE, c.position);
            EXPECT_EQ(Text(d, IDC_PLAYBACK_RATE), std::to_string(c.rate)) << c.position;
            EXPECT_EQ(Text(d, IDC_KEYFRAMES), std::to_string(c.rate)) << c.position;
            EXPECT_EQ(Text(d, IDC_CAPTURE_INTERVAL), std::to_string(c.interval)) << c.position;
        }
        MoveSlider(d, IDC_TIME_LAPSE, 57);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().g_autoadjust, 1);
    EXPECT_EQ(Settings().g_valueadjust, 57);
    EXPECT_EQ(Settings().frames_per_second, 20);
    EXPECT_EQ(Settings().keyFramesEvery, 20);
    EXPECT_EQ(Settings().timelapse, 1000);
}

TEST_F(VideoOptionsTest, RefusedNumbersKeepTheDialogOpenAndStoreNothing)
{
    struct Case {
        int field;
        const char* text;
        DWORD message;
    };
    const Case cases[] = {
        {IDC_CAPTURE_INTERVAL, "7200001", ID_ERR_TIMELAPSE_TOO_BIG},
        {IDC_CAPTURE_INTERVAL, "-1", ID_ERR_TIMELAPSE_MINUS},
        {IDC_CAPTURE_INTERVAL, "", ID_ERR_TIMELAPSE_MINUS},
        {IDC_KEYFRAMES, "0", ID_ERR_KEYFRAME_RANGE_FORMAT},
        {IDC_KEYFRAMES, "201", ID_ERR_KEYFRAME_RANGE_FORMAT},
        {IDC_PLAYBACK_RATE, "0", ID_ERR_PLAYBACKRATE_RANGE_FORMAT},
        {IDC_PLAYBACK_RATE, "many", ID_ERR_PLAYBACKRATE_RANGE_FORMAT},
    };
    for (const Case& c : cases) {
        AnsweredBoxes().clear();
        bool stillOpen = false;
        Run([&](HWND d) {
            MoveSlider(d, IDC_QUALITY, 10);
            TypeText(d, c.field, c.text);
            ClickButton(d, IDOK);
            stillOpen = IsWindowVisible(d) != FALSE;
            ClickButton(d, IDCANCEL);
        });
        EXPECT_TRUE(stillOpen) << c.text;
        ASSERT_EQ(AnsweredBoxes().size(), 1u) << c.text;
        EXPECT_EQ(AnsweredBoxes()[0], "Note|" + LoadMessageText(c.message, "?")) << c.text;
        EXPECT_EQ(Settings().compquality, 7000);
        EXPECT_EQ(Settings().timelapse, 5);
        EXPECT_EQ(Settings().keyFramesEvery, 200);
        EXPECT_EQ(Settings().frames_per_second, 200);
    }
}

TEST_F(VideoOptionsTest, TabOrderFollowsTheLayout)
{
    Run([](HWND d) {
        // Video 1 has no About or Configure; with Auto Adjust off the time-lapse slider rests.
        EXPECT_EQ(TabOrder(d), (std::vector<int>{IDC_COMPRESSORS, IDC_QUALITY, IDC_KEYFRAMES, IDC_CAPTURE_INTERVAL,
                                                 IDC_PLAYBACK_RATE, IDC_AUTO_ADJUST, IDOK, IDCANCEL}));
        SendDlgItemMessageA(d, IDC_AUTO_ADJUST, BM_CLICK, 0, 0);
        EXPECT_EQ(TabOrder(d), (std::vector<int>{IDC_COMPRESSORS, IDC_QUALITY, IDC_AUTO_ADJUST, IDC_TIME_LAPSE, IDOK,
                                                 IDCANCEL}));
        ClickButton(d, IDCANCEL);
    });
}

TEST_F(VideoOptionsTest, EachInstalledCompressorIsListedOnce)
{
    Run([](HWND d) {
        const std::vector<std::string> names = ListedNames(d);
        EXPECT_FALSE(names.empty());
        EXPECT_EQ(std::count(names.begin(), names.end(), "MS Video 1"), 1) << names.size();
        const CompressorList& list = Compressors();
        EXPECT_EQ(list.count, static_cast<int>(names.size()));
        for (int i = 0; i < list.count; ++i) {
            for (int j = 0; j < i; ++j) {
                EXPECT_FALSE(SameHandler(list.entries[i].fccHandler, list.entries[j].fccHandler))
                    << FourCCText(list.entries[i].fccHandler);
            }
        }
        // The stored "MSVC" is the selected entry.
        const int chosen = ChosenEntry(d, IDC_COMPRESSORS);
        ASSERT_GE(chosen, 0);
        EXPECT_EQ(list.entries[chosen].fccHandler, kFourCCVideo1);
        ClickButton(d, IDCANCEL);
    });
}

TEST_F(VideoOptionsTest, AnUnlistedCompressorGivesWayToTheFirstEvenOnCancel)
{
    Settings().compfccHandler = FourCCAsSigned(MakeFourCC('N', 'O', 'N', 'E'));
    Run([](HWND d) {
        EXPECT_EQ(ChosenEntry(d, IDC_COMPRESSORS), 0);
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(static_cast<DWORD>(Settings().compfccHandler.load()), Compressors().entries[0].fccHandler);
}

TEST_F(VideoOptionsTest, ConfigureKeepsTheCompressorsStateAndRestoresItNextTime)
{
    ASSERT_TRUE(ICInstall(ICTYPE_VIDEO, kConfigurable, reinterpret_cast<LPARAM>(&TestDriver<kConfigurable>),
                          nullptr, ICINSTALL_FUNCTION));
    CompressorState::value = 41;
    AppSettings& s = Settings();
    s.g_compressorstate.reset();
    s.CompressorStateSize = 0;
    s.CompressorStateIsFor = 0;
    const auto chooseAndConfigure = [](HWND d) {
        const std::vector<std::string> names = ListedNames(d);
        const auto found = std::find(names.begin(), names.end(), "Configurable test compressor");
        if (found == names.end()) {
            ADD_FAILURE() << "not listed among " << testing::PrintToString(names);
            ClickButton(d, IDCANCEL);
            return;
        }
        ChooseEntry(d, IDC_COMPRESSORS, static_cast<int>(found - names.begin()));
        EXPECT_TRUE(ItemEnabled(d, IDC_COMPRESSOR_ABOUT));
        EXPECT_TRUE(ItemEnabled(d, IDC_COMPRESSOR_CONFIGURE));
        ClickButton(d, IDC_COMPRESSOR_CONFIGURE);
        ClickButton(d, IDCANCEL);
    };
    Run(chooseAndConfigure);
    // Kept at once, though the options were cancelled.
    EXPECT_EQ(s.CompressorStateIsFor, static_cast<std::int32_t>(kConfigurable));
    ASSERT_EQ(s.CompressorStateSize, 4);
    {
        LockedGlobal state(s.g_compressorstate.handle());
        ASSERT_NE(state.data(), nullptr);
        EXPECT_EQ(*state.as<std::uint32_t>(), 42u);
    }
    // Next time the saved state goes back in before the configuration shows.
    CompressorState::value = 0;
    Run(chooseAndConfigure);
    ASSERT_FALSE(CompressorState::restored.empty());
    EXPECT_EQ(CompressorState::restored.back(), 42u);
    EXPECT_EQ(CompressorState::value, 43u);
    // Video 1 has neither dialog: both buttons go grey.
    Run([](HWND d) {
        EXPECT_FALSE(ItemEnabled(d, IDC_COMPRESSOR_CONFIGURE));
        EXPECT_FALSE(ItemEnabled(d, IDC_COMPRESSOR_ABOUT));
        ClickButton(d, IDCANCEL);
    });
    ICRemove(ICTYPE_VIDEO, kConfigurable, 0);
}

TEST_F(VideoOptionsTest, OKStoresTheChosenCompressorAndItsPosition)
{
    Run([](HWND d) {
        ChooseEntry(d, IDC_COMPRESSORS, 0);
        ClickButton(d, IDOK);
    });
    const ICINFO& first = Compressors().entries[0];
    EXPECT_EQ(static_cast<DWORD>(Settings().compfccHandler.load()), first.fccHandler);
    EXPECT_EQ(Compressors().chosen, 0);
    char name[128] = {};
    WideCharToMultiByte(CP_ACP, 0, first.szDescription, -1, name, sizeof(name), nullptr, nullptr);
    EXPECT_EQ(Settings().g_compressorname, name);
}

TEST(CompressorList, NoMoreThanThirtyEntries)
{
    // Thirty-two compressors that take any frame: only the first thirty fit.
    const std::vector<DWORD> handlers = InstallMany(std::make_index_sequence<32>());
    const BITMAPINFOHEADER sample = UncompressedFrameHeader(320, 200, 32);
    CompressorList list;
    BuildCompressorList(list, sample);
    EXPECT_EQ(list.count, kMaxCompressors);
    for (DWORD handler : handlers) {
        ICRemove(ICTYPE_VIDEO, handler, 0);
    }
}
