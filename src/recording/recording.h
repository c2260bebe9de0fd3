#pragma once
// The recording thread: a temporary movie name, then the recording function. However it ends, it
// posts WM_USER_GENERIC_MSG to g_mainwindow once: why it ended (a RecordingStop) and how many frames
// reached the movie.
#include <windows.h>

#include "recording/storage_rules.h"

#include <atomic>
#include <cstdint>
#include <string>

DWORD WINAPI RecordingThread(LPVOID);

// A recording started held (a countdown shows meanwhile) prepares its movie, then waits here for
// its first frame; one started open records at once.
void HoldRecordingStart(bool held);
void OpenRecordingStart();

// The recording's one message, posted when it goes.
class RecordingReport {
public:
    RecordingReport() = default;
    RecordingReport(const RecordingReport&) = delete;
    RecordingReport& operator=(const RecordingReport&) = delete;
    ~RecordingReport();

    // The first reason given stands.
    void Stopped(RecordingStop stop);
    // From the writer's thread.
    void FrameWritten() { ++m_frames; }

private:
    RecordingStop m_stop = RecordingStop::None;
    std::atomic<std::uint32_t> m_frames{0};
};

// Sets up the movie, runs the capture loop until g_isrecording is cleared, and tells the report
// how it ended.
void RecordVideo(int top, int left, int width, int height, int rate, const std::string& path, RecordingReport& report);

// "\~temp.avi" in the folder, or a numbered variant when that is in use, created exclusively and
// deleted again; empty when every name tried failed.
std::string ReserveTempMoviePath(const std::string& folder);
