#pragma once
// The temporary movie: one compressed video stream written frame by frame at time-line positions.
// The chosen compressor works through the movie library's compressed stream; the file is the
// program's own (odml_writer.h), of any length, with a slot left empty where no frame was written.
#include <windows.h>
#include <vfw.h>

#include <cstdint>
#include <memory>
#include <string>

#include "audio/avi_handles.h"
#include "audio/movie_file.h"
#include "audio/odml_writer.h"
#include "recording/frame_grab.h"
#include "recording/frame_stream.h"
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

    // 0, or the result of the first call that failed.
    HRESULT Open(const std::string& path, int rate, const BITMAPINFOHEADER* probe);
    // bytesWritten receives the compressed frame's size. A movie that can take no more (a full disk,
    // the file system's largest file, a full index) fails the write with the system's error and
    // keeps every frame before it.
    HRESULT Write(const BITMAPINFOHEADER* frame, std::uint32_t position, LONG* bytesWritten = nullptr);
    // Of the movie's file as it is once written.
    std::uint64_t Bytes() const { return m_writer ? m_writer->Bytes() : 0; }
    // The recording's sound file, for recovery after a crash.
    void NoteSoundFile(const std::string& path) { m_journal.AddSound(path); }

    // The end of a recording, in two steps so that audio can stop in between: the options first
    // (with the compressor state detached, which stays ours), then the file and streams.
    void ReleaseOptions();
    void ReleaseMovie();

private:
    struct StreamRelease {
        void operator()(CFrameStream* stream) const { stream->Release(); }
    };

    // What the compressed stream hands on.
    HRESULT StartMovie(const void* format, LONG size);
    HRESULT WriteFrame(LONG position, const void* data, LONG size, bool key);
    HRESULT Refused(AddResult result) const;

    bool m_libraryOpen = false;
    std::string m_path; // of the movie while it is open
    std::uint32_t m_rate = 0;
    std::unique_ptr<CMovieFile> m_file;
    std::unique_ptr<OdmlWriter> m_writer;
    std::uint32_t m_nextSlot = 0;
    std::unique_ptr<CFrameStream, StreamRelease> m_stream;
    AviStream m_compressed;
    AVICOMPRESSOPTIONS m_options{};
    bool m_optionsHeld = false;
    CRecordingJournal m_journal;
};
