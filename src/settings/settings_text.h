#pragma once
// CS.ini: a header with the format version, then one "key=value" line per setting in a fixed order.
// Reading follows the writer's patterns the way a formatted scan does: a blank in a pattern matches
// any run of white space (or none), and the first line that does not match ends the reading, so it
// and every later setting keep the values they had.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The 59 values of CS.ini, in file order and named by their keys. savedir, cursordir and ffmpegPath
// hold the lengths of the texts that Cdata.ini stores. The last thirteen came later: a file without
// them reads as before, and older programs stop reading before them.
struct StoredSettings {
    std::int32_t flashingRect = 0;
    std::int32_t launchPlayer = 0;
    std::int32_t minimizeOnStart = 0;
    std::int32_t MouseCaptureMode = 0;
    std::int32_t capturewidth = 0;
    std::int32_t captureheight = 0;
    std::int32_t timelapse = 0;
    std::int32_t frames_per_second = 0;
    std::int32_t keyFramesEvery = 0;
    std::int32_t compquality = 0;
    std::int32_t compfccHandler = 0;
    std::int32_t CompressorStateIsFor = 0;
    std::int32_t CompressorStateSize = 0;
    std::int32_t g_recordcursor = 0;
    std::int32_t g_customsel = 0;
    std::int32_t g_cursortype = 0;
    std::int32_t g_highlightcursor = 0;
    std::int32_t g_highlightsize = 0;
    std::int32_t g_highlightshape = 0;
    std::int32_t g_highlightcolorR = 0;
    std::int32_t g_highlightcolorG = 0;
    std::int32_t g_highlightcolorB = 0;
    std::int32_t autopan = 0;
    std::int32_t maxpan = 0;
    std::int32_t AudioDeviceID = 0;
    std::int32_t cbwfx = 0;
    std::int32_t recordaudio = 0;
    std::int32_t waveinselected = 0;
    std::int32_t audio_bits_per_sample = 0;
    std::int32_t audio_num_channels = 0;
    std::int32_t audio_samples_per_seconds = 0;
    std::int32_t bAudioCompression = 0;
    std::int32_t interleaveFrames = 0;
    std::int32_t interleaveFactor = 0;
    std::int32_t keyRecordStart = 0;
    std::int32_t keyRecordEnd = 0;
    std::int32_t keyRecordCancel = 0;
    std::int32_t g_autoadjust = 0;
    std::int32_t g_valueadjust = 0;
    std::int32_t savedir = 0;
    std::int32_t cursordir = 0;
    std::int32_t threadPriority = 0;
    std::int32_t captureleft = 0;
    std::int32_t capturetop = 0;
    std::int32_t fixedcapture = 0;
    std::int32_t interleaveUnit = 0;
    std::int32_t saveFormat = 0;
    std::int32_t ffmpegPath = 0;
    std::int32_t g_showclicks = 0;
    std::int32_t g_clickcolorR = 0;
    std::int32_t g_clickcolorG = 0;
    std::int32_t g_clickcolorB = 0;
    std::int32_t g_showkeys = 0;
    std::int32_t g_shortcutsonly = 0;
    std::int32_t countdownSeconds = 0;
    std::int32_t computerSound = 0;
    std::int32_t computerSoundDevice = 0;
    std::int32_t windowCapture = 0;
    std::int32_t computerSoundTracks = 0;

    bool operator==(const StoredSettings&) const = default;
};

struct SettingsLine {
    std::string_view pattern; // "%d" marks the value
    std::int32_t StoredSettings::*value;
};
extern const std::array<SettingsLine, 59> kSettingsLines;

// The version this program writes.
inline constexpr float kSettingsVersion = 1.5f;

// What a file of a given version holds. The version is kept as a single-precision number, as it
// always was, so 1.35 counts as above 1.35.
struct SettingsVersionRules {
    bool hasFirstLines;          // lines 1 to 41
    bool hasThreadPriority;      // line 42
    bool hasFixedCorner;         // lines 43 to 46 (and any later); without them the interleave period is 100 ms
    bool predatesCompressorState; // compressor and rate settings are reset, formats chosen anew
    bool hasDirectoryTexts;      // in Cdata.ini
    bool hasBlobs;               // audio format and compressor state in Cdata.ini
};
SettingsVersionRules RulesForVersion(float version);

// The whole file; lineEnd is "\r\n" where text files end their lines so.
std::string FormatSettingsText(const StoredSettings& values, std::string_view lineEnd);

struct SettingsTextRead {
    float version = 1.0f; // 1.0 when the header does not match
    std::size_t linesRead = 0;
};
// Reads as many lines as the version holds into values; what is not read keeps its value.
SettingsTextRead ReadSettingsText(std::string_view text, StoredSettings& values);
