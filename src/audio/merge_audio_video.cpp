#include "audio/merge_audio_video.h"

#include "audio/audio_conversion.h"
#include "audio/avi_handles.h"
#include "audio/merge_rules.h"
#include "audio/merged_movie_writer.h"
#include "audio/movie_file.h"
#include "audio/movie_index.h"
#include "messages/private_messages.h"
#include "settings/app_settings.h"
#include "win/file_io.h"
#include "win/global_block.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
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

// Saves the streams as they are: the audio was converted beforehand where that was asked for,
// since the platform's own conversion cannot be relied on.
bool Save(const std::string& outputPath, const RecordedVideo& video, const std::vector<SoundTrack>& tracks,
          int interleave, int period, std::uint64_t sizeLimit)
{
    int reported = -1;
    return WriteMergedMovie(outputPath, video, tracks, period, interleave != 0,
                            [&](int percent) { return ReportProgress(percent, reported, outputPath, sizeLimit); });
}

double FramesPerSecond(const MovieStreamInfo& video)
{
    return video.scale ? static_cast<double>(video.rate) / video.scale : 0.0;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
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

// Whether the movie merged from the video file and these tracks fits the output's disk.
bool FitsOneMovie(const std::string& videoPath, const RecordedVideo& video, const std::vector<SoundTrack>& tracks,
                  const std::string& outputPath)
{
    std::uint64_t sound = 0;
    for (const SoundTrack& track : tracks) {
        sound += SoundBytes(track.stream, SoundFormat(track.stream));
    }
    return MergedMovieFits(FileBytes(videoPath), sound, video.frames.size(), LargestFileIn(FolderOf(outputPath)));
}

// The recorded sound needs no conversion into its own format.
bool IsRecordedFormat(const WAVEFORMATEX& recorded, const WAVEFORMATEX& target)
{
    return target.wFormatTag == WAVE_FORMAT_PCM && recorded.wFormatTag == WAVE_FORMAT_PCM &&
           target.nChannels == recorded.nChannels && target.nSamplesPerSec == recorded.nSamplesPerSec &&
           target.wBitsPerSample == recorded.wBitsPerSample && target.nBlockAlign == recorded.nBlockAlign;
}

// Whether the saved movie holds all of every track's sound, read back as a player reads it: the
// sound files are deleted once the merge says they are in the movie.
bool HoldsTheSound(const std::string& outputPath, const std::vector<double>& seconds)
{
    std::ifstream file(outputPath, std::ios::binary);
    const std::optional<MovieContents> saved = ReadMovie(file);
    if (!saved || saved->streams.size() != 1 + seconds.size()) {
        return false;
    }
    for (std::size_t track = 0; track < seconds.size(); ++track) {
        const MovieStreamInfo& stream = saved->streams[1 + track];
        if (stream.format.size() < sizeof(PCMWAVEFORMAT)) {
            return false;
        }
        WAVEFORMATEX format{};
        std::memcpy(&format, stream.format.data(), sizeof(PCMWAVEFORMAT));
        std::uint64_t bytes = 0;
        for (const MovieChunkEntry& chunk : saved->chunks[1 + track]) {
            bytes += chunk.size;
        }
        if (!LastsAsLong(seconds[track], bytes, format.nAvgBytesPerSec, format.nBlockAlign)) {
            return false;
        }
    }
    return true;
}

// A recorded sound file as an audio stream, with how long it lasts.
struct RecordedSound {
    AviStream stream;
    WAVEFORMATEX format{};
    double seconds = 0.0;
};

std::optional<RecordedSound> OpenSound(const std::string& path, int& failure)
{
    PAVISTREAM rawStream = nullptr;
    if (AVIStreamOpenFromFileA(&rawStream, path.c_str(), streamtypeAUDIO, 0, OF_SHARE_DENY_NONE, nullptr) != 0) {
        failure = kSoundUnusable;
        return std::nullopt;
    }
    RecordedSound sound;
    sound.stream.reset(rawStream);
    AVISTREAMINFOA info{};
    AVIStreamInfoA(sound.stream.get(), &info, sizeof(info));
    if (info.fccType != streamtypeAUDIO) {
        failure = kSecondStreamNotAudio;
        return std::nullopt;
    }
    sound.format = SoundFormat(sound.stream.get());
    if (sound.format.nAvgBytesPerSec == 0) {
        failure = kSoundUnusable;
        return std::nullopt;
    }
    sound.seconds = static_cast<double>(SoundBytes(sound.stream.get(), sound.format)) / sound.format.nAvgBytesPerSec;
    return sound;
}
} // namespace

int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit, const std::string& computerAudioPath)
{
    return MergeAudioVideo(videoPath, audioPath, outputPath, compressAudio, compressedFormat, compressedFormatLength,
                           interleave, interleaveFactor, interleaveUnit,
                           MergedSizeLimit(FileBytes(videoPath), FileBytes(audioPath) + FileBytes(computerAudioPath)),
                           computerAudioPath);
}

int MergeAudioVideo(const std::string& videoPath, const std::string& audioPath, const std::string& outputPath,
                    int compressAudio, HGLOBAL compressedFormat, DWORD compressedFormatLength, int interleave,
                    int interleaveFactor, int interleaveUnit, std::uint64_t outputSizeLimit,
                    const std::string& computerAudioPath)
{
    AviLibrary library;
    // The recorded frames are read as they are stored, key frames and empty slots as they are.
    std::ifstream videoFile(videoPath, std::ios::binary);
    const std::optional<MovieContents> movie = videoFile ? ReadMovie(videoFile) : std::nullopt;
    if (!movie || movie->streams.empty()) {
        return kVideoUnusable;
    }
    if (movie->streams[0].type != streamtypeVIDEO) {
        return kFirstStreamNotVideo;
    }
    const RecordedVideo video{videoFile, movie->streams[0], movie->chunks[0]};
    std::vector<std::pair<std::string, std::string>> files{{audioPath, ""}};
    if (!computerAudioPath.empty()) {
        files = {{audioPath, "Microphone"}, {computerAudioPath, "Computer sound"}};
    }
    std::vector<RecordedSound> sounds;
    std::vector<SoundTrack> recordedTracks;
    std::vector<double> seconds;
    for (const auto& [path, name] : files) {
        int failure = kSoundUnusable;
        std::optional<RecordedSound> sound = OpenSound(path, failure);
        if (!sound) {
            return failure;
        }
        recordedTracks.push_back({sound->stream.get(), name});
        seconds.push_back(sound->seconds);
        sounds.push_back(std::move(*sound));
    }

    const double framesPerSecond = FramesPerSecond(video.stream);
    const int period = InterleavePeriod(framesPerSecond, interleaveFactor, interleaveUnit);
    if (compressAudio && compressedFormat && compressedFormatLength >= sizeof(WAVEFORMATEX)) {
        std::vector<std::unique_ptr<ScratchFile>> convertedFiles;
        std::vector<AviStream> converted;
        std::vector<SoundTrack> convertedTracks;
        {
            LockedGlobal format(compressedFormat);
            const auto* target = format.as<WAVEFORMATEX>();
            for (std::size_t track = 0; track < sounds.size(); ++track) {
                if (!target || GlobalSize(compressedFormat) < compressedFormatLength ||
                    sizeof(WAVEFORMATEX) + target->cbSize > compressedFormatLength ||
                    IsRecordedFormat(sounds[track].format, *target)) {
                    break;
                }
                convertedFiles.push_back(std::make_unique<ScratchFile>(outputPath + ".sound" + std::to_string(track) + ".avi"));
                int reported = -1;
                const std::string& scratch = convertedFiles.back()->path();
                AviStream stream = ConvertAudioStream(
                    sounds[track].stream.get(), *target, scratch,
                    SoundBlocksPerChunk(framesPerSecond, period, target->nAvgBytesPerSec, target->nBlockAlign),
                    [&](int percent) { return ReportProgress(percent, reported, scratch, outputSizeLimit); });
                if (!stream) {
                    break;
                }
                convertedTracks.push_back({stream.get(), files[track].second});
                converted.push_back(std::move(stream));
            }
        }
        if (convertedTracks.size() == sounds.size()) {
            if (!FitsOneMovie(videoPath, video, convertedTracks, outputPath)) {
                return kTooLarge;
            }
            if (Save(outputPath, video, convertedTracks, interleave, period, outputSizeLimit) &&
                HoldsTheSound(outputPath, seconds)) {
                return kMerged;
            }
        }
    }
    // Without compression, when the format is the recorded one, or when the compressed format
    // cannot be produced: the recorded sound.
    if (!FitsOneMovie(videoPath, video, recordedTracks, outputPath)) {
        return kTooLarge;
    }
    if (!Save(outputPath, video, recordedTracks, interleave, period, outputSizeLimit) ||
        !HoldsTheSound(outputPath, seconds)) {
        DeleteFileA(outputPath.c_str());
        return kMergedSaveFailed;
    }
    return kMerged;
}
