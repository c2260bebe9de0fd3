#include "settings/app_settings.h"

#include "win/directories.h"

#include <gtest/gtest.h>

TEST(AppSettingsDefaults, PersistedSettingsInFileOrder)
{
    const AppSettings s;
    const std::int32_t expected[] = {1,   1,    0,   1,    320, 240,  5,    200,  200, 7000, 0, 0,
                                     0,   1,    0,   0,    0,   64,   0,    255,  255, 125,  0, 20,
                                     -1,  0,    0,   128,  16,  2,    22050, 1,   1,   100,  118, 119,
                                     120, 1,    1,   0,    100, 100,  0,    0,
                                     0,   255,  200, 0,    0,   1,   0};
    const std::int32_t actual[] = {s.flashingRect,
                                   s.launchPlayer,
                                   s.minimizeOnStart,
                                   s.MouseCaptureMode,
                                   s.capturewidth,
                                   s.captureheight,
                                   s.timelapse,
                                   s.frames_per_second,
                                   s.keyFramesEvery,
                                   s.compquality,
                                   s.compfccHandler,
                                   s.CompressorStateIsFor,
                                   s.CompressorStateSize,
                                   s.g_recordcursor,
                                   s.g_customsel,
                                   s.g_cursortype,
                                   s.g_highlightcursor,
                                   s.g_highlightsize,
                                   s.g_highlightshape,
                                   HighlightRed(s.g_highlightcolor),
                                   HighlightGreen(s.g_highlightcolor),
                                   HighlightBlue(s.g_highlightcolor),
                                   s.autopan,
                                   s.maxpan,
                                   s.AudioDeviceID,
                                   static_cast<std::int32_t>(s.cbwfx),
                                   s.recordaudio,
                                   s.waveinselected,
                                   s.audio_bits_per_sample,
                                   s.audio_num_channels,
                                   s.audio_samples_per_seconds,
                                   s.bAudioCompression,
                                   s.interleaveFrames,
                                   s.interleaveFactor,
                                   s.keyRecordStart,
                                   s.keyRecordEnd,
                                   s.keyRecordCancel,
                                   s.g_autoadjust,
                                   s.g_valueadjust,
                                   s.threadPriority,
                                   s.captureleft,
                                   s.capturetop,
                                   s.fixedcapture,
                                   s.interleaveUnit,
                                   s.g_showclicks,
                                   HighlightRed(s.g_clickcolor),
                                   HighlightGreen(s.g_clickcolor),
                                   HighlightBlue(s.g_clickcolor),
                                   s.g_showkeys,
                                   s.g_shortcutsonly,
                                   s.countdownSeconds};
    ASSERT_EQ(std::size(expected), std::size(actual));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "setting #" << i;
    }
    EXPECT_EQ(s.g_highlightcolor, 0x007DFFFFu);
    EXPECT_EQ(s.savesettings, 1);
    EXPECT_EQ(s.savedir, GetProgramDirectory());
    EXPECT_EQ(s.cursordir, GetWindowsDirectoryPath() + "\\cursors");
    EXPECT_FALSE(s.g_audioformat.valid());
    EXPECT_FALSE(s.g_compressorstate.valid());
}

TEST(AppSettingsDefaults, RunTimeState)
{
    const AppSettings s;
    EXPECT_EQ(s.g_isrecording, 0);
    EXPECT_EQ(s.g_paused, 0);
    EXPECT_EQ(s.g_capturebits, 24);
    EXPECT_EQ(s.g_hookcursor.load(), nullptr);
    EXPECT_EQ(s.g_compressorname, "MS Video 1");
    EXPECT_EQ(s.g_mainwindow.load(), nullptr);
}

TEST(HighlightColor, ComponentsKeepTheirLowEightBits)
{
    EXPECT_EQ(PackHighlightColor(255, 255, 125), 0x007DFFFFu);
    EXPECT_EQ(PackHighlightColor(256 + 1, 511, 0x1234), 0x0034FF01u);
    EXPECT_EQ(PackHighlightColor(-1, 0, 0), 0x000000FFu);
}

TEST(BuiltInCursors, TableOrderAndOutOfRangeSelection)
{
    ASSERT_EQ(kBuiltInCursors.size(), 6u);
    EXPECT_STREQ(kBuiltInCursors[0].name, "Hand 1");
    EXPECT_EQ(kBuiltInCursors[2].iconResource, 181);
    EXPECT_EQ(kBuiltInCursors[5].iconResource, 180);
    EXPECT_EQ(BuiltInCursorIndex(5), 5u);
    EXPECT_EQ(BuiltInCursorIndex(6), 0u);
    EXPECT_EQ(BuiltInCursorIndex(-3), 0u);
}
