#include "settings/settings_files.h"

#include "resources/resource_ids.h"
#include "settings/rate_mapping.h"
#include "settings/settings_data.h"
#include "settings/settings_text.h"
#include "win/file_io.h"
#include "win/message_box.h"

#include <vfw.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// A longer CS.ini is not one this program wrote; its first part is read like any other.
constexpr std::uint64_t kLongestSettingsText = 1 << 20;

constexpr char kSaveFailed[] = "Error creating .ini config file. Load default settings next time.";
constexpr char kProgramTitle[] = "Framelark";
constexpr char kNoSaveLine[] = "savesettings = 0 \r\n";
constexpr char kPendingSuffix[] = ".new";

// A save writes both files under pending names first; CS.ini taking its new place commits it.
struct SettingsPaths {
    explicit SettingsPaths(const std::string& folder)
        : text(folder + "\\CS.ini"), data(folder + "\\Cdata.ini"), cursor(folder + "\\CCursor.ini"),
          noSave(folder + "\\NoSave.ini"), pendingText(text + kPendingSuffix), pendingData(data + kPendingSuffix),
          pendingCursor(cursor + kPendingSuffix)
    {
    }
    std::string text, data, cursor, noSave, pendingText, pendingData, pendingCursor;
};

void CloseCompressor(HIC compressor)
{
    ICClose(compressor);
}
using OwnedCompressor = Owned<HIC, CloseCompressor>;

std::string_view BlockBytes(const LockedGlobal& block, std::size_t length)
{
    return block.data() ? std::string_view(block.as<const char>(), length) : std::string_view();
}

// The bytes of a blob that a save writes: never more than its block holds.
std::size_t SavedLength(const GlobalBlock& block, std::int64_t length)
{
    return length > 0 ? static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(length), block.size()))
                      : 0;
}

// Later settings that both records hold alike, stored and applied through this one list.
constexpr std::pair<std::int32_t StoredSettings::*, std::int32_t AppSettings::*> kAlikeSettings[] = {
    {&StoredSettings::g_showclicks, &AppSettings::g_showclicks},
    {&StoredSettings::g_showkeys, &AppSettings::g_showkeys},
    {&StoredSettings::g_shortcutsonly, &AppSettings::g_shortcutsonly},
    {&StoredSettings::countdownSeconds, &AppSettings::countdownSeconds},
    {&StoredSettings::computerSound, &AppSettings::computerSound},
    {&StoredSettings::computerSoundDevice, &AppSettings::computerSoundDevice},
    {&StoredSettings::computerSoundTracks, &AppSettings::computerSoundTracks},
};

StoredSettings StoreSettings(const AppSettings& s, std::size_t audioFormatLength, std::size_t compressorStateLength)
{
    StoredSettings v;
    v.flashingRect = s.flashingRect;
    v.launchPlayer = s.launchPlayer;
    v.minimizeOnStart = s.minimizeOnStart;
    v.MouseCaptureMode = s.MouseCaptureMode == kCaptureWindow ? kCaptureNormal : s.MouseCaptureMode;
    v.windowCapture = s.MouseCaptureMode == kCaptureWindow ? 1 : 0;
    v.capturewidth = s.capturewidth;
    v.captureheight = s.captureheight;
    v.timelapse = s.timelapse;
    v.frames_per_second = s.frames_per_second;
    v.keyFramesEvery = s.keyFramesEvery;
    v.compquality = s.compquality;
    v.compfccHandler = s.compfccHandler;
    v.CompressorStateIsFor = s.CompressorStateIsFor;
    v.CompressorStateSize = static_cast<std::int32_t>(compressorStateLength);
    v.g_recordcursor = s.g_recordcursor;
    v.g_customsel = s.g_customsel;
    v.g_cursortype = s.g_cursortype;
    v.g_highlightcursor = s.g_highlightcursor;
    v.g_highlightsize = s.g_highlightsize;
    v.g_highlightshape = s.g_highlightshape;
    v.g_highlightcolorR = HighlightRed(s.g_highlightcolor);
    v.g_highlightcolorG = HighlightGreen(s.g_highlightcolor);
    v.g_highlightcolorB = HighlightBlue(s.g_highlightcolor);
    v.autopan = s.autopan;
    v.maxpan = s.maxpan;
    v.AudioDeviceID = s.AudioDeviceID;
    v.cbwfx = static_cast<std::int32_t>(audioFormatLength);
    v.recordaudio = s.recordaudio;
    v.waveinselected = s.waveinselected;
    v.audio_bits_per_sample = s.audio_bits_per_sample;
    v.audio_num_channels = s.audio_num_channels;
    v.audio_samples_per_seconds = s.audio_samples_per_seconds;
    v.bAudioCompression = s.bAudioCompression;
    v.interleaveFrames = s.interleaveFrames;
    v.interleaveFactor = s.interleaveFactor;
    v.keyRecordStart = s.keyRecordStart;
    v.keyRecordEnd = s.keyRecordEnd;
    v.keyRecordCancel = s.keyRecordCancel;
    v.g_autoadjust = s.g_autoadjust;
    v.g_valueadjust = s.g_valueadjust;
    v.savedir = static_cast<std::int32_t>(s.savedir.size());
    v.cursordir = static_cast<std::int32_t>(s.cursordir.size());
    v.threadPriority = s.threadPriority;
    v.captureleft = s.captureleft;
    v.capturetop = s.capturetop;
    v.fixedcapture = s.fixedcapture;
    v.interleaveUnit = s.interleaveUnit;
    v.saveFormat = s.saveFormat;
    v.ffmpegPath = static_cast<std::int32_t>(s.ffmpegPath.size());
    v.g_clickcolorR = HighlightRed(s.g_clickcolor);
    v.g_clickcolorG = HighlightGreen(s.g_clickcolor);
    v.g_clickcolorB = HighlightBlue(s.g_clickcolor);
    for (const auto& [stored, kept] : kAlikeSettings) {
        v.*stored = s.*kept;
    }
    return v;
}

// The directory texts are not settings of their own here: their lengths only locate Cdata.ini's blocks.
void ApplyStoredSettings(const StoredSettings& v, AppSettings& s)
{
    s.flashingRect = v.flashingRect;
    s.launchPlayer = v.launchPlayer;
    s.minimizeOnStart = v.minimizeOnStart;
    s.MouseCaptureMode = v.windowCapture != 0 ? kCaptureWindow : v.MouseCaptureMode;
    s.capturewidth = v.capturewidth;
    s.captureheight = v.captureheight;
    s.timelapse = v.timelapse;
    s.frames_per_second = v.frames_per_second;
    s.keyFramesEvery = v.keyFramesEvery;
    s.compquality = v.compquality;
    s.compfccHandler = v.compfccHandler;
    s.CompressorStateIsFor = v.CompressorStateIsFor;
    s.CompressorStateSize = v.CompressorStateSize;
    s.g_recordcursor = v.g_recordcursor;
    s.g_customsel = v.g_customsel;
    s.g_cursortype = v.g_cursortype;
    s.g_highlightcursor = v.g_highlightcursor;
    s.g_highlightsize = v.g_highlightsize;
    s.g_highlightshape = v.g_highlightshape;
    s.g_highlightcolor = PackHighlightColor(v.g_highlightcolorR, v.g_highlightcolorG, v.g_highlightcolorB);
    s.autopan = v.autopan;
    s.maxpan = v.maxpan;
    s.AudioDeviceID = v.AudioDeviceID;
    s.cbwfx = static_cast<std::uint32_t>(v.cbwfx);
    s.recordaudio = v.recordaudio;
    s.waveinselected = v.waveinselected;
    s.audio_bits_per_sample = v.audio_bits_per_sample;
    s.audio_num_channels = v.audio_num_channels;
    s.audio_samples_per_seconds = v.audio_samples_per_seconds;
    s.bAudioCompression = v.bAudioCompression;
    s.interleaveFrames = v.interleaveFrames;
    s.interleaveFactor = v.interleaveFactor;
    s.keyRecordStart = v.keyRecordStart;
    s.keyRecordEnd = v.keyRecordEnd;
    s.keyRecordCancel = v.keyRecordCancel;
    s.g_autoadjust = v.g_autoadjust;
    s.g_valueadjust = v.g_valueadjust;
    s.threadPriority = v.threadPriority;
    s.captureleft = v.captureleft;
    s.capturetop = v.capturetop;
    s.fixedcapture = v.fixedcapture;
    s.interleaveUnit = v.interleaveUnit;
    s.saveFormat = v.saveFormat;
    s.g_clickcolor = PackHighlightColor(v.g_clickcolorR, v.g_clickcolorG, v.g_clickcolorB);
    for (const auto& [stored, kept] : kAlikeSettings) {
        s.*kept = v.*stored;
    }
}

// A save writes Cdata.ini.new, then CS.ini.new, and commits by putting CS.ini.new in CS.ini's place.
// A pending Cdata.ini.new no older than CS.ini belongs to a committed save and takes its place; any
// other pending file is what a save left when it stopped. Returns the Cdata.ini to read.
std::string CompleteInterruptedSave(const SettingsPaths& paths)
{
    const std::optional<std::uint64_t> pendingData = LastWriteTime(paths.pendingData);
    const std::optional<std::uint64_t> text = LastWriteTime(paths.text);
    const bool committed = pendingData && text && !FileExists(paths.pendingText) && *text >= *pendingData;
    if (committed && !ReplaceWithFile(paths.pendingData, paths.data)) {
        return paths.pendingData;
    }
    if (!committed) {
        DeleteFileA(paths.pendingText.c_str());
        DeleteFileA(paths.pendingData.c_str());
    }
    return paths.data;
}

std::string CompressorDescription(std::int32_t handler)
{
    const OwnedCompressor compressor(ICOpen(ICTYPE_VIDEO, static_cast<DWORD>(handler), ICMODE_QUERY));
    ICINFO info{};
    info.dwSize = sizeof(info);
    if (!compressor || ICGetInfo(compressor.get(), &info, sizeof(info)) == 0) {
        return {};
    }
    char text[sizeof(info.szDescription)] = {};
    WideCharToMultiByte(CP_ACP, 0, info.szDescription, -1, text, sizeof(text), nullptr, nullptr);
    return text;
}

void LoadCursors(AppSettings& settings, const SettingsPaths& paths)
{
    if (settings.g_cursortype == kCursorBuiltIn) {
        settings.g_customsel = std::max(settings.g_customsel, 0);
        const int icon = kBuiltInCursors[BuiltInCursorIndex(settings.g_customsel)].iconResource;
        settings.g_cursorhandle.builtIn = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(icon));
        if (!settings.g_cursorhandle.builtIn) {
            settings.g_cursortype = kCursorActual;
        }
    } else if (settings.g_cursortype == kCursorFromFile) {
        settings.g_cursorhandle.fromFile = LoadCursorFromFileA(paths.cursor.c_str());
        if (!settings.g_cursorhandle.fromFile) {
            settings.g_cursortype = kCursorActual;
        }
    }
}

// Stored settings that depend on the audio device, the compressors and the cursor files.
void DeriveState(AppSettings& settings, const SettingsVersionRules& rules, IAudioFormatOperations& audio,
                 const SettingsPaths& paths)
{
    audio.CheckRecordingFormat();
    if (rules.predatesCompressorState) {
        settings.compfccHandler = FourCCAsSigned(kFourCCVideo1);
        settings.g_autoadjust = 1;
        settings.g_valueadjust = 1;
        settings.CompressorStateIsFor = 0;
        settings.CompressorStateSize = 0;
        settings.compquality = 7000;
        audio.ChooseRecordingFormatFromDevice();
        audio.SuggestCompressedFormat();
    }
    if (settings.g_autoadjust == 1) {
        const RateMapping rate = MapRate(settings.g_valueadjust);
        settings.timelapse = rate.intervalMs;
        settings.frames_per_second = rate.framesPerSecond;
        settings.keyFramesEvery = rate.framesPerSecond;
    }
    settings.g_compressorname = CompressorDescription(settings.compfccHandler);
    LoadCursors(settings, paths);
}

void ForgetAudioFormat(AppSettings& settings, IAudioFormatOperations& audio)
{
    settings.cbwfx = 0;
    settings.g_audioformat.reset();
    audio.SuggestCompressedFormat();
}

void LoadAudioFormat(AppSettings& settings, const CdataBlock& stored, IAudioFormatOperations& audio)
{
    const bool allocated = audio.AllocAudioFormatBuffer();
    const std::size_t room = std::min<std::size_t>(settings.cbwfx, settings.g_audioformat.size());
    if (!allocated || !stored.whole || stored.bytes.size() > room || !HoldsWholeWaveFormat(stored.bytes)) {
        ForgetAudioFormat(settings, audio);
        return;
    }
    {
        const LockedGlobal format(settings.g_audioformat.handle());
        if (!format.data()) {
            ForgetAudioFormat(settings, audio);
            return;
        }
        std::memset(format.data(), 0, room);
        std::memcpy(format.data(), stored.bytes.data(), stored.bytes.size());
    }
    audio.ValidateCompressedFormat();
}

void LoadCompressorState(AppSettings& settings, const CdataBlock& stored)
{
    settings.g_compressorstate.reset();
    if (!stored.whole) {
        settings.CompressorStateSize = 0;
        return;
    }
    GlobalBlock state(stored.bytes.size());
    if (!state.valid()) {
        ShowNote(settings.g_mainwindow,
                 LoadMessageText(ID_ERR_ALLOC_COMPRESS_PARAMETERS_FORMAT,
                                 "There is not enough memory for the video compressor's saved settings."),
                 MB_OK | MB_ICONWARNING);
        settings.CompressorStateSize = 0;
        return;
    }
    const LockedGlobal bytes(state.handle());
    if (bytes.data()) {
        std::memcpy(bytes.data(), stored.bytes.data(), stored.bytes.size());
    }
    settings.g_compressorstate = std::move(state);
}

void LoadData(AppSettings& settings, const std::string& dataPath, const StoredSettings& stored,
              const SettingsVersionRules& rules, IAudioFormatOperations& audio)
{
    const CdataLengths lengths{stored.savedir, stored.cursordir, static_cast<std::uint32_t>(stored.cbwfx),
                               stored.CompressorStateSize, stored.ffmpegPath};
    const std::optional<std::string> data = ReadFileStart(dataPath, CdataBytesNeeded(lengths, rules));
    if (!data) {
        ForgetAudioFormat(settings, audio);
        if (!settings.g_compressorstate.valid()) {
            settings.CompressorStateSize = 0;
        }
        return;
    }
    const CdataBlocks blocks = SplitCdata(*data, lengths, rules);
    if (blocks.savedir.whole) {
        settings.savedir = blocks.savedir.bytes;
    }
    if (blocks.cursordir.whole) {
        settings.cursordir = blocks.cursordir.bytes;
    }
    if (blocks.audioFormat.stored) {
        LoadAudioFormat(settings, blocks.audioFormat, audio);
    }
    if (blocks.compressorState.stored) {
        LoadCompressorState(settings, blocks.compressorState);
    }
    if (blocks.ffmpegPath.whole) {
        settings.ffmpegPath = blocks.ffmpegPath.bytes;
    }
}

// Everything of a save goes to pending names first, so the previous files stay until all is written;
// CS.ini.new last, so that it is never older than the Cdata.ini.new it goes with.
bool WritePendingFiles(const AppSettings& settings, const SettingsPaths& paths)
{
    const std::size_t audioFormatLength = SavedLength(settings.g_audioformat, settings.cbwfx);
    const std::size_t compressorStateLength =
        SavedLength(settings.g_compressorstate, settings.CompressorStateSize);
    const LockedGlobal audioFormat(audioFormatLength ? settings.g_audioformat.handle() : nullptr);
    const LockedGlobal compressorState(compressorStateLength ? settings.g_compressorstate.handle() : nullptr);
    const std::string_view audioBytes = BlockBytes(audioFormat, audioFormatLength);
    const std::string_view stateBytes = BlockBytes(compressorState, compressorStateLength);

    const StoredSettings stored = StoreSettings(settings, audioBytes.size(), stateBytes.size());
    return WriteDurableFile(paths.pendingData, FormatCdata(settings.savedir, settings.cursordir, audioBytes, stateBytes, settings.ffmpegPath)) &&
           WriteDurableFile(paths.pendingText, FormatSettingsText(stored, "\r\n"));
}

// CCursor.ini changes only when a new cursor file was chosen and copied whole.
void SaveCursorFile(const AppSettings& settings, const SettingsPaths& paths)
{
    if (settings.g_cursortype != kCursorFromFile || settings.g_cursorfile.empty()) {
        return;
    }
    if (!CopyFileA(settings.g_cursorfile.c_str(), paths.pendingCursor.c_str(), FALSE) ||
        !ReplaceWithFile(paths.pendingCursor, paths.cursor)) {
        DeleteFileA(paths.pendingCursor.c_str());
    }
}
} // namespace

void LoadSettings(AppSettings& settings, IAudioFormatOperations& audio, const std::string& folder)
{
    const SettingsPaths paths(folder);
    settings.savesettings = FileExists(paths.noSave) ? 0 : 1;
    const std::string dataPath = CompleteInterruptedSave(paths);

    const std::optional<std::string> text = ReadFileStart(paths.text, kLongestSettingsText);
    if (!text) {
        audio.ChooseRecordingFormatFromDevice();
        audio.SuggestCompressedFormat();
        return;
    }
    StoredSettings stored = StoreSettings(settings, settings.cbwfx, static_cast<std::size_t>(settings.CompressorStateSize));
    stored.savedir = 0;
    stored.cursordir = 0;
    stored.ffmpegPath = 0;
    const SettingsTextRead read = ReadSettingsText(*text, stored);
    ApplyStoredSettings(stored, settings);

    const SettingsVersionRules rules = RulesForVersion(read.version);
    if (rules.hasFirstLines) {
        DeriveState(settings, rules, audio, paths);
    }
    if (!rules.hasFixedCorner) {
        settings.interleaveUnit = kInterleaveMilliseconds;
        settings.interleaveFactor = 100;
    }
    LoadData(settings, dataPath, stored, rules, audio);
}

void SaveOrForgetSettings(const AppSettings& settings, const std::string& folder)
{
    const SettingsPaths paths(folder);
    if (settings.savesettings == 1) {
        SaveSettings(settings, folder);
        DeleteFileA(paths.noSave.c_str());
        return;
    }
    WriteDurableFile(paths.noSave, kNoSaveLine);
    for (const std::string* path : {&paths.text, &paths.pendingText, &paths.data, &paths.pendingData, &paths.cursor}) {
        DeleteFileA(path->c_str());
    }
}

bool SaveSettings(const AppSettings& settings, const std::string& folder)
{
    const SettingsPaths paths(folder);
    if (!WritePendingFiles(settings, paths) || !ReplaceWithFile(paths.pendingText, paths.text)) {
        DeleteFileA(paths.pendingText.c_str());
        DeleteFileA(paths.pendingData.c_str());
        MessageBoxA(settings.g_mainwindow, kSaveFailed, kProgramTitle, MB_OK);
        return false;
    }
    // Should this fail, the next start finishes it.
    ReplaceWithFile(paths.pendingData, paths.data);
    SaveCursorFile(settings, paths);
    return true;
}
