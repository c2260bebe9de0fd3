#include "app/completion_rules.h"

bool ShouldMerge(const SaveFacts& facts, bool roomToMerge)
{
    return facts.withSound && !facts.soundDeviceFailed && roomToMerge;
}

SaveRoute RouteFor(const SaveFacts& facts, MergeEnd merge)
{
    if (!facts.withSound || facts.soundDeviceFailed) {
        return SaveRoute::MovieOnly;
    }
    switch (merge) {
    case MergeEnd::Merged:
        return SaveRoute::Merged;
    case MergeEnd::VideoUnusable:
        return SaveRoute::SoundOnly;
    case MergeEnd::Failed:
    case MergeEnd::NotTried:
        break;
    }
    // A sound file that could not be created must not keep the movie from being saved.
    return facts.soundFileExists ? SaveRoute::MovieAndSoundBeside : SaveRoute::MovieOnly;
}

std::string SaveNote(SaveRoute route, const SaveFacts& facts, MergeEnd merge, const std::string& soundBeside,
                     bool soundKept)
{
    switch (route) {
    case SaveRoute::Merged:
        return "";
    case SaveRoute::MovieOnly:
        return facts.withSound && facts.soundDeviceFailed
                   ? "The sound device could not be opened: the movie was saved without sound."
                   : "";
    case SaveRoute::SoundOnly:
        return soundKept ? "The movie could not be saved: the recorded video is unusable.\nThe sound was saved as " +
                               soundBeside
                         : "The movie could not be saved: the recorded video is unusable.";
    case SaveRoute::MovieAndSoundBeside:
        break;
    }
    if (merge == MergeEnd::NotTried) {
        return "There was no room on the disk to put the sound into the movie.\nThe sound was saved beside it as " +
               soundBeside;
    }
    return "The sound could not be put into the movie.\nIt was saved beside it as " + soundBeside;
}

std::string MissingFfmpegQuestion(const std::string& format, const std::string& avi)
{
    return format + " files are made by ffmpeg.exe, a free program that does not come with Framelark, and it "
                    "was not found: not beside framelark.exe, not on the PATH, and not where General Options "
                    "says.\n\nGet it from https://ffmpeg.org/download.html (a Windows build: ffmpeg.exe is in its "
                    "bin folder), then put it beside framelark.exe or choose it in General Options.\n\nThe movie "
                    "is saved as " +
           avi + " meanwhile.\n\nChoose ffmpeg.exe now?";
}

std::string ConversionNote(const std::string& format, bool cancelled, const std::string& why, const std::string& avi)
{
    const std::string kept = "The movie was saved as " + avi + ".";
    if (cancelled) {
        return "The " + format + " file was not made: the conversion was cancelled.\n" + kept;
    }
    return "ffmpeg.exe could not make the " + format + " file" + (why.empty() ? "." : ":\n" + why) + "\n" + kept;
}

std::string UnexpectedSaveFailureNote(const std::string& what)
{
    return "The movie could not be saved (" + what +
           ").\nThe recording is kept: choose where to save it again, or Framelark offers it at its next start.";
}

std::string JoinNotes(const std::string& first, const std::string& second)
{
    return first.empty() || second.empty() ? first + second : first + "\n\n" + second;
}
