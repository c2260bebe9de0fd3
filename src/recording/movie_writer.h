#pragma once
// The temporary movie: one compressed video stream written frame by frame at time-line positions.
#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <memory>
#include <string>

#include "recording/frame_grab.h"
#include "recording/recording_journal.h"

// Switching to the default compressor changes the settings and outlives the recording.
void UseDefaultCompressor();
bool IsDefaultCompressor();

// Checks the chosen compressor against the probe frame and may bring width and height to a
// multiple of 2, 4 or 8 (replacing the probe) or fall back to the default compressor. False when
// a new probe frame could not be grabbed.
bool CheckCompressor(FramePtr& probe, int left, int top, int& width, int& height);

class CMovieWriter {
public:
    CMovieWriter() = default;
    CMovieWriter(const CMovieWriter&) = delete;
    CMovieWriter& operator=(const CMovieWriter&) = delete;
    ~CMovieWriter();

    // 0, or the result of the first movie library call that failed.
    HRESULT Open(const std::string& path, int rate, const BITMAPINFOHEADER* probe);
    // bytesWritten receives what the library says it wrote, 0 when it does not say.
    HRESULT Write(const BITMAPINFOHEADER* frame, std::uint32_t position, LONG* bytesWritten = nullptr);
    // The recording's sound file, for recovery after a crash.
    void NoteSoundFile(const std::string& path) { m_journal.AddSound(path); }

    // The end of a recording, in two steps so that audio can stop in between: the options first
    // (with the compressor state detached, which stays ours), then the file and streams.
    void ReleaseOptions();
    void ReleaseMovie();

private:
    void StartJournal(const std::string& path);

    bool m_libraryOpen = false;
    std::string m_path; // of the movie while it is open
    PAVIFILE m_file = nullptr;
    PAVISTREAM m_stream = nullptr;
    PAVISTREAM m_compressed = nullptr;
    AVICOMPRESSOPTIONS m_options{};
    bool m_optionsHeld = false;
    CRecordingJournal m_journal;
};
