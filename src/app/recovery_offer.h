#pragma once
// At start: recordings that a run which crashed left in the temporary folder are offered back,
// with one question, and rebuilt on a thread of their own while the progress window shows how far
// it is; kRecoveryDoneMessage to the main window ends it. Recovered ones go on to the Save dialog
// like a stopped recording; declined ones are deleted off the window's thread.
#include <windows.h>

#include "app/convert_progress_dialog.h"
#include "app/recording_completion.h"
#include "recording/movie_recovery.h"

#include <string>
#include <thread>
#include <vector>

// Deletes what a run that was killed while rebuilding or saving left half-written in the folder.
void CleanUnfinishedFiles(const std::string& folder);

// The recordings the user wants back; empty when there are none or the user declined them.
std::vector<LeftRecording> AskAboutLeftRecordings(HWND mainWindow);

class CRecoveryRun {
public:
    CRecoveryRun() = default;
    CRecoveryRun(const CRecoveryRun&) = delete;
    CRecoveryRun& operator=(const CRecoveryRun&) = delete;
    ~CRecoveryRun();

    void Start(HWND mainWindow, std::vector<LeftRecording> left, CConvertProgressDialog& progress);
    // The main window's handler of kRecoveryDoneMessage: tells what could not be recovered and
    // returns what can be saved.
    std::vector<RecordingFiles> Finish(HWND mainWindow, CConvertProgressDialog& progress);

private:
    std::thread m_thread;
    std::vector<RecordingFiles> m_recovered; // written by the thread, read after it is joined
    std::size_t m_empty = 0;
    std::size_t m_failed = 0;
};
