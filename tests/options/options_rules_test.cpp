#include "options/cursor_options_rules.h"
#include "options/fixed_region_rules.h"
#include "options/hotkey_keys.h"
#include "options/video_options_rules.h"
#include "resources/resource_ids.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(VideoOptionsRules, QualityTravelsInHundreds)
{
    EXPECT_EQ(QualityFromSlider(37), 3700);
    EXPECT_EQ(QualitySliderPosition(7099), 70);
    EXPECT_EQ(QualitySliderPosition(10000), 100);
}

TEST(VideoOptionsRules, FirstRefusedFieldInOrder)
{
    struct Case {
        VideoNumbers numbers;
        std::optional<std::uint32_t> refusal;
    };
    const Case cases[] = {
        {{0, 1, 1}, std::nullopt},
        {{7200000, 200, 200}, std::nullopt},
        {{7200001, 20, 20}, ID_ERR_TIMELAPSE_TOO_BIG},
        {{-1, 20, 20}, ID_ERR_TIMELAPSE_MINUS},
        {{std::nullopt, 20, 20}, ID_ERR_TIMELAPSE_MINUS},
        {{5, 0, 20}, ID_ERR_KEYFRAME_RANGE_FORMAT},
        {{5, 201, 20}, ID_ERR_KEYFRAME_RANGE_FORMAT},
        {{5, std::nullopt, 20}, ID_ERR_KEYFRAME_RANGE_FORMAT},
        {{5, 20, 0}, ID_ERR_PLAYBACKRATE_RANGE_FORMAT},
        {{5, 20, 201}, ID_ERR_PLAYBACKRATE_RANGE_FORMAT},
        {{5, 20, std::nullopt}, ID_ERR_PLAYBACKRATE_RANGE_FORMAT},
        // Several wrong: the capture interval is named first, then the key frames.
        {{-1, 0, 0}, ID_ERR_TIMELAPSE_MINUS},
        {{5, 0, 0}, ID_ERR_KEYFRAME_RANGE_FORMAT},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckVideoNumbers(c.numbers), c.refusal)
            << c.numbers.captureInterval.value_or(-999) << " " << c.numbers.keyFrames.value_or(-999) << " "
            << c.numbers.playbackRate.value_or(-999);
    }
}

TEST(HotkeyKeys, PositionsAndCodesBothWays)
{
    struct Case {
        int position;
        std::int32_t code;
        const char* name;
    };
    const Case cases[] = {
        {0, 112, "F1"},        {6, 118, "F7"},       {11, 123, "F12"},     {12, 65, "A"},
        {37, 90, "Z"},         {38, 49, "1"},        {46, 57, "9"},        {47, 48, "0"},
        {48, 96, "NUMPAD0 "},  {57, 105, "NUMPAD9 "}, {58, 18, "ALT "},    {59, 16, "SHIFT "},
        {60, 17, "CONTROL "},  {61, 27, "ESCAPE "},  {62, 36, "HOME "},    {63, 45, "INSERT "},
        {64, 46, "DELETE "},   {65, 35, "END "},     {66, 13, "ENTER "},   {67, 32, "SPACE "},
        {68, 9, "TAB "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KeyOfPosition(c.position), c.code) << c.position;
        EXPECT_EQ(PositionOfKey(c.code), c.position) << c.code;
        EXPECT_STREQ(HotkeyName(c.position), c.name) << c.position;
    }
    // Every entry a different key, and every code finds its way back.
    std::set<std::int32_t> codes;
    for (int i = 0; i < kHotkeyListSize; ++i) {
        codes.insert(KeyOfPosition(i));
        EXPECT_EQ(PositionOfKey(KeyOfPosition(i)), i);
    }
    EXPECT_EQ(codes.size(), static_cast<size_t>(kHotkeyListSize));
    // Outside the list: no key, no name; an unknown code shows as F1.
    EXPECT_EQ(KeyOfPosition(-1), 0);
    EXPECT_EQ(KeyOfPosition(69), 0);
    EXPECT_EQ(HotkeyName(69), nullptr);
    EXPECT_EQ(PositionOfKey(200), 0);
    EXPECT_EQ(PositionOfKey(0), 0);
}

TEST(HotkeyKeys, AKeyHeldByAnotherRoleIsNamed)
{
    const HotkeySet defaults{118, 119, 120};
    using R = HotkeyRole;
    struct Case {
        R choosing;
        std::int32_t code;
        std::optional<R> holder;
    };
    const Case cases[] = {
        {R::RecordPause, 119, R::Stop},    {R::RecordPause, 120, R::Cancel}, {R::RecordPause, 118, std::nullopt},
        {R::RecordPause, 65, std::nullopt}, {R::Stop, 118, R::RecordPause},  {R::Stop, 120, R::Cancel},
        {R::Stop, 119, std::nullopt},       {R::Cancel, 118, R::RecordPause}, {R::Cancel, 119, R::Stop},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HotkeyTakenBy(c.choosing, c.code, defaults), c.holder)
            << static_cast<int>(c.choosing) << " " << c.code;
    }
    // With both others on the same key (a hand-edited file), the first-asked role is named.
    const HotkeySet shared{65, 66, 66};
    EXPECT_EQ(HotkeyTakenBy(R::RecordPause, 66, shared), R::Cancel);
    EXPECT_EQ(HotkeyTakenBy(R::Stop, 65, {65, 66, 65}), R::RecordPause);
}

TEST(FixedRegionRules, RefusalsInOrder)
{
    const std::int32_t W = 1024, H = 768;
    struct Case {
        FixedRegionFields fields;
        const char* refusal;
    };
    const Case cases[] = {
        {{1024, 768, 0, 0, false}, ""},
        {{1025, 240, 0, 0, false}, "The width must be smaller than the screen width (1024)"},
        {{0, 240, 0, 0, false}, "The width must be greater than 0"},
        {{std::nullopt, 240, 0, 0, false}, "The width must be greater than 0"},
        {{320, -1, 0, 0, false}, "The height must be greater than 0"},
        {{320, 769, 0, 0, false}, "The height must be smaller than the screen height (768)"},
        {{0, 0, 0, 0, false}, "The width must be greater than 0"},
        {{320, 240, 0, 10, true}, "The left value must be greater than 0"},
        {{320, 240, 1025, 10, true}, "The left value must be smaller than the screen width (1024)"},
        {{320, 240, 10, 0, true}, "The top value must be greater than 0"},
        {{320, 240, 10, std::nullopt, true}, "The top value must be greater than 0"},
        {{320, 240, 10, 769, true}, "The top value must be smaller than the screen height (768)"},
        // Without a fixed corner, left and top are not looked at.
        {{320, 240, 0, std::nullopt, false}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckFixedRegion(c.fields, {{0, 0, W - 1, H - 1}}).refusal, c.refusal) << c.refusal;
    }
}

TEST(FixedRegionRules, RegionOffTheScreenIsBroughtBackWithANote)
{
    const std::int32_t W = 1024, H = 768;
    struct Case {
        FixedRegionFields fields;
        std::int32_t left, top, width, height;
        std::vector<std::string> notes;
    };
    const Case cases[] = {
        {{320, 240, 100, 100, true}, 100, 100, 320, 240, {}},
        {{200, 240, 1024, 100, true}, 100, 100, 320, 240,
         {"Value exceed screen width. The width is adjusted to 320"}},
        {{400, 240, 900, 100, true}, 900, 100, 124, 240,
         {"Value exceed screen width. The width is adjusted to 124"}},
        {{320, 300, 10, 700, true}, 10, 700, 320, 68, {"Value exceed screen height. The height is adjusted to 68"}},
        {{300, 300, 1024, 768, true}, 100, 100, 320, 240,
         {"Value exceed screen width. The width is adjusted to 320",
          "Value exceed screen height. The height is adjusted to 240"}},
    };
    for (const Case& c : cases) {
        const FixedRegionOutcome out = CheckFixedRegion(c.fields, {{0, 0, W - 1, H - 1}});
        EXPECT_EQ(out.refusal, "");
        EXPECT_EQ(out.left, c.left);
        EXPECT_EQ(out.top, c.top);
        EXPECT_EQ(out.width, c.width);
        EXPECT_EQ(out.height, c.height);
        EXPECT_EQ(out.notes, c.notes);
    }
}

// A 1024 × 768 primary with an 800 × 600 monitor on its left: sizes span both, a corner may be
// negative, and the region is cut at the edge of the corner's own monitor.
TEST(FixedRegionRules, TwoMonitors)
{
    const MonitorLayout monitors{{0, 0, 1023, 767}, {-800, 0, -1, 599}};
    struct Case {
        FixedRegionFields fields;
        const char* refusal;
        std::int32_t left, width, height;
    };
    const Case cases[] = {
        {{1824, 768, 0, 0, false}, "", 0, 1824, 768},
        {{1825, 240, 0, 0, false}, "The width must be smaller than the screen width (1824)", 0, 0, 0},
        {{320, 240, -800, 10, true}, "", -800, 320, 240},
        {{320, 240, -801, 10, true}, "The left value must not be smaller than the screen's left edge (-800)", 0, 0, 0},
        {{320, 240, 1025, 10, true}, "The left value must be smaller than the screen width (1024)", 0, 0, 0},
        {{320, 700, -100, 10, true}, "", -100, 100, 590},
        {{320, 240, -10, 650, true}, "", 0, 320, 118}, // below the small monitor: onto the primary
    };
    for (const Case& c : cases) {
        const FixedRegionOutcome out = CheckFixedRegion(c.fields, monitors);
        EXPECT_EQ(out.refusal, c.refusal);
        if (out.refusal.empty()) {
            EXPECT_EQ(out.left, c.left) << c.fields.left.value_or(0);
            EXPECT_EQ(out.width, c.width);
            EXPECT_EQ(out.height, c.height);
        }
    }
}

TEST(CursorOptionsRules, HighlightPreviewIsHalfTheSizeInA64Square)
{
    struct Case {
        int size, shape, left, top, right, bottom;
        bool ellipse;
    };
    const Case cases[] = {
        {1, 0, 32, 32, 32, 32, true},     // h = 0: a point at the centre
        {128, 0, 0, 0, 64, 64, true},     // h = 64: the whole square
        {65, 0, 16, 16, 48, 48, true},    // h = 32
        {65, 1, 16, 24, 48, 40, true},    // the ellipse is half as tall
        {65, 2, 16, 16, 48, 48, false},
        {65, 3, 16, 24, 48, 40, false},
        {7, 1, 30, 31, 33, 32, true},     // h = 3: each edge truncated
    };
    for (const Case& c : cases) {
        const HighlightBox box = HighlightPreviewBox(c.size, c.shape);
        EXPECT_EQ(box.left, c.left) << c.size << "/" << c.shape;
        EXPECT_EQ(box.top, c.top) << c.size << "/" << c.shape;
        EXPECT_EQ(box.right, c.right) << c.size << "/" << c.shape;
        EXPECT_EQ(box.bottom, c.bottom) << c.size << "/" << c.shape;
        EXPECT_EQ(box.ellipse, c.ellipse) << c.size << "/" << c.shape;
    }
}

TEST(CursorOptionsRules, CursorFilesAreLoadedByUpperCasedExtension)
{
    EXPECT_TRUE(IsLoadableCursorFile("C:\\cursors\\hand.Cur"));
    EXPECT_TRUE(IsLoadableCursorFile("a.ico"));
    EXPECT_TRUE(IsLoadableCursorFile(".CUR"));
    EXPECT_FALSE(IsLoadableCursorFile("C:\\cursors\\busy.ani"));
    EXPECT_FALSE(IsLoadableCursorFile("ico"));
    EXPECT_FALSE(IsLoadableCursorFile("hand.cur "));
    EXPECT_EQ(FolderOf("C:\\windows\\cursors\\busy.ani"), "C:\\windows\\cursors");
    EXPECT_EQ(FolderOf("busy.ani"), "");
}

TEST(CursorOptionsRules, ShowingTheCursorKeepsOnlyKnownTypes)
{
    EXPECT_EQ(ShownCursorType(0), 0);
    EXPECT_EQ(ShownCursorType(1), 1);
    EXPECT_EQ(ShownCursorType(2), 2);
    EXPECT_EQ(ShownCursorType(3), 2);
    EXPECT_EQ(ShownCursorType(-1), 2);
}
