#include "settings/settings_files.h"

#include "settings_file_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

namespace {
constexpr std::size_t kAcmFormatSize = 50;

// Records the audio format choices; the block it allocates has the size the compression manager gives.
struct AudioLog : IAudioFormatOperations {
    explicit AudioLog(AppSettings& s) : settings(s) {}
    void ChooseRecordingFormatFromDevice() override { calls += "choose "; }
    void CheckRecordingFormat() override { calls += "check "; }
    void SuggestCompressedFormat() override
    {
        calls += "suggest ";
        Allocate();
    }
    void ValidateCompressedFormat() override { calls += "validate "; }
    bool AllocAudioFormatBuffer() override
    {
        calls += "alloc ";
        return Allocate();
    }
    bool Allocate()
    {
        if (!settings.g_audioformat.valid()) {
            settings.g_audioformat = GlobalBlock(kAcmFormatSize);
            settings.cbwfx = kAcmFormatSize;
        }
        return settings.g_audioformat.valid();
    }
    AppSettings& settings;
    std::string calls;
};

std::string BlockText(const GlobalBlock& block, std::size_t length)
{
    const LockedGlobal bytes(block.handle());
    return bytes.data() ? std::string(bytes.as<const char>(), length) : std::string();
}

GlobalBlock BlockOf(const std::string& bytes)
{
    GlobalBlock block(bytes.size());
    const LockedGlobal locked(block.handle());
    std::memcpy(locked.data(), bytes.data(), bytes.size());
    return block;
}

// An ADPCM-like format header with its 32 extra bytes: 50 bytes in all.
std::string AudioFormatBytes()
{
    std::string bytes(kAcmFormatSize, '\0');
    bytes[0] = 2;
    bytes[16] = 32;
    for (std::size_t i = 18; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i);
    }
    return bytes;
}

const std::string kCompressorState("\x01\x00\xFFstate", 8);
const std::string kFfmpegPath = "E:\\ff\\ffmpeg.exe";

// Every persisted setting in file order, with the directory texts as their lengths.
std::vector<std::int32_t> Values(const AppSettings& s)
{
    return {s.flashingRect, s.launchPlayer, s.minimizeOnStart, s.MouseCaptureMode, s.capturewidth, s.captureheight,
            s.timelapse, s.frames_per_second, s.keyFramesEvery, s.compquality, s.compfccHandler,
            s.CompressorStateIsFor, s.CompressorStateSize, s.g_recordcursor, s.g_customsel, s.g_cursortype,
            s.g_highlightcursor, s.g_highlightsize, s.g_highlightshape, HighlightRed(s.g_highlightcolor),
            HighlightGreen(s.g_highlightcolor), HighlightBlue(s.g_highlightcolor), s.autopan, s.maxpan,
            s.AudioDeviceID, static_cast<std::int32_t>(s.cbwfx), s.recordaudio, s.waveinselected,
            s.audio_bits_per_sample, s.audio_num_channels, s.audio_samples_per_seconds, s.bAudioCompression,
            s.interleaveFrames, s.interleaveFactor, s.keyRecordStart, s.keyRecordEnd, s.keyRecordCancel,
            s.g_autoadjust, s.g_valueadjust, static_cast<std::int32_t>(s.savedir.size()),
            static_cast<std::int32_t>(s.cursordir.size()), s.threadPriority, s.captureleft, s.capturetop,
            s.fixedcapture, s.interleaveUnit, s.saveFormat, static_cast<std::int32_t>(s.ffmpegPath.size()),
            s.g_showclicks, HighlightRed(s.g_clickcolor), HighlightGreen(s.g_clickcolor),
            HighlightBlue(s.g_clickcolor), s.g_showkeys, s.g_shortcutsonly, s.countdownSeconds,
            s.computerSound, s.computerSoundDevice, s.MouseCaptureMode == kCaptureWindow ? 1 : 0,
            s.computerSoundTracks};
}

// Every setting changed from its default, negative numbers included, both blobs and both texts.
void Change(AppSettings& s)
{
    s.flashingRect = 0;
    s.launchPlayer = 0;
    s.minimizeOnStart = 1;
    s.MouseCaptureMode = kCaptureFullScreen;
    s.capturewidth = -640;
    s.captureheight = 481;
    s.timelapse = 1000;
    s.frames_per_second = 20;
    s.keyFramesEvery = 7;
    s.compquality = 2500;
    s.compfccHandler = FourCCAsSigned(MakeFourCC('c', 'v', 'i', 'd'));
    s.CompressorStateIsFor = -1;
    s.CompressorStateSize = static_cast<std::int32_t>(kCompressorState.size());
    s.g_recordcursor = 0;
    s.g_customsel = 5;
    s.g_cursortype = kCursorActual;
    s.g_highlightcursor = 1;
    s.g_highlightsize = 128;
    s.g_highlightshape = kShapeRectangle;
    s.g_highlightcolor = PackHighlightColor(1, 2, 3);
    s.autopan = 1;
    s.maxpan = -20;
    s.AudioDeviceID = 3;
    s.cbwfx = kAcmFormatSize;
    s.recordaudio = 1;
    s.waveinselected = 2048;
    s.audio_bits_per_sample = 8;
    s.audio_num_channels = 1;
    s.audio_samples_per_seconds = 44100;
    s.bAudioCompression = 0;
    s.interleaveFrames = 0;
    s.interleaveFactor = -5;
    s.keyRecordStart = 'A';
    s.keyRecordEnd = 'B';
    s.keyRecordCancel = 'C';
    s.g_autoadjust = 0;
    s.g_valueadjust = 99;
    s.savedir = "D:\\Movies\\mine";
    s.cursordir = "C:\\cursors";
    s.threadPriority = -2;
    s.captureleft = -100;
    s.capturetop = -200;
    s.fixedcapture = 1;
    s.interleaveUnit = kInterleaveFrames;
    s.saveFormat = 3;
    s.ffmpegPath = kFfmpegPath;
    s.g_showclicks = 1;
    s.g_clickcolor = PackHighlightColor(7, 8, 9);
    s.g_showkeys = 1;
    s.g_shortcutsonly = 0;
    s.countdownSeconds = 3;
    s.computerSound = 1;
    s.computerSoundDevice = 2;
    s.computerSoundTracks = 1;
    s.g_audioformat = BlockOf(AudioFormatBytes());
    s.g_compressorstate = BlockOf(kCompressorState);
}

// Answers the save's message box from another thread and keeps its text.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer()
        : m_thread([this] {
              while (!m_stop) {
                  EnumWindows(&MessageBoxAnswerer::Visit, reinterpret_cast<LPARAM>(this));
                  Sleep(20);
              }
          })
    {
    }
    ~MessageBoxAnswerer() { Stop(); }
    std::string Text()
    {
        Stop();
        return m_text;
    }

private:
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

    static BOOL CALLBACK Visit(HWND window, LPARAM self)
    {
        auto* answerer = reinterpret_cast<MessageBoxAnswerer*>(self);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        char cls[16] = {};
        char caption[32] = {};
        GetClassNameA(window, cls, sizeof(cls));
        GetWindowTextA(window, caption, sizeof(caption));
        if (process == GetCurrentProcessId() && std::string(cls) == "#32770" && IsWindowVisible(window)) {
            char text[256] = {};
            GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
            answerer->m_text = std::string(caption) + ": " + text;
            PostMessageA(window, WM_COMMAND, IDOK, 0);
            return FALSE;
        }
        return TRUE;
    }

    std::atomic<bool> m_stop{false};
    std::string m_text;
    std::thread m_thread;
};

class SettingsFiles : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof(temp), temp);
        m_folder = std::string(temp) + "framelark_settings_" + std::to_string(GetCurrentProcessId()) + "_" +
                   testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(m_folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const std::string& name : Names()) {
            const std::string path = Path(name);
            if (!DeleteFileA(path.c_str())) {
                RemoveDirectoryA(path.c_str());
            }
        }
        RemoveDirectoryA(m_folder.c_str());
    }

    std::string Path(const std::string& name) const { return m_folder + "\\" + name; }

    std::optional<std::string> Read(const std::string& name) const
    {
        std::ifstream file(Path(name), std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::ostringstream bytes;
        bytes << file.rdbuf();
        return bytes.str();
    }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }

    // The files in the folder, sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found{};
        HANDLE search = FindFirstFileA(Path("*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return names;
        }
        do {
            if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") {
                names.push_back(found.cFileName);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string Load(AppSettings& settings) const
    {
        AudioLog audio(settings);
        LoadSettings(settings, audio, m_folder);
        return audio.calls;
    }

    std::string m_folder;
};

// CS.ini of the changed settings at a version, holding the lines that version has.
std::string ChangedText(const std::string& version, std::size_t lines)
{
    AppSettings changed;
    Change(changed);
    return ExpectedSettingsText(Values(changed), version, "\r\n", lines);
}
} // namespace

TEST_F(SettingsFiles, SavedFilesEqualTheTableByteForByte)
{
    AppSettings defaults;
    defaults.savedir = "C:\\prog";
    defaults.cursordir = "C:\\windows\\cursors";
    ASSERT_TRUE(SaveSettings(defaults, m_folder));
    std::vector<std::int32_t> expected = {1,   1,   0, 1,   320, 240, 5,   200, 200, 7000, 0,     0,   0,   1,   0,  0,
                                          0,   64,  0, 255, 255, 125, 0,   20,  -1,  0,    0,     128, 16,  2,   22050,
                                          1,   1,   100, 118, 119, 120, 1, 1,   7,   18,  0,   100,   100, 0,   0,
                                          0,   0,   0,   255, 200, 0,   0,   1,   0,
                                          0,   -1,  0,   0};
    EXPECT_EQ(Read("CS.ini"), ExpectedSettingsText(expected, "1.50", "\r\n"));
    EXPECT_EQ(Read("Cdata.ini"), "C:\\progC:\\windows\\cursors");

    AppSettings changed;
    Change(changed);
    ASSERT_TRUE(SaveSettings(changed, m_folder));
    expected = {0,   0,  1,  2,  -640, 481, 1000, 20,  7,    2500, 1684633187, -1, 8,  0, 5, 0,
                1,   128, 3, 1,  2,    3,   1,    -20, 3,    50,   1,          2048, 8, 1, 44100,
                0,   0,  -5, 65, 66,   67,  0,    99,  14,   10,   -2,         -100, -200, 1, 1,
                3,   16, 1,  7,  8,    9,   1,    0,   3,
                1,   2,  0,  1};
    EXPECT_EQ(Read("CS.ini"), ExpectedSettingsText(expected, "1.50", "\r\n"));
    EXPECT_EQ(Read("Cdata.ini"), "D:\\Movies\\mineC:\\cursors" + AudioFormatBytes() + kCompressorState + kFfmpegPath);
    EXPECT_EQ(Names(), (std::vector<std::string>{"CS.ini", "Cdata.ini"}));
}

TEST_F(SettingsFiles, EverySettingBlobAndTextComesBack)
{
    AppSettings saved;
    Change(saved);
    ASSERT_TRUE(SaveSettings(saved, m_folder));

    AppSettings loaded;
    EXPECT_EQ(Load(loaded), "check alloc validate ");
    EXPECT_EQ(Values(loaded), Values(saved));
    EXPECT_EQ(loaded.savedir, saved.savedir);
    EXPECT_EQ(loaded.cursordir, saved.cursordir);
    EXPECT_EQ(loaded.ffmpegPath, saved.ffmpegPath);
    EXPECT_EQ(BlockText(loaded.g_audioformat, kAcmFormatSize), AudioFormatBytes());
    EXPECT_EQ(BlockText(loaded.g_compressorstate, kCompressorState.size()), kCompressorState);
    EXPECT_EQ(loaded.savesettings, 1);
}

// The window mode leaves a region drawn with the mouse for programs that stop before its key, and
// a file without the key reads as the mode it names.
TEST_F(SettingsFiles, TheWindowModeHasAKeyOfItsOwn)
{
    AppSettings saved;
    saved.MouseCaptureMode = kCaptureWindow;
    ASSERT_TRUE(SaveSettings(saved, m_folder));
    const std::string text = Read("CS.ini").value_or("");
    EXPECT_NE(text.find("MouseCaptureMode= 1 \r\n"), std::string::npos);
    const std::size_t key = text.find("\r\nwindowCapture=1 \r\n");
    ASSERT_NE(key, std::string::npos);
    AppSettings loaded;
    Load(loaded);
    EXPECT_EQ(loaded.MouseCaptureMode, kCaptureWindow);

    Write("CS.ini", text.substr(0, key + 2));
    AppSettings older;
    Load(older);
    EXPECT_EQ(older.MouseCaptureMode, kCaptureNormal);
}

TEST_F(SettingsFiles, DerivedStateIsWorkedOutAgain)
{
    struct Case {
        const char* what;
        void (*edit)(AppSettings&);
        void (*check)(const AppSettings&);
    };
    const Case cases[] = {
        {"rate mapping", [](AppSettings& s) { s.g_autoadjust = 1; s.g_valueadjust = 57; },
         [](const AppSettings& s) {
             EXPECT_EQ(s.timelapse, 1000);
             EXPECT_EQ(s.frames_per_second, 20);
             EXPECT_EQ(s.keyFramesEvery, 20);
         }},
        {"no rate mapping", [](AppSettings& s) { s.g_autoadjust = 0; s.g_valueadjust = 57; s.timelapse = 33; },
         [](const AppSettings& s) { EXPECT_EQ(s.timelapse, 33); }},
        {"known compressor", [](AppSettings& s) { s.compfccHandler = FourCCAsSigned(kFourCCVideo1); },
         [](const AppSettings& s) { EXPECT_FALSE(s.g_compressorname.empty()); }},
        {"unknown compressor", [](AppSettings& s) { s.compfccHandler = FourCCAsSigned(MakeFourCC('Z', 'Z', 'Z', 'Z')); },
         [](const AppSettings& s) { EXPECT_EQ(s.g_compressorname, ""); }},
        {"built-in cursor", [](AppSettings& s) { s.g_cursortype = kCursorBuiltIn; s.g_customsel = -3; },
         [](const AppSettings& s) {
             EXPECT_EQ(s.g_cursortype, kCursorBuiltIn);
             EXPECT_EQ(s.g_customsel, 0);
             EXPECT_NE(s.g_cursorhandle.builtIn, nullptr);
         }},
        {"built-in cursor beyond the table", [](AppSettings& s) { s.g_cursortype = kCursorBuiltIn; s.g_customsel = 9; },
         [](const AppSettings& s) { EXPECT_NE(s.g_cursorhandle.builtIn, nullptr); }},
        {"cursor file missing", [](AppSettings& s) { s.g_cursortype = kCursorFromFile; },
         [](const AppSettings& s) { EXPECT_EQ(s.g_cursortype, kCursorActual); }},
    };
    for (const Case& c : cases) {
        AppSettings saved;
        c.edit(saved);
        ASSERT_TRUE(SaveSettings(saved, m_folder));
        // The colour is written as three components; a hand-edited one keeps its low 8 bits.
        std::string text = *Read("CS.ini");
        text.replace(text.find("g_highlightcolorR=255"), 21, "g_highlightcolorR=300");
        Write("CS.ini", text);
        AppSettings loaded;
        Load(loaded);
        EXPECT_EQ(loaded.g_highlightcolor, 0x007DFF2Cu) << c.what;
        SCOPED_TRACE(c.what);
        c.check(loaded);
    }
}

TEST_F(SettingsFiles, CursorFileComesFromCCursorIniAndStaysWhenNoNewOneIsChosen)
{
    AppSettings saved;
    saved.g_cursortype = kCursorFromFile;
    saved.g_cursorfile = CURSOR_FILE;
    ASSERT_TRUE(SaveSettings(saved, m_folder));
    const std::optional<std::string> cursor = Read("CCursor.ini");
    ASSERT_TRUE(cursor && !cursor->empty());

    AppSettings restored;
    Load(restored);
    EXPECT_EQ(restored.g_cursortype, kCursorFromFile);
    EXPECT_NE(restored.g_cursorhandle.fromFile, nullptr);
    EXPECT_EQ(restored.g_cursorfile, "");
    ASSERT_TRUE(SaveSettings(restored, m_folder));
    EXPECT_EQ(Read("CCursor.ini"), cursor);
}

TEST_F(SettingsFiles, OlderVersionsReadWhatTheyHold)
{
    struct Case {
        const char* version;
        std::size_t lines;
        const char* calls;
        std::int32_t threadPriority;
        std::int32_t compquality;
        std::int32_t interleaveFactor;
        bool blobsRead;
        bool exportRead; // the Save dialog's last type and the chosen ffmpeg.exe, written since
        std::int32_t computerSound; // a file from before this setting leaves it off
        std::int32_t computerSoundTracks; // likewise: mixed
    };
    const Case cases[] = {
        {"1.20", 41, "check choose suggest ", 0, 7000, 100, false, false, 0, 0},
        {"1.30", 42, "check choose suggest ", -2, 7000, 100, false, false, 0, 0},
        {"1.35", 42, "check alloc validate ", -2, 2500, 100, true, false, 0, 0},
        {"1.50", 46, "check alloc validate ", -2, 2500, -5, true, false, 0, 0},
        // Written before the clicks and keys were shown: those keep their defaults.
        {"1.50", 48, "check alloc validate ", -2, 2500, -5, true, true, 0, 0},
        {"1.50", 55, "check alloc validate ", -2, 2500, -5, true, true, 0, 0},
        {"1.50", 57, "check alloc validate ", -2, 2500, -5, true, true, 1, 0},
        {"1.50", 58, "check alloc validate ", -2, 2500, -5, true, true, 1, 0},
        {"1.50", 59, "check alloc validate ", -2, 2500, -5, true, true, 1, 1},
        {"1.00", 59, "", 0, 7000, 100, false, false, 0, 0},
    };
    AppSettings changed;
    Change(changed);
    const std::string data = "D:\\Movies\\mineC:\\cursors" + AudioFormatBytes() + kCompressorState + kFfmpegPath;
    for (const Case& c : cases) {
        Write("CS.ini", ChangedText(c.version, c.lines));
        Write("Cdata.ini", data);
        AppSettings loaded;
        EXPECT_EQ(Load(loaded), c.calls) << c.version;
        EXPECT_EQ(loaded.threadPriority, c.threadPriority) << c.version;
        EXPECT_EQ(loaded.compquality, c.compquality) << c.version;
        EXPECT_EQ(loaded.interleaveFactor, c.interleaveFactor) << c.version;
        EXPECT_EQ(loaded.saveFormat, c.exportRead ? 3 : 0) << c.version;
        EXPECT_EQ(loaded.ffmpegPath, c.exportRead ? kFfmpegPath : "") << c.version;
        const bool allLines = c.lines >= 55 && std::string(c.version) != "1.00";
        EXPECT_EQ(loaded.g_showkeys, allLines ? 1 : 0) << c.version << " " << c.lines;
        EXPECT_EQ(loaded.g_shortcutsonly, allLines ? 0 : 1) << c.version << " " << c.lines;
        EXPECT_EQ(loaded.computerSound, c.computerSound) << c.version << ", " << c.lines << " lines";
        EXPECT_EQ(loaded.computerSoundTracks, c.computerSoundTracks) << c.version << ", " << c.lines << " lines";
        EXPECT_EQ(loaded.savedir, std::string(c.version) == "1.00" ? AppSettings().savedir : changed.savedir)
            << c.version;
        EXPECT_EQ(loaded.g_compressorstate.valid(), c.blobsRead) << c.version;
        if (c.blobsRead) {
            EXPECT_EQ(BlockText(loaded.g_audioformat, kAcmFormatSize), AudioFormatBytes()) << c.version;
        }
    }
}

TEST_F(SettingsFiles, MissingOrDamagedFilesLeaveDefaults)
{
    struct Case {
        const char* what;
        std::optional<std::string> text;
        std::optional<std::string> data;
        const char* calls;
        std::int32_t compressorStateSize;
        std::string savedir;
    };
    const std::string whole = ChangedText("1.50", 59);
    const auto withLine = [&](const std::string& key, const std::string& line) {
        std::string text = whole;
        const std::size_t start = text.find("\n" + key) + 1;
        text.replace(start, text.find('\n', start) - start, line);
        return text;
    };
    const std::string data = "D:\\Movies\\mineC:\\cursors" + AudioFormatBytes() + kCompressorState;
    const std::string defaultDir = AppSettings().savedir;
    const Case cases[] = {
        {"no files", std::nullopt, std::nullopt, "choose suggest ", 0, defaultDir},
        {"no Cdata.ini", whole, std::nullopt, "check suggest ", 0, defaultDir},
        {"Cdata.ini cut inside the state", whole, data.substr(0, data.size() - 1), "check alloc validate ", 0,
         "D:\\Movies\\mine"},
        {"Cdata.ini cut inside the format", whole, data.substr(0, 40), "check alloc suggest ", 0, "D:\\Movies\\mine"},
        {"format larger than the block", withLine("cbwfx", "cbwfx= 51 "), data, "check alloc suggest ", 0,
         "D:\\Movies\\mine"},
        {"huge state", withLine("CompressorStateSize", "CompressorStateSize= 2147483647 "), data,
         "check alloc validate ", 0, "D:\\Movies\\mine"},
        {"negative state", withLine("CompressorStateSize", "CompressorStateSize= -8 "), data, "check alloc validate ",
         -8, "D:\\Movies\\mine"},
        {"long directory skipped", withLine("savedir", "savedir=1000 "),
         std::string(1000, 'x') + "C:\\cursors" + AudioFormatBytes() + kCompressorState, "check alloc validate ", 8,
         defaultDir},
        {"binary junk", std::string("\0\xFF\x01junk", 7), data, "", 0, defaultDir},
    };
    for (const Case& c : cases) {
        DeleteFileA(Path("CS.ini").c_str());
        DeleteFileA(Path("Cdata.ini").c_str());
        if (c.text) {
            Write("CS.ini", *c.text);
        }
        if (c.data) {
            Write("Cdata.ini", *c.data);
        }
        AppSettings loaded;
        EXPECT_EQ(Load(loaded), c.calls) << c.what;
        EXPECT_EQ(loaded.CompressorStateSize, c.compressorStateSize) << c.what;
        EXPECT_EQ(loaded.g_compressorstate.valid(), c.compressorStateSize > 0) << c.what;
        EXPECT_EQ(loaded.savedir, c.savedir) << c.what;
    }
}

TEST_F(SettingsFiles, SaveSettingsOffLeavesOnlyTheMarker)
{
    AppSettings settings;
    Change(settings);
    settings.g_cursortype = kCursorFromFile;
    settings.g_cursorfile = CURSOR_FILE;
    SaveOrForgetSettings(settings, m_folder);
    EXPECT_EQ(Names(), (std::vector<std::string>{"CCursor.ini", "CS.ini", "Cdata.ini"}));

    settings.savesettings = 0;
    SaveOrForgetSettings(settings, m_folder);
    EXPECT_EQ(Names(), (std::vector<std::string>{"NoSave.ini"}));
    EXPECT_EQ(Read("NoSave.ini"), "savesettings = 0 \r\n");

    AppSettings next;
    EXPECT_EQ(Load(next), "choose suggest ");
    EXPECT_EQ(next.savesettings, 0);
    std::vector<std::int32_t> defaults = Values(AppSettings());
    defaults[25] = kAcmFormatSize; // cbwfx, from the suggestion
    EXPECT_EQ(Values(next), defaults);

    next.savesettings = 1;
    SaveOrForgetSettings(next, m_folder);
    EXPECT_EQ(Names(), (std::vector<std::string>{"CS.ini", "Cdata.ini"}));
}

TEST_F(SettingsFiles, ASaveThatFailsHalfWayKeepsThePreviousFiles)
{
    AppSettings previous;
    ASSERT_TRUE(SaveSettings(previous, m_folder));
    const std::optional<std::string> text = Read("CS.ini");
    const std::optional<std::string> data = Read("Cdata.ini");

    // CS.ini's new bytes cannot be written once Cdata.ini's are.
    CreateDirectoryA(Path("CS.ini.new").c_str(), nullptr);
    AppSettings changed;
    Change(changed);
    MessageBoxAnswerer answerer;
    EXPECT_FALSE(SaveSettings(changed, m_folder));
    EXPECT_EQ(answerer.Text(), "Framelark: Error creating .ini config file. Load default settings next time.");
    EXPECT_EQ(Read("CS.ini"), text);
    EXPECT_EQ(Read("Cdata.ini"), data);
    EXPECT_FALSE(Read("Cdata.ini.new"));
    RemoveDirectoryA(Path("CS.ini.new").c_str());

    AppSettings loaded;
    Load(loaded);
    EXPECT_EQ(Values(loaded), Values(previous));
}

TEST_F(SettingsFiles, AStartAfterAnInterruptedSaveReadsOneWholePair)
{
    AppSettings previous;
    ASSERT_TRUE(SaveSettings(previous, m_folder));
    const std::string oldText = *Read("CS.ini");
    const std::string oldData = *Read("Cdata.ini");
    AppSettings changed;
    Change(changed);
    ASSERT_TRUE(SaveSettings(changed, m_folder));
    const std::string newText = *Read("CS.ini");
    const std::string newData = *Read("Cdata.ini");

    // Each state's files in the order they were written.
    struct Case {
        const char* stoppedAfter;
        std::vector<std::pair<std::string, std::string>> files;
        bool readsNew;
    };
    const Case cases[] = {
        {"part of Cdata.ini.new", {{"CS.ini", oldText}, {"Cdata.ini", oldData}, {"Cdata.ini.new", newData.substr(0, 9)}},
         false},
        {"Cdata.ini.new", {{"CS.ini", oldText}, {"Cdata.ini", oldData}, {"Cdata.ini.new", newData}}, false},
        {"part of CS.ini.new",
         {{"CS.ini", oldText}, {"Cdata.ini", oldData}, {"Cdata.ini.new", newData}, {"CS.ini.new", newText.substr(0, 99)}},
         false},
        {"both written", {{"CS.ini", oldText}, {"Cdata.ini", oldData}, {"Cdata.ini.new", newData}, {"CS.ini.new", newText}},
         false},
        {"CS.ini replaced", {{"Cdata.ini", oldData}, {"Cdata.ini.new", newData}, {"CS.ini", newText}}, true},
        {"both replaced", {{"Cdata.ini", newData}, {"CS.ini", newText}}, true},
    };
    for (const Case& c : cases) {
        for (const std::string& name : Names()) {
            DeleteFileA(Path(name).c_str());
        }
        std::uint64_t written = 0x01DC000000000000ull;
        for (const auto& [name, bytes] : c.files) {
            Write(name, bytes);
            written += 10'000'000; // a second later
            const FILETIME time{static_cast<DWORD>(written), static_cast<DWORD>(written >> 32)};
            KernelHandle file = OwnFile(CreateFileA(Path(name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &time));
        }
        AppSettings loaded;
        Load(loaded);
        const AppSettings& expected = c.readsNew ? changed : previous;
        EXPECT_EQ(Values(loaded), Values(expected)) << c.stoppedAfter;
        EXPECT_EQ(loaded.savedir, expected.savedir) << c.stoppedAfter;
        EXPECT_EQ(loaded.g_compressorstate.valid(), c.readsNew) << c.stoppedAfter;
        EXPECT_EQ(Names(), (std::vector<std::string>{"CS.ini", "Cdata.ini"})) << c.stoppedAfter;
    }
}
