#include "settings/settings_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {
const SettingsVersionRules kLatest = RulesForVersion(1.5f);

// What a split gives for one block: "-" not stored, "cut" stored but not whole, else its bytes.
std::string Describe(const CdataBlock& block)
{
    if (!block.stored) {
        return "-";
    }
    return block.whole ? std::string(block.bytes) : "cut";
}

std::string Describe(const CdataBlocks& blocks)
{
    return Describe(blocks.savedir) + "|" + Describe(blocks.cursordir) + "|" + Describe(blocks.audioFormat) + "|" +
           Describe(blocks.compressorState) + "|" + Describe(blocks.ffmpegPath);
}
} // namespace

TEST(SettingsData, WritesTheFiveBlocksWithoutSeparators)
{
    EXPECT_EQ(FormatCdata("C:\\a", "", std::string("\x02\0\x01", 3), "state", "F:\\ff.exe"),
              std::string("C:\\a\x02\0\x01stateF:\\ff.exe", 21));
    EXPECT_EQ(FormatCdata("", "", "", "", ""), "");
}

TEST(SettingsData, SplitsByTheLengthsOfCsIni)
{
    const std::string data = "savecursorAUDIOstate";
    const std::string longText(1000, 'x');
    struct Case {
        const char* what;
        std::string data;
        CdataLengths lengths;
        SettingsVersionRules rules;
        std::string blocks;
    };
    const Case cases[] = {
        {"all four of older files", data, {4, 6, 5, 5}, kLatest, "save|cursor|AUDIO|state|-"},
        {"all five", data + "ff.exe", {4, 6, 5, 5, 6}, kLatest, "save|cursor|AUDIO|state|ff.exe"},
        {"ffmpeg text missing", data, {4, 6, 5, 5, 6}, kLatest, "save|cursor|AUDIO|state|cut"},
        {"none", "", {0, 0, 0, 0}, kLatest, "-|-|-|-|-"},
        {"negative lengths hold nothing", data, {-4, -1, 0, -5, -6}, kLatest, "-|-|-|-|-"},
        {"no directory texts", "AUDIOstate", {0, 0, 5, 5}, kLatest, "-|-|AUDIO|state|-"},
        {"text of 999 bytes is read", std::string(999, 'y') + "AUDIO", {999, 0, 5, 0}, kLatest,
         std::string(999, 'y') + "|-|AUDIO|-|-"},
        {"text of 1000 bytes is skipped", longText + "cursorAUDIO", {1000, 6, 5, 0}, kLatest, "cut|cursor|AUDIO|-|-"},
        {"ffmpeg text of 1000 bytes is skipped", data + longText, {4, 6, 5, 5, 1000}, kLatest,
         "save|cursor|AUDIO|state|cut"},
        {"file shorter than the lengths", data.substr(0, 17), {4, 6, 5, 5}, kLatest, "save|cursor|AUDIO|cut|-"},
        {"cut inside a text", "sav", {4, 6, 5, 5}, kLatest, "cut|cut|cut|cut|-"},
        {"huge audio format", data, {4, 6, 0xFFFFFFF0u, 5}, kLatest, "save|cursor|cut|cut|-"},
        {"largest state", data, {4, 6, 5, 0x7FFFFFFF}, kLatest, "save|cursor|AUDIO|cut|-"},
        {"version 1.35 has the blobs", data, {4, 6, 5, 5}, RulesForVersion(1.35f), "save|cursor|AUDIO|state|-"},
        {"version 1.3 has only the texts", data, {4, 6, 5, 5, 3}, RulesForVersion(1.3f), "save|cursor|-|-|-"},
        {"version 1.0 has nothing", data, {4, 6, 5, 5}, RulesForVersion(1.0f), "-|-|-|-|-"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(SplitCdata(c.data, c.lengths, c.rules)), c.blocks) << c.what;
    }
}

TEST(SettingsData, ReadsNoMoreThanTheBlocksTake)
{
    EXPECT_EQ(CdataBytesNeeded({4, 6, 5, 5, 6}, kLatest), 26u);
    EXPECT_EQ(CdataBytesNeeded({-4, 1000, 0xFFFFFFFFu, 0x7FFFFFFF}, kLatest), std::uint64_t{1000} + 0xFFFFFFFFu + 0x7FFFFFFFu);
    EXPECT_EQ(CdataBytesNeeded({4, 6, 5, 5}, RulesForVersion(1.3f)), 10u);
    EXPECT_EQ(CdataBytesNeeded({4, 6, 5, 5}, RulesForVersion(1.0f)), 0u);
}

TEST(SettingsData, AWaveFormatMustHoldItsExtraBytes)
{
    std::string pcm(18, '\0');
    std::string adpcm(50, '\0');
    adpcm[16] = 32;
    std::string claimsTooMuch = adpcm;
    claimsTooMuch[16] = 33;
    std::string claimsAll(18, '\0');
    claimsAll[16] = '\xFF';
    claimsAll[17] = '\xFF';
    EXPECT_TRUE(HoldsWholeWaveFormat(pcm));
    EXPECT_TRUE(HoldsWholeWaveFormat(adpcm));
    EXPECT_FALSE(HoldsWholeWaveFormat(claimsTooMuch));
    EXPECT_FALSE(HoldsWholeWaveFormat(claimsAll));
    EXPECT_FALSE(HoldsWholeWaveFormat(pcm.substr(0, 17)));
}
