#include "audio/merge_audio_video.h"

#include "audio/audio_conversion.h"
#include "audio/avi_handles.h"
#include "audio/merge_rules.h"
#include "audio/merged_movie_writer.h"
#include "messages/private_messages.h"
#include "settings/app_settings.h"
#include "win/file_io.h"
#include "win/global_block.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {
std::uint64_t FileBytes(const std::string& path)
{
    return FileSize(path).value_or(0);
}

// Posts a new percentage to the main window (a long save has tens of thousands of steps, and each
// message costs the window a repaint); false ends the save once the output has grown beyond the
// bound.
bool ReportProgress(int percent, int& reported, const std::string& outputPath, std::uint64_t sizeLimit)
{
    if (const HWND mainWindow = Settings().g_mainwindow; percent != reported && mainWindow && IsWindow(mainWindow)) {
        PostMessageA(mainWindow, MergeProgressMessage, static_cast<WPARAM>(percent), 0);
        reported = percent;
    }
    return FileBytes(outputPath) <= sizeLimit;
}

// A temporary file deleted when it goes out of scope, and before it is made.
class ScratchFile {
public:
    explicit ScratchFile(std::string path) : m_path(std::move(path)) { DeleteFileA(m_path.c_str()); }
    ~ScratchFile() { DeleteLargeFile(m_path); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Saves both streams as they are: the audio was converted beforehand where that was asked for,
// since the platform's own conversion cannot be relied on. A file that reached the library's limit
// was cut short.
bool Save(const std::string& outputPath, PAVISTREAM video, PAVISTREAM audio, int interleave, int period,
          std::uint64_t sizeLimit)
{
    int reported = -1;
    return WriteMergedMovie(outputPath, video, audio, period, interleave != 0,
                            [&](int percent) { return ReportProgress(percent, reported, outputPath, sizeLimit); }) &&
           FileBytes(outputPath) < kMovieByteLimit;
}

double FramesPerSecond(PAVISTREAM video)
{
    AVISTREAMINFOA info{};
    AVIStreamInfoA(video, &info, sizeof(info));
    return info.dwScale ? static_cast<double>(info.dwRate) / info.dwScale : 0.0;
}

// The common part of the stream's sound format; zero when it has none.
WAVEFORMATEX SoundFormat(PAVISTREAM audio)
{
    LONG size = 0;
    const LONG start = AVIStreamStart(audio);
    if (AVIStreamReadFormat(audio, start, nullptr, &size) != 0 || size < LONG{sizeof(PCMWAVEFORMAT)}) {
        return {};
    }
    std::vector<BYTE> bytes(std::max<std::size_t>(static_cast<std::size_t>(size), sizeof(WAVEFORMATEX)));
    WAVEFORMATEX format{};
    if (AVIStreamReadFormat(audio, start, bytes.data(), &size) == 0) {
        std::memcpy(&format, bytes.data(), sizeof(format));
    }
    return format;
}

// The stream's sound in bytes, a sample being one block.
std::uint64_t SoundBytes(PAVISTREAM audio, const WAVEFORMATEX& format)
{
    return static_cast<std::uint64_t>(std::max<LONG>(AVIStreamLength(audio), 0)) * format.nBlockAlign;
}

// Whether the movie merged from the video file and this sound stays below the library's limit.
bool FitsOneMovie(const std::string& videoPath, PAVISTREAM video, PAVISTREAM audio)
{
    return MergedMovieFits(FileBytes(videoPath), SoundBytes(audio, SoundFormat(audio)),
                           static_cast<std::uint64_t>(std::max<LONG>(AVIStreamLength(video), 0)));
}

// The recorded sound needs no conversion into its own format.
bool IsRecordedFormat(const WAVEFORMATEX& recorded, const WAVEFORMATEX& target)
{
    return target.wFormatTag == WAVE_FORMAT_PCM && recorded.wFormatTag == WAVE_FORMAT_PCM &&
           target.nChannels == recorded.nChannels && target.nSamplesPerSec == recorded.nSamplesPerSec &&
           target.wBitsPerSample == recorded.wBitsPerSample && target.nBlockAlign == recorded.nBlockAlign;
}

// Whether the saved movie holds all of the sound: the platform may cut a large file short without
// a word, and the sound file is deleted once the merge says it is in the movie.
bool HoldsTheSound(const std::string& outputPath, double seconds)
{
    PAVISTREAM rawStream = nullptr;
    if (AVIStreamOpenFromFileA(&rawStream, outputPath.c_str(), streamtypeAUDIO, 0, OF_READ | OF_SHARE_DENY_NONE,
                               nullptr) != 0) {
        return false;
    }
    AviStream saved(rawStream);
    const WAVEFORMATEX format = SoundFormat(saved.get());
    return LastsAsLong(seconds, SoundBytes(saved.get(), format), format.nAvgBytesPerSec, format.nBlockAlign);
}
} // namespace

int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit)
{
    return MergeAudioVideo(videoPath, audioPath, outputPath, compressAudio, compressedFormat, compressedFormatLength,
                           interleave, interleaveFactor, interleaveUnit,
                           MergedSizeLimit(FileBytes(videoPath), FileBytes(audioPath)));
}

int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit, std::uint64_t outputSizeLimit)
{
    AviLibrary library;
    // The streams are read as they are stored; the movie library's editable copies would not tell
    // key frames apart.
    AviStream video;
    {
        PAVIFILE rawFile = nullptr;
        if (AVIFileOpenA(&rawFile, videoPath.c_str(), OF_SHARE_DENY_NONE, nullptr) != 0) {
            return kVideoUnusable;
        }
        AviFile file(rawFile);
        PAVISTREAM rawStream = nullptr;
        if (AVIFileGetStream(file.get(), &rawStream, streamtypeVIDEO, 0) != 0) {
            return kVideoUnusable;
        }
        video.reset(rawStream);
    }
    AviStream audio;
    {
        PAVISTREAM rawStream = nullptr;
        if (AVIStreamOpenFromFileA(&rawStream, audioPath.c_str(), streamtypeAUDIO, 0, OF_SHARE_DENY_NONE, nullptr) != 0) {
            return kSoundUnusable;
        }
        audio.reset(rawStream);
    }
    AVISTREAMINFOA videoInfo{};
    AVISTREAMINFOA audioInfo{};
    AVIStreamInfoA(video.get(), &videoInfo, sizeof(videoInfo));
    AVIStreamInfoA(audio.get(), &audioInfo, sizeof(audioInfo));
    if (videoInfo.fccType != streamtypeVIDEO) {
        return kFirstStreamNotVideo;
    }
    if (audioInfo.fccType != streamtypeAUDIO) {
        return kSecondStreamNotAudio;
    }

    const double framesPerSecond = FramesPerSecond(video.get());
    const int period = InterleavePeriod(framesPerSecond, interleaveFactor, interleaveUnit);
    const WAVEFORMATEX recorded = SoundFormat(audio.get());
    if (recorded.nAvgBytesPerSec == 0) {
        return kSoundUnusable;
    }
    const double seconds = static_cast<double>(SoundBytes(audio.get(), recorded)) / recorded.nAvgBytesPerSec;
    if (compressAudio && compressedFormat && compressedFormatLength >= sizeof(WAVEFORMATEX)) {
        ScratchFile convertedFile(outputPath + ".sound.avi");
        AviStream converted;
        {
            LockedGlobal format(compressedFormat);
            const auto* target = format.as<WAVEFORMATEX>();
            if (target && GlobalSize(compressedFormat) >= compressedFormatLength &&
                sizeof(WAVEFORMATEX) + target->cbSize <= compressedFormatLength && !IsRecordedFormat(recorded, *target)) {
                int reported = -1;
                converted = ConvertAudioStream(
                    audio.get(), *target, convertedFile.path(),
                    SoundBlocksPerChunk(framesPerSecond, period, target->nAvgBytesPerSec, target->nBlockAlign),
                    [&](int percent) { return ReportProgress(percent, reported, convertedFile.path(), outputSizeLimit); });
            }
        }
        if (converted && !FitsOneMovie(videoPath, video.get(), converted.get())) {
            return kTooLarge;
        }
        if (converted && Save(outputPath, video.get(), converted.get(), interleave, period, outputSizeLimit) &&
            HoldsTheSound(outputPath, seconds)) {
            converted.reset();
            return kMerged;
        }
    }
    // Without compression, when the format is the recorded one, or when the compressed format
    // cannot be produced: the recorded sound.
    if (!FitsOneMovie(videoPath, video.get(), audio.get())) {
        return kTooLarge;
    }
    if (!Save(outputPath, video.get(), audio.get(), interleave, period, outputSizeLimit) ||
        !HoldsTheSound(outputPath, seconds)) {
        DeleteFileA(outputPath.c_str());
        return kMergedSaveFailed;
    }
    return kMerged;
}
