#include "recording/recording_end.h"

#include <algorithm>

EndAction ActionForEnd(RecordingStop stop, std::uint32_t framesWritten, bool defaultCompressor)
{
    if (framesWritten > 0 || stop == RecordingStop::None) {
        return EndAction::Save;
    }
    return stop == RecordingStop::MovieFailed && !defaultCompressor ? EndAction::OfferDefaultCompressor
                                                                     : EndAction::Drop;
}

namespace {
const char* Reason(RecordingStop stop)
{
    switch (stop) {
    case RecordingStop::DiskFull:
        return "the disk is full";
    case RecordingStop::WriteFailed:
        return "its temporary file could not be written";
    case RecordingStop::SizeLimit:
        return "the movie reached the largest file its disk, or the disk it is saved to, can hold (4 GB on a disk "
               "formatted FAT32)";
    case RecordingStop::MovieFailed:
        return "the video compressor or the movie library reported an error";
    case RecordingStop::OutOfMemory:
        return "there was not enough memory for the next frame";
    case RecordingStop::NoTempFile:
        return "no temporary movie could be created in the temporary folder";
    case RecordingStop::RegionRefused:
        return "the video compressor cannot record a region of this size (choose another region or compressor)";
    case RecordingStop::RegionGone:
        return "the display changed and part of the recorded region is no longer on any monitor";
    case RecordingStop::WindowClosed:
        return "the recorded window was closed";
    case RecordingStop::Failed:
        return "of an unexpected error";
    case RecordingStop::None:
        break;
    }
    return "";
}
} // namespace

std::string RecordingStopNote(RecordingStop stop, bool kept)
{
    if (stop == RecordingStop::None) {
        return "";
    }
    return std::string(kept ? "The recording was stopped because " : "The recording could not go on because ") +
           Reason(stop) + (kept ? ".\nEverything recorded until then is kept: choose where to save it." : ".\nNothing was recorded.");
}

std::string WindowHeldNote(std::uint32_t heldMs)
{
    if (heldMs == 0) {
        return "";
    }
    // Tenths of a second, rounded; never "0.0" for a time that was there.
    const std::uint64_t tenths = std::max<std::uint64_t>(1, (std::uint64_t{heldMs} + 50) / 100);
    return "The recorded window was minimised or hidden for " + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + " s. The movie shows its last picture for that time.";
}
