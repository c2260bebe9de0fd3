#pragma once
// What the save of a recording keeps, and what it tells the user, decided from what the merge came
// to. Portable rules only: the files are moved by the completion.
#include <string>

// How the merge of the movie and its sound ended.
enum class MergeEnd {
    Merged,
    VideoUnusable, // the movie holds nothing that can be saved
    Failed,        // the movie is fine, the merged one could not be made
    NotTried,      // no room for it on the disk
};

enum class SaveRoute {
    MovieOnly,           // no sound was recorded, or its device never opened
    Merged,              // one movie with its sound
    MovieAndSoundBeside, // the movie, and the sound as a file of its own beside it
    SoundOnly,           // the video is unusable: only the sound is kept
};

struct SaveFacts {
    bool withSound = false;
    bool soundDeviceFailed = false; // the sound file holds a header and nothing more
    bool soundFileExists = false;
};

// Whether the merge is tried at all; roomToMerge: the temporary folder holds the merged movie.
bool ShouldMerge(const SaveFacts& facts, bool roomToMerge);

SaveRoute RouteFor(const SaveFacts& facts, MergeEnd merge);

// Told once after the save; empty when all went as asked. soundBeside is where the sound went, and
// soundKept whether it got there.
std::string SaveNote(SaveRoute route, const SaveFacts& facts, MergeEnd merge, const std::string& soundBeside,
                     bool soundKept);

// Told when the saving thread met an error it did not expect; the recording is kept.
std::string UnexpectedSaveFailureNote(const std::string& what);

// Asked when MP4, WebM or GIF was chosen and no ffmpeg.exe was found: Yes chooses the file. The
// movie is saved as avi meanwhile.
std::string MissingFfmpegQuestion(const std::string& format, const std::string& avi);

// Told when ffmpeg.exe did not make the movie; why is its last error line (empty after a cancel).
std::string ConversionNote(const std::string& format, bool cancelled, const std::string& why, const std::string& avi);

// Two notes told at once, a blank line between them; either may be empty.
std::string JoinNotes(const std::string& first, const std::string& second);
