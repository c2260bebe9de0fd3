#pragma once
// CS.ini as the format's table gives it, transcribed by hand so that the writer is checked against
// the table rather than against itself.
#include <cstdint>
#include <string>
#include <vector>

inline const char* const kSettingsLineStarts[59] = {
    "flashingRect=",       "launchPlayer=",       "minimizeOnStart=",       "MouseCaptureMode= ",
    "capturewidth=",       "captureheight=",      "timelapse=",             "frames_per_second= ",
    "keyFramesEvery= ",    "compquality= ",       "compfccHandler= ",       "CompressorStateIsFor= ",
    "CompressorStateSize= ", "g_recordcursor=",   "g_customsel=",           "g_cursortype=",
    "g_highlightcursor=",  "g_highlightsize=",    "g_highlightshape=",      "g_highlightcolorR=",
    "g_highlightcolorG=",  "g_highlightcolorB=",  "autopan=",               "maxpan= ",
    "AudioDeviceID= ",     "cbwfx= ",             "recordaudio= ",          "waveinselected= ",
    "audio_bits_per_sample= ", "audio_num_channels= ", "audio_samples_per_seconds= ", "bAudioCompression= ",
    "interleaveFrames= ",  "interleaveFactor= ",  "keyRecordStart= ",       "keyRecordEnd= ",
    "keyRecordCancel= ",   "g_autoadjust= ",      "g_valueadjust= ",        "savedir=",
    "cursordir=",          "threadPriority=",     "captureleft= ",          "capturetop= ",
    "fixedcapture=",       "interleaveUnit= ",    "saveFormat= ",           "ffmpegPath=",
    "g_showclicks=",       "g_clickcolorR=",      "g_clickcolorG=",         "g_clickcolorB=",
    "g_showkeys=",         "g_shortcutsonly=",    "countdownSeconds=",
    "computerSound= ",     "computerSoundDevice= ", "windowCapture=",         "computerSoundTracks= ",
};

// The header with the version text, then the first `lines` settings, each line ending in a blank.
inline std::string ExpectedSettingsText(const std::vector<std::int32_t>& values, const std::string& version = "1.50",
                                        const std::string& end = "\n", std::size_t lines = 59)
{
    std::string text = "[Framelark Settings ver" + version + " -- Please do not edit ] " + end + end;
    for (std::size_t i = 0; i < lines; ++i) {
        text += kSettingsLineStarts[i] + std::to_string(values[i]) + " " + end;
    }
    return text;
}
