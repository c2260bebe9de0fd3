#pragma once
// Merges the temporary movie (video only) and the temporary sound file into one movie with a
// video and an audio stream, optionally interleaved and with the audio compressed. With the
// computer's sound recorded on its own track, its file becomes a second audio stream: the two are
// named "Microphone" and "Computer sound".
#include <windows.h>

#include <cstdint>
#include <string>

enum MergeResult : int {
    kMerged = 0,
    kVideoUnusable = 1,
    kSoundUnusable = 2,
    kFirstStreamNotVideo = 3,
    kSecondStreamNotAudio = 4,
    kMergedSaveFailed = 5,
    kTooLarge = 6, // the merged movie would pass the largest file its disk takes (FAT's 4 GB)
};

// Runs off the main thread: while saving it posts MergeProgressMessage with the percentage done to
// the main window. A save that grows beyond any sensible size for its inputs is
// ended as failed.
int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit, const std::string& computerAudioPath = {});

// The same with the bound on the output's size given.
int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit, std::uint64_t outputSizeLimit,
                    const std::string& computerAudioPath = {});
