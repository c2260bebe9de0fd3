#pragma once
// The one process-wide record of every setting, named by its settings-file key, and the run-time
// state that several parts of the program share. Values that the recording thread reads while the
// main thread may write them are atomics; the rest are stable while a recording runs, because the
// option dialogs do not open then.
#include <windows.h>
#include <mmsystem.h>

#include "common/fourcc.h"
#include "common/monitor_layout.h"
#include "common/screen_rect.h"
#include "win/global_block.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

// CS.ini keeps the window mode in a key of its own, windowCapture, and MouseCaptureMode 1 beside it,
// so that older programs read a region drawn with the mouse.
enum CaptureMode : std::int32_t { kCaptureFixed = 0, kCaptureNormal = 1, kCaptureFullScreen = 2, kCaptureWindow = 3 };
enum CursorType : std::int32_t { kCursorActual = 0, kCursorBuiltIn = 1, kCursorFromFile = 2 };
enum HighlightShape : std::int32_t { kShapeCircle = 0, kShapeEllipse = 1, kShapeSquare = 2, kShapeRectangle = 3 };
enum InterleaveUnit : std::int32_t { kInterleaveMilliseconds = 0, kInterleaveFrames = 1 };

struct BuiltInCursor {
    const char* name;
    int iconResource;
};
extern const std::array<BuiltInCursor, 6> kBuiltInCursors;

// Highlight colour: red in the lowest byte; each component keeps only its low 8 bits.
std::uint32_t PackHighlightColor(std::int32_t red, std::int32_t green, std::int32_t blue);
std::int32_t HighlightRed(std::uint32_t color);
std::int32_t HighlightGreen(std::uint32_t color);
std::int32_t HighlightBlue(std::uint32_t color);

struct CursorHandles {
    HCURSOR builtIn = nullptr;  // g_cursortype 1
    HCURSOR fromFile = nullptr; // g_cursortype 2
};

struct AppSettings {
    AppSettings();

    // Persisted in CS.ini, in this order.
    std::atomic<std::int32_t> flashingRect{1}; // toggled by a menu command while recording
    std::int32_t launchPlayer = 1;
    std::int32_t minimizeOnStart = 0;
    std::int32_t MouseCaptureMode = kCaptureNormal;
    std::int32_t capturewidth = 320;
    std::int32_t captureheight = 240;
    std::int32_t timelapse = 5;
    std::int32_t frames_per_second = 200;
    std::int32_t keyFramesEvery = 200;
    std::int32_t compquality = 7000;
    std::atomic<std::int32_t> compfccHandler{0}; // the recording thread may fall back to "MSVC"
    std::int32_t CompressorStateIsFor = 0;
    std::int32_t CompressorStateSize = 0;
    std::int32_t g_recordcursor = 1;
    std::int32_t g_customsel = 0;
    std::int32_t g_cursortype = kCursorActual;
    std::int32_t g_highlightcursor = 0;
    std::int32_t g_highlightsize = 64;
    std::int32_t g_highlightshape = kShapeCircle;
    std::uint32_t g_highlightcolor = 0x007DFFFF; // keys g_highlightcolorR, G, B
    std::int32_t autopan = 0;
    std::int32_t maxpan = 20;
    std::int32_t AudioDeviceID = -1;
    std::uint32_t cbwfx = 0;
    std::int32_t recordaudio = 0;
    std::int32_t waveinselected = 128;
    std::int32_t audio_bits_per_sample = 16;
    std::int32_t audio_num_channels = 2;
    std::int32_t audio_samples_per_seconds = 22050;
    std::int32_t bAudioCompression = 1;
    std::int32_t interleaveFrames = 1;
    std::int32_t interleaveFactor = 100;
    std::int32_t keyRecordStart = VK_F7;
    std::int32_t keyRecordEnd = VK_F8;
    std::int32_t keyRecordCancel = VK_F9;
    std::int32_t g_autoadjust = 1;
    std::int32_t g_valueadjust = 1;
    std::string savedir;   // CS.ini holds its length, Cdata.ini the text
    std::string cursordir; // likewise
    std::int32_t threadPriority = 0;
    std::int32_t captureleft = 100;
    std::int32_t capturetop = 100;
    std::int32_t fixedcapture = 0;
    std::int32_t interleaveUnit = kInterleaveMilliseconds;
    std::int32_t saveFormat = 0; // the Save dialog's last file type (MovieFormat)
    std::string ffmpegPath;      // chosen in General Options; CS.ini holds its length, Cdata.ini the text
    // Clicks and keys drawn into the frames.
    std::int32_t g_showclicks = 0;
    std::uint32_t g_clickcolor = 0x0000C8FF; // left clicks; keys g_clickcolorR, G, B
    std::int32_t g_showkeys = 0;
    std::int32_t g_shortcutsonly = 1; // typed text never shows
    std::int32_t countdownSeconds = 0; // before a recording starts; 0: none
    std::int32_t computerSound = 0; // the computer's own sound recorded beside the microphone
    std::int32_t computerSoundDevice = -1; // the wave input that monitors the output; -1: found by name
    // windowCapture: MouseCaptureMode is kCaptureWindow.
    std::int32_t computerSoundTracks = 0; // 0: mixed into the microphone's track; 1: a track of its own

    // Expressed by the absence of the NoSave.ini marker.
    std::int32_t savesettings = 1;

    // Blobs of Cdata.ini: the compressed audio format (cbwfx bytes) and the video compressor's
    // opaque state (CompressorStateSize bytes).
    GlobalBlock g_audioformat;
    GlobalBlock g_compressorstate;

    // Run-time state.
    std::atomic<std::int32_t> g_isrecording{0};
    std::atomic<std::int32_t> g_paused{0};
    std::int32_t g_screenwidth = 0; // the primary monitor's
    std::int32_t g_screenheight = 0;
    MonitorLayout g_monitors; // main thread only
    ScreenRect g_panarea;     // the monitor the running recording started on
    std::atomic<std::int32_t> g_regiongone{0}; // a display change took away part of the recorded region
    ScreenRect g_capturerect;
    // The window a recording in the window mode follows, chosen on the region window.
    std::atomic<HWND> g_capturewindow{nullptr};
    // How long the followed window was minimised or hidden, by the recording thread.
    std::atomic<std::uint32_t> g_windowheldms{0};
    std::string g_compressorname = "MS Video 1";
    std::string g_cursorfile;
    CursorHandles g_cursorhandle;
    WAVEFORMATEX g_recordformat{};
    // Written by the main window only; other threads post to it.
    std::atomic<HWND> g_mainwindow{nullptr};

    ScreenRect g_fixedrect;
    std::string g_tempmoviepath;
    std::atomic<HCURSOR> g_hookcursor{nullptr};
    std::string g_tempwavfile;
    std::string g_tempcomputerwavfile; // the computer's sound on its own track; empty when mixed
    std::int32_t g_capturebits = 24;
    std::string g_mergepath;
};

// The one instance, for the whole run.
AppSettings& Settings();

// Whether a recording has a sound file: from the microphone, the computer, or both.
bool RecordsSound(const AppSettings& settings);

// Whether the recorded region may move from frame to frame: autopan, or a followed window.
bool RegionMoves(const AppSettings& settings);

// g_screenwidth, g_screenheight and g_monitors from the display as it is now.
void ReadScreenSize(AppSettings& settings);

// Index into kBuiltInCursors for g_customsel: a value beyond the table counts as 0.
std::size_t BuiltInCursorIndex(std::int32_t customsel);
