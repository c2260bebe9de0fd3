#include "recording/key_caption.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
// "^C" presses C, "_C" releases it; keys are given as the two-digit hex code or a letter/digit.
// Ctrl 11, Shift 10, Alt 12, Win 5B, Enter 0D, Tab 09, F7 76.
std::string CaptionOf(const char* script, bool shortcutsOnly, std::uint32_t lookAt = 100)
{
    CKeyCaption caption({shortcutsOnly, {0x76, 0x77, 0x78}});
    std::istringstream words(script);
    std::string word;
    std::uint32_t time = 0;
    while (words >> word) {
        const std::string code = word.substr(1);
        const std::int32_t key = code.size() == 1 ? code[0] : std::stoi(code, nullptr, 16);
        caption.Feed({time++, key, word[0] == '_', false});
    }
    return caption.Text(time + lookAt);
}
} // namespace

TEST(KeyCaption, ReadsChordsNamedKeysAndTypedRuns)
{
    struct Row {
        const char* script;
        const char* all;
        const char* shortcuts;
    };
    const Row rows[] = {
        {"^11 ^10 ^S _S _10 _11", "Ctrl+Shift+S", "Ctrl+Shift+S"},
        {"^12 ^09 _09 _12", "Alt+Tab", "Alt+Tab"},
        {"^H _H ^E ^L ^L ^O", "hello", ""},
        {"^10 ^H _10 ^I ^0D", "Hi Enter", "Enter"},
        {"^A ^20 ^B ^0D ^C", "a b Enter c", "Enter"},
        {"^5B ^D _5B ^1B ^25 ^28", "Win+D Esc Left Down", "Win+D Esc Left Down"},
        {"^11 ^S _11 ^H ^I", "Ctrl+S hi", "Ctrl+S"},
        {"^76 ^11 ^77 _11 ^78", "", ""},   // the program's own keys, even with a modifier
        {"^11 _11 ^10 _10 ^12", "", ""},   // modifiers alone
        {"^2E ^74 ^08", "Delete F5 Backspace", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CaptionOf(row.script, false), row.all) << row.script;
        EXPECT_EQ(CaptionOf(row.script, true), row.shortcuts) << row.script;
    }
}

TEST(KeyCaption, FadesAfterTheLastKeyAndStartsAfreshAfterwards)
{
    CKeyCaption caption({false, {}});
    caption.Feed({1000, 'A', false, false});
    caption.Feed({1000, 'A', false, true}); // a held key's repeat adds nothing
    EXPECT_EQ(caption.Text(1000), "a");
    EXPECT_EQ(caption.Opacity(999), 255); // stamped after the frame: new, not ages old
    EXPECT_EQ(caption.Opacity(1000 + kCaptionShownMs), 255);
    const int fading = caption.Opacity(1000 + kCaptionShownMs + kCaptionFadeMs / 2);
    EXPECT_GT(fading, 0);
    EXPECT_LT(fading, 255);
    EXPECT_EQ(caption.Opacity(1000 + kCaptionShownMs + kCaptionFadeMs), 0);
    EXPECT_EQ(caption.Text(1000 + kCaptionShownMs + kCaptionFadeMs), "");
    caption.Feed({3000, 'B', false, false});
    EXPECT_EQ(caption.Text(3000), "b");
}

TEST(KeyCaption, KeepsTheNewestOfALongRun)
{
    CKeyCaption caption({false, {}});
    for (std::uint32_t i = 0; i < 100; ++i) {
        caption.Feed({i, static_cast<std::int32_t>('A' + i % 26), false, false});
    }
    const std::string text = caption.Text(100);
    ASSERT_EQ(text.size(), kCaptionLongest);
    EXPECT_EQ(text.back(), 'a' + 99 % 26);
}
