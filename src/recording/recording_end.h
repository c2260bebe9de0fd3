#pragma once
// Why a recording ended, and what becomes of what it recorded. Portable rules only.
#include <cstdint>
#include <string>

enum class RecordingStop {
    None,         // stopped by the user
    DiskFull,
    WriteFailed,
    SizeLimit,
    MovieFailed,  // the compressor or the movie library reported an error
    OutOfMemory,  // a frame could not be allocated
    NoTempFile,   // no temporary movie could be created
    RegionRefused, // the compressor takes no frame of the region's size
    Failed,       // an unexpected error on the recording thread
    RegionGone,   // a display change took away part of the region
    WindowClosed, // the window the recording followed was closed
};

enum class EndAction {
    Save,                   // the Save dialog, after the note of why it ended
    OfferDefaultCompressor, // nothing to save; the chosen compressor is to blame
    Drop,                   // nothing to save: the temporary files go, with the note
};

// A recording that wrote frames is always offered for saving; one the user stopped is too (an
// empty movie is the user's to throw away).
EndAction ActionForEnd(RecordingStop stop, std::uint32_t framesWritten, bool defaultCompressor);

// The note shown before the Save dialog, or instead of it when nothing was kept; empty for None.
std::string RecordingStopNote(RecordingStop stop, bool kept);

// Told after the save: for how long a followed window was minimised or hidden, its last picture
// held meanwhile; empty when it never was.
std::string WindowHeldNote(std::uint32_t heldMs);
