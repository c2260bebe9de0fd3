#include "audio/audio_formats.h"
#include "options/audio_options_dialog.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "win/file_io.h"
#include "win/wine.h"
#include "dialog_driver.h"

#include <mmreg.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {
constexpr std::int32_t k22Stereo16 = WAVE_FORMAT_2S16;
constexpr std::int32_t k11Mono08 = WAVE_FORMAT_1M08;

// The stored compressed format: plain PCM of the recording format.
void StorePcmCompressedFormat()
{
    AppSettings& s = Settings();
    s.g_audioformat = GlobalBlock(sizeof(WAVEFORMATEX));
    LockedGlobal block(s.g_audioformat.handle());
    *block.as<WAVEFORMATEX>() = s.g_recordformat;
    s.cbwfx = sizeof(WAVEFORMATEX);
    s.bAudioCompression = 1;
}

WORD StoredCompressedTag()
{
    LockedGlobal block(Settings().g_audioformat.handle());
    return block.data() ? block.as<WAVEFORMATEX>()->wFormatTag : 0;
}

class AudioOptionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        AppSettings& s = Settings();
        s.recordaudio = 0;
        s.AudioDeviceID = -1;
        s.waveinselected = k22Stereo16;
        s.audio_bits_per_sample = 16;
        s.audio_num_channels = 2;
        s.audio_samples_per_seconds = 22050;
        s.interleaveFrames = 1;
        s.interleaveFactor = 100;
        s.interleaveUnit = kInterleaveMilliseconds;
        BuildRecordFormat();
        StorePcmCompressedFormat();
        AnsweredBoxes().clear();
    }

    static void Run(const std::function<void(HWND)>& script)
    {
        ASSERT_GT(waveInGetNumDevs(), 0u) << "the sound server's input devices";
        DriveModal("Audio Options", [] { CAudioOptionsDialog::Run(nullptr); }, script);
    }
};

constexpr int kRecordingControls[] = {IDC_AUDIO_DEVICES,     IDC_AUDIO_VOLUME,      IDC_AUDIO_FORMATS,
                                      IDC_COMPRESSED_NAME,   IDC_COMPRESSED_DETAIL, IDC_CHOOSE_COMPRESSED,
                                      IDC_INTERLEAVE,        IDC_INTERLEAVE_FACTOR, IDC_INTERLEAVE_FRAMES,
                                      IDC_INTERLEAVE_MILLISECONDS};
} // namespace

TEST_F(AudioOptionsTest, RecordAudioEnablesEveryControlFromDevicesToMilliseconds)
{
    Run([](HWND d) {
        EXPECT_FALSE(ItemChecked(d, IDC_RECORD_AUDIO));
        for (int id : kRecordingControls) {
            EXPECT_FALSE(ItemEnabled(d, id)) << id;
        }
        SendDlgItemMessageA(d, IDC_RECORD_AUDIO, BM_CLICK, 0, 0);
        for (int id : kRecordingControls) {
            EXPECT_TRUE(ItemEnabled(d, id)) << id;
        }
        SendDlgItemMessageA(d, IDC_INTERLEAVE, BM_CLICK, 0, 0);
        EXPECT_FALSE(ItemEnabled(d, IDC_INTERLEAVE_FACTOR));
        EXPECT_FALSE(ItemEnabled(d, IDC_INTERLEAVE_FRAMES));
        EXPECT_TRUE(ItemChecked(d, IDC_INTERLEAVE_MILLISECONDS));
        SendDlgItemMessageA(d, IDC_INTERLEAVE, BM_CLICK, 0, 0);
        ClickButton(d, IDC_INTERLEAVE_FRAMES);
        EXPECT_TRUE(ItemChecked(d, IDC_INTERLEAVE_FRAMES));
        EXPECT_FALSE(ItemChecked(d, IDC_INTERLEAVE_MILLISECONDS));
        // Mixed or apart is the computer's sound's choice; mixed unless chosen.
        EXPECT_FALSE(ItemEnabled(d, IDC_SOUND_TRACKS));
        SendDlgItemMessageA(d, IDC_COMPUTER_SOUND, BM_CLICK, 0, 0);
        EXPECT_TRUE(ItemChecked(d, IDC_SOUND_MIXED));
        ClickButton(d, IDC_SOUND_TRACKS);
        EXPECT_FALSE(ItemChecked(d, IDC_SOUND_MIXED));
        EXPECT_EQ(ItemText(d, IDC_AUDIO_DEVICES), "Default input device");
        EXPECT_EQ(ItemText(d, IDC_AUDIO_FORMATS), "22.05 kHz, stereo, 16-bit");
        EXPECT_EQ(ItemText(d, IDC_COMPRESSED_NAME), "PCM");
        TypeText(d, IDC_INTERLEAVE_FACTOR, "250000");
        ClickButton(d, IDOK);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.recordaudio, 1);
    EXPECT_EQ(s.interleaveFactor, 250000);
    EXPECT_EQ(s.interleaveUnit, kInterleaveFrames);
    EXPECT_EQ(s.computerSoundTracks, 1);
    EXPECT_EQ(StoredCompressedTag(), WAVE_FORMAT_PCM);
}

TEST_F(AudioOptionsTest, InterleaveFactorMustBeAboveZero)
{
    Run([](HWND d) {
        for (const char* refused : {"0", ""}) {
            TypeText(d, IDC_INTERLEAVE_FACTOR, refused);
            ClickButton(d, IDOK);
            ASSERT_TRUE(IsWindow(d)) << refused;
        }
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(AnsweredBoxes(), (std::vector<std::string>(2, "Note|Interleave factor must greater than 0")));
    EXPECT_EQ(Settings().interleaveFactor, 100);
}

TEST_F(AudioOptionsTest, VolumeSaysSoWhenThereIsNoRecordingVolumeControl)
{
    for (const char* mixer : {"/usr/bin/pavucontrol", "/usr/bin/pavucontrol-qt"}) {
        if (const auto path = DosPath(mixer); path && FileExists(*path)) {
            GTEST_SKIP() << "this desktop has a sound mixer: " << mixer;
        }
    }
    Run([](HWND d) {
        ClickButton(d, IDC_AUDIO_VOLUME);
        ClickButton(d, IDCANCEL);
    });
    EXPECT_EQ(AnsweredBoxes(),
              std::vector<std::string>{"Note|This system has no volume control for recording that Framelark can open."});
}

TEST_F(AudioOptionsTest, AnUnlistedStoredFormatGivesWayToTheFirstWithANewSuggestion)
{
    Settings().waveinselected = 0x100000; // no recording format has this bit
    Run([](HWND d) {
        EXPECT_EQ(ChosenEntry(d, IDC_AUDIO_FORMATS), 0);
        EXPECT_EQ(ItemText(d, IDC_AUDIO_FORMATS), "11.025 kHz, mono, 8-bit");
        EXPECT_NE(ItemText(d, IDC_COMPRESSED_NAME), "PCM"); // suggested anew: an ADPCM
        EXPECT_NE(ItemText(d, IDC_COMPRESSED_DETAIL).find("11025 Hz"), std::string::npos);
        ClickButton(d, IDOK);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.waveinselected, k11Mono08);
    EXPECT_EQ(s.audio_samples_per_seconds, 11025);
    EXPECT_EQ(s.audio_num_channels, 1);
    EXPECT_EQ(s.audio_bits_per_sample, 8);
    EXPECT_EQ(s.g_recordformat.nSamplesPerSec, 11025u);
    EXPECT_NE(StoredCompressedTag(), WAVE_FORMAT_PCM);
}

TEST_F(AudioOptionsTest, ADeviceChangeDiscardsTheCompressedChoice)
{
    Run([](HWND d) {
        EXPECT_EQ(ItemText(d, IDC_COMPRESSED_NAME), "PCM");
        ASSERT_GE(SendDlgItemMessageA(d, IDC_AUDIO_DEVICES, CB_GETCOUNT, 0, 0), 2);
        ChooseEntry(d, IDC_AUDIO_DEVICES, 1);
        EXPECT_NE(ItemText(d, IDC_COMPRESSED_NAME), "PCM");
        EXPECT_EQ(ItemText(d, IDC_AUDIO_FORMATS), "22.05 kHz, stereo, 16-bit"); // the stored format stays
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(Settings().AudioDeviceID, 0);
    EXPECT_NE(StoredCompressedTag(), WAVE_FORMAT_PCM);
}

TEST_F(AudioOptionsTest, TheFormatChooserOpensAndItsCancelChangesNothing)
{
    Run([](HWND d) {
        bool shown = false;
        // Wine's chooser keeps its own caption rather than the title it is given.
        AnswerWhenShown("Sound Selection", [&shown](HWND chooser) {
            shown = true;
            PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
        });
        ClickButton(d, IDC_CHOOSE_COMPRESSED);
        EXPECT_TRUE(shown);
        EXPECT_EQ(ItemText(d, IDC_COMPRESSED_NAME), "PCM");
        ClickButton(d, IDCANCEL);
    });
    EXPECT_TRUE(AnsweredBoxes().empty());
}

TEST_F(AudioOptionsTest, CancelAfterChangesStoresNothing)
{
    Run([](HWND d) {
        SendDlgItemMessageA(d, IDC_RECORD_AUDIO, BM_CLICK, 0, 0);
        ChooseEntry(d, IDC_AUDIO_DEVICES, 1);
        ChooseEntry(d, IDC_AUDIO_FORMATS, 0);
        ClickButton(d, IDC_INTERLEAVE_FRAMES);
        TypeText(d, IDC_INTERLEAVE_FACTOR, "7");
        ClickButton(d, IDCANCEL);
    });
    const AppSettings& s = Settings();
    EXPECT_EQ(s.recordaudio, 0);
    EXPECT_EQ(s.AudioDeviceID, -1);
    EXPECT_EQ(s.waveinselected, k22Stereo16);
    EXPECT_EQ(s.interleaveFactor, 100);
    EXPECT_EQ(s.interleaveUnit, kInterleaveMilliseconds);
    EXPECT_EQ(StoredCompressedTag(), WAVE_FORMAT_PCM);
}
