#pragma once
// Turns the temporary files of a finished recording into the user's movie: ask for a name, merge
// the sound in when there is some, move or copy, clean up, and offer the movie for playing. The
// merge and the copy run on a thread of their own while the progress window shows how far they
// are; kSaveDoneMessage to the main window ends them. For MP4, WebM and GIF the AVI is saved
// first, then made into the chosen format by ffmpeg.exe on another thread, which
// kConvertDoneMessage ends; the AVI goes only once the new file is there. The main window's state
// decides when each step runs; each step says what comes next.
#include <windows.h>

#include "app/convert_progress_dialog.h"
#include "convert/ffmpeg_conversion.h"
#include "convert/movie_format.h"
#include "recording/recording_end.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
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
    std::string computerAudioPath = {}; // the computer's sound on its own track; empty when mixed
};

// The temporary files of one recording to complete.
struct RecordingFiles {
    std::string movie;
    std::string sound;
    bool withSound = false;
    bool soundDeviceFailed = false; // the sound file holds nothing: the device could not be opened
    std::string laterNote = {};     // told after the save: what became of the sound's sources, and
                                    // how long a followed window was not shown
    std::string computerSound = {}; // the computer's sound on a track of its own; empty when mixed
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
    enum class Step {
        SaveStarted,    // the saving thread runs: OnSaveDone follows
        ConvertStarted, // the saved AVI is being converted: OnConvertDone follows
        Again,       // the Save dialog is to come again for the same recording
        Done,        // this recording is saved or gone; others may wait
    };

    explicit CRecordingCompletion(CConvertProgressDialog& progress);
    CRecordingCompletion(const CRecordingCompletion&) = delete;
    CRecordingCompletion& operator=(const CRecordingCompletion&) = delete;
    ~CRecordingCompletion();

    // Without a merge the sound is kept as a file beside the movie.
    void SetMerge(MergeFunction merge) { m_merge = std::move(merge); }
    // Opens a saved movie in the system's player; the default is the shell's default action.
    void SetMovieOpener(MovieOpener opener) { m_openMovie = std::move(opener); }

    // A recording that stopped comes first; stop says why (None: no note).
    void Add(RecordingFiles files, RecordingStop stop);
    // Recordings brought back after a crash: each is completed in turn as a stopped one is.
    void AddRecovered(std::vector<RecordingFiles> recordings);
    bool HasWaiting() const { return !m_waiting.empty(); }

    // The note of why the recording stopped, the Save dialog (its Cancel asks before anything is
    // thrown away), then the save started.
    Step Next(HWND mainWindow);
    // The main window's handler of kSaveDoneMessage.
    Step OnSaveDone(HWND mainWindow);
    // The main window's handler of kConvertDoneMessage.
    Step OnConvertDone(HWND mainWindow);
    // The session ends: a copy under way stops, and the recording stays offered at the next start;
    // a conversion stops, its partial file is removed, and the AVI stays.
    void AbandonSave();

    // A recording with nothing to save: its temporary files go, off the window's thread.
    static void Discard(const RecordingFiles& files);

    // The last movie saved, for the Play button; empty until one is.
    const std::string& CurrentMovie() const { return m_currentMovie; }

private:
    Step StartSave(HWND mainWindow, const std::string& chosen);
    Step StartConversion(HWND mainWindow);
    void OpenSaved(HWND mainWindow);

    CConvertProgressDialog& m_progress;
    MergeFunction m_merge;
    MovieOpener m_openMovie;
    std::string m_currentMovie;
    std::optional<RecordingFiles> m_files; // the recording being completed
    RecordingStop m_stop = RecordingStop::None;
    std::deque<std::pair<RecordingFiles, RecordingStop>> m_waiting;
    std::string m_chosen; // where the save puts the AVI
    OutputName m_output;  // what the user asked for
    std::optional<std::string> m_ffmpeg; // the ffmpeg.exe that converts it, if it is not an AVI
    std::thread m_saving;
    std::atomic<bool> m_abandon{false};
    SaveOutcome m_outcome; // written by the saving thread, read after it is joined
    std::thread m_converting;
    std::atomic<bool> m_cancelConversion{false};
    std::atomic<bool> m_conversionEnded{false};
    ConversionResult m_conversion; // written by the converting thread, read after it is joined
};
