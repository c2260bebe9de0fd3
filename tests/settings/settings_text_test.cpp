#include "settings/settings_text.h"

#include "settings_file_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
const std::vector<std::int32_t> kDefaults = {1,   1,   0,   1,     320, 240, 5,   200, 200, 7000, 1129730893, 0,
                                             0,   1,   0,   0,     0,   64,  0,   255, 255, 125,  0,          20,
                                             -1,  50,  0,   128,   16,  2,   22050, 1, 1,   100,  118,        119,
                                             120, 1,   1,   12,    19,  0,   100, 100, 0,   0,
                                             0,   0,   0,   255,   200, 0,   0,   1,   0,   0,  -1, 0, 0};

const std::vector<std::int32_t> kChanged = {0,  0,   1,  2,     -640, -480, 1000, 20, 7,   2500, 1684633187, -1,
                                            -8, 0,   5,  2,     1,    128,  3,    1,  2,   3,    1,          -20,
                                            3,  70,  1,  2048,  8,    1,    44100, 0, 0,   -5,   65,         66,
                                            67, 0,   99, 0,     999,  -2,   -100, -200, 1, 1,
                                            3,  24,  1,  7,     8,    9,    1,    0,    3,   1,  3, 1, 1};

StoredSettings FromValues(const std::vector<std::int32_t>& values)
{
    StoredSettings stored;
    for (std::size_t i = 0; i < kSettingsLines.size(); ++i) {
        stored.*kSettingsLines[i].value = values[i];
    }
    return stored;
}

std::vector<std::int32_t> ToValues(const StoredSettings& stored)
{
    std::vector<std::int32_t> values;
    for (const SettingsLine& line : kSettingsLines) {
        values.push_back(stored.*line.value);
    }
    return values;
}

// All 59 set to a value the files under test never hold, to see which lines were read.
std::vector<std::int32_t> Untouched()
{
    return std::vector<std::int32_t>(59, 4242);
}
} // namespace

TEST(SettingsText, WritesTheHeaderAndEveryLineByteForByte)
{
    for (const auto* values : {&kDefaults, &kChanged}) {
        for (const std::string end : {"\n", "\r\n"}) {
            EXPECT_EQ(FormatSettingsText(FromValues(*values), end), ExpectedSettingsText(*values, "1.50", end));
        }
    }
}

TEST(SettingsText, ReadsBackWhatItWrote)
{
    for (const auto* values : {&kDefaults, &kChanged}) {
        StoredSettings read = FromValues(Untouched());
        const SettingsTextRead result = ReadSettingsText(FormatSettingsText(FromValues(*values), "\r\n"), read);
        EXPECT_FLOAT_EQ(result.version, 1.5f);
        EXPECT_EQ(result.linesRead, 59u);
        EXPECT_EQ(ToValues(read), *values);
    }
}

TEST(SettingsText, VersionRulesHoldTheVersionAsASingleNumber)
{
    struct Case {
        float version;
        SettingsVersionRules rules;
    };
    const Case cases[] = {
        {1.0f, {false, false, false, true, false, false}},
        {1.2f, {true, false, false, true, true, false}},
        {1.3f, {true, true, false, true, true, false}},
        // 1.35 as a single-precision number lies just above 1.35.
        {1.35f, {true, true, false, false, true, true}},
        {1.5f, {true, true, true, false, true, true}},
    };
    for (const Case& c : cases) {
        const SettingsVersionRules r = RulesForVersion(c.version);
        EXPECT_EQ(r.hasFirstLines, c.rules.hasFirstLines) << c.version;
        EXPECT_EQ(r.hasThreadPriority, c.rules.hasThreadPriority) << c.version;
        EXPECT_EQ(r.hasFixedCorner, c.rules.hasFixedCorner) << c.version;
        EXPECT_EQ(r.predatesCompressorState, c.rules.predatesCompressorState) << c.version;
        EXPECT_EQ(r.hasDirectoryTexts, c.rules.hasDirectoryTexts) << c.version;
        EXPECT_EQ(r.hasBlobs, c.rules.hasBlobs) << c.version;
    }
}

TEST(SettingsText, ALineThatDoesNotMatchEndsTheReading)
{
    const std::string whole = ExpectedSettingsText(kChanged);
    const auto lineOf = [&](const std::string& key) {
        const std::size_t start = whole.find("\n" + key) + 1;
        return std::pair{start, whole.find('\n', start) + 1 - start};
    };
    struct Case {
        const char* what;
        std::string text;
        std::size_t linesRead;
    };
    std::string deleted = whole;
    deleted.erase(lineOf("g_highlightcolorR").first, lineOf("g_highlightcolorR").second);
    std::string renamed = whole;
    renamed.replace(lineOf("autopan").first, 7, "autoPan");
    std::string tooBig = whole;
    tooBig.replace(lineOf("g_customsel").first, lineOf("g_customsel").second, "g_customsel=2147483648 \n");
    std::string noNumber = whole;
    noNumber.replace(lineOf("timelapse").first, lineOf("timelapse").second, "timelapse= x5 \n");
    std::string badHeader = whole;
    badHeader.replace(0, 10, "[Framelurk");
    std::string nul = whole;
    nul[lineOf("maxpan").first + 3] = '\0';

    const Case cases[] = {
        {"deleted line 20", deleted, 19},   {"changed key 23", renamed, 22},  {"33-bit number", tooBig, 14},
        {"no digits", noNumber, 6},         {"other header", badHeader, 0},   {"NUL in key 24", nul, 23},
        {"empty file", "", 0},              {"header only", whole.substr(0, whole.find("flashingRect")), 0},
        {"cut before a number", whole.substr(0, lineOf("capturetop").first + 12), 43},
    };
    for (const Case& c : cases) {
        StoredSettings read = FromValues(Untouched());
        const SettingsTextRead result = ReadSettingsText(c.text, read);
        EXPECT_EQ(result.linesRead, c.linesRead) << c.what;
        std::vector<std::int32_t> expected = Untouched();
        std::copy_n(kChanged.begin(), c.linesRead, expected.begin());
        EXPECT_EQ(ToValues(read), expected) << c.what;
    }
}

TEST(SettingsText, BlanksMatchAnyRunOfWhiteSpace)
{
    struct Case {
        const char* what;
        std::string text;
        std::int32_t captureleft;
    };
    const std::string whole = ExpectedSettingsText(kChanged);
    std::string spaced = whole;
    for (std::size_t at = spaced.find('\n'); at != std::string::npos; at = spaced.find('\n', at + 4)) {
        spaced.replace(at, 1, "\n \t\n");
    }
    const Case cases[] = {
        {"blank lines and tabs", spaced, -100},
        {"no blanks at all", "[FramelarkSettingsver1.5--Pleasedonotedit]" + whole.substr(whole.find("flashingRect")),
         -100},
    };
    for (const Case& c : cases) {
        StoredSettings read = FromValues(Untouched());
        const SettingsTextRead result = ReadSettingsText(c.text, read);
        EXPECT_EQ(result.linesRead, 59u) << c.what;
        EXPECT_EQ(read.captureleft, c.captureleft) << c.what;
    }

    StoredSettings read;
    ReadSettingsText("[Framelark Settings ver 1.5 -- Please do not edit ]flashingRect=  +7\r\nlaunchPlayer=-2147483648",
                     read);
    EXPECT_EQ(read.flashingRect, 7);
    EXPECT_EQ(read.launchPlayer, -2147483647 - 1);
}
