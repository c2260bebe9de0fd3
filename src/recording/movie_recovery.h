#pragma once
// Recordings that a run which crashed (or whose machine died) left in the temporary folder: found
// by their journals, rebuilt into movies that play, or deleted.
#include <windows.h>

#include "win/handles.h"

#include <optional>
#include <string>
#include <vector>

struct LeftRecording {
    std::string journal;
    std::string movie;
    // Both held while the recording is handled, so that neither another instance nor a new
    // recording of this one takes them meanwhile.
    KernelHandle journalHold;
    KernelHandle movieHold;
};

// Journals in the folder that no running instance holds. A recording still running, or one
// whose instance is still saving it, holds its journal open.
std::vector<LeftRecording> FindLeftRecordings(const std::string& folder);

struct RecoveredRecording {
    std::string movie;
    std::string sound;       // empty when there was none or nothing of it could be kept
    std::string computerSound; // the computer's on a track of its own; empty likewise
    std::size_t frames = 0;  // frames on the rebuilt movie's time line that hold a picture
};

enum class RecoveryOutcome {
    Recovered,
    NothingLeft, // no complete frame reached the disk; the files are gone
    Failed,      // the rebuilt movie could not be written; every file stays as it was
};

// What a rebuild killed before its end leaves beside the movie, besides ".rebuilt".
inline constexpr char kReplacedSuffix[] = ".replaced";

// Rebuilds the movie in place and completes its sound file; the journal goes once it is done.
RecoveryOutcome RecoverRecording(LeftRecording& left, RecoveredRecording& recovered);

// Deletes the movie, its sound file and its journal.
void DeleteLeftRecording(LeftRecording& left);
