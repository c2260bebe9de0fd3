#pragma once
// Turns the temporary files of a finished recording into the user's movie: discard after the
// Cancel key, otherwise ask for a name, merge the sound in when there is some, move or copy, clean
// up, and offer the movie for playing. The merge and the copy run on a thread of their own while
// the progress window shows how far they are; kSaveDoneMessage to the main window ends them.
#include <windows.h>

#include "app/convert_progress_dialog.h"
#include "audio/merge_audio_video.h"
#include "recording/recording_end.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// What the merge of the temporary movie and sound file is given.
struct MergeRequest {
    std::string videoPath;
    std::string audioPath;
    std::string outputPath;
    std::int32_t compressAudio = 0;
    HGLOBAL compressedFormat = nullptr;
    std::uint32_t compressedFormatLength = 0;
    std::int32_t interleave = 0;
    std::int32_t interleaveFactor = 0;
    std::int32_t interleaveUnit = 0;
};

// The temporary files of one recording to complete.
struct RecordingFiles {
    std::string movie;
    std::string sound;
    bool withSound = false;
    bool cancelled = false; // ended with the Cancel key: discarded
    bool soundDeviceFailed = false; // the sound file holds nothing: the device could not be opened
};

// What the save of one recording came to, for the main thread to act on.
struct SaveOutcome {
    enum class End { Saved, Again, Abandoned };
    End end = End::Again;
    std::string note; // told once, after the save
};

using MergeFunction = std::function<int(const MergeRequest&)>;
using MovieOpener = std::function<void(HWND owner, const std::string& path)>;

class CRecordingCompletion {
public:
    explicit CRecordingCompletion(CConvertProgressDialog& progress);
    CRecordingCompletion(const CRecordingCompletion&) = delete;
    CRecordingCompletion& operator=(const CRecordingCompletion&) = delete;
    ~CRecordingCompletion();

    // Without a merge the sound is kept as a file beside the movie.
    void SetMerge(MergeFunction merge) { m_merge = std::move(merge); }
    void SetBringToFront(std::function<void()> bringToFront) { m_bringToFront = std::move(bringToFront); }
    // Opens a saved movie in the system's player; the default is the shell's default action.
    void SetMovieOpener(MovieOpener opener) { m_openMovie = std::move(opener); }

    // A recording that ended: the note of why it stopped (None: no note), then the Save dialog.
    void Complete(HWND mainWindow, RecordingFiles files, RecordingStop stop);
    // A recording with nothing to save: its temporary files go.
    static void Discard(const RecordingFiles& files);

    // The main window's handler of the run it posted to itself (again, or the next waiting one).
    void OnRecordingComplete(HWND mainWindow);
    // The main window's handler of kSaveDoneMessage.
    void OnSaveDone(HWND mainWindow);

    // Recordings brought back after a crash: each is completed in turn as a stopped one is.
    void CompleteRecovered(std::vector<RecordingFiles> recordings);

    // True while a run is in progress, has asked for the Save dialog again or has recovered
    // recordings waiting: temporary files are still in use, so no new recording may start.
    bool IsRunning() const { return m_running || m_runAgainPosted || !m_waiting.empty(); }

    // True while the merge and copy of a save run.
    bool IsSaving() const { return m_saving.joinable(); }

    // The last movie saved, for the Play button; empty until one is.
    const std::string& CurrentMovie() const { return m_currentMovie; }

private:
    // True when a save was started: it ends in OnSaveDone.
    bool Run(HWND mainWindow);
    bool StartSave(HWND mainWindow, const std::string& chosen);
    void EndRun();
    void RunAgain();
    void PostRun();
    void Finish(HWND mainWindow, const std::string& chosen);

    CConvertProgressDialog& m_progress;
    MergeFunction m_merge;
    std::function<void()> m_bringToFront;
    MovieOpener m_openMovie;
    std::string m_currentMovie;
    RecordingFiles m_files;
    RecordingStop m_stop = RecordingStop::None;
    std::deque<RecordingFiles> m_waiting;
    std::string m_chosen;
    std::thread m_saving;
    SaveOutcome m_outcome; // written by the saving thread, read after it is joined
    bool m_running = false;
    bool m_runAgainPosted = false;
};
