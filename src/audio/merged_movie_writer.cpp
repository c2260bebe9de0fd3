#include "audio/merged_movie_writer.h"

#include "audio/merge_rules.h"
#include "audio/movie_file.h"
#include "audio/odml_writer.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {
// The stream's own format at its start.
std::vector<std::uint8_t> StreamFormat(PAVISTREAM stream)
{
    LONG size = 0;
    const LONG start = AVIStreamStart(stream);
    if (AVIStreamReadFormat(stream, start, nullptr, &size) != 0 || size <= 0) {
        return {};
    }
    std::vector<std::uint8_t> format(static_cast<std::size_t>(size));
    if (AVIStreamReadFormat(stream, start, format.data(), &size) != 0) {
        return {};
    }
    return format;
}

// Each frame as recorded, on its own slot: empty frames stay empty, key frames stay key frames.
AddResult CopyFrames(const RecordedVideo& video, OdmlWriter& writer, const MergeStep& step, std::vector<char>& buffer)
{
    for (auto slot = static_cast<std::size_t>(step.first); slot < static_cast<std::size_t>(step.first + step.count);
         ++slot) {
        const MovieChunkEntry& frame = video.frames[slot];
        buffer.resize(std::max<std::size_t>(buffer.size(), frame.size));
        video.file.clear();
        video.file.seekg(static_cast<std::streamoff>(frame.offset));
        if (!video.file.read(buffer.data(), frame.size)) {
            return AddResult::WriteFailed;
        }
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
        if (const AddResult result = writer.Add(0, {bytes, frame.size}, frame.key); result != AddResult::Added) {
            return result;
        }
    }
    return AddResult::Added;
}

// One chunk of sound, whole samples.
AddResult CopySound(PAVISTREAM from, OdmlWriter& writer, const MergeStep& step, DWORD sampleSize, std::vector<char>& buffer)
{
    const auto wanted = static_cast<std::size_t>(step.count) * sampleSize;
    buffer.resize(std::max(buffer.size(), wanted));
    LONG done = 0;
    while (done < step.count) {
        LONG bytes = 0;
        LONG samples = 0;
        if (AVIStreamRead(from, static_cast<LONG>(step.first) + done, static_cast<LONG>(step.count) - done,
                          buffer.data() + static_cast<std::size_t>(done) * sampleSize,
                          static_cast<LONG>(wanted - static_cast<std::size_t>(done) * sampleSize), &bytes,
                          &samples) != 0 ||
            samples <= 0) {
            return AddResult::WriteFailed;
        }
        done += samples;
    }
    return writer.Add(1 + step.track, {reinterpret_cast<const std::uint8_t*>(buffer.data()), wanted}, true);
}

// The track's stream in the movie; nothing when its format cannot be used.
std::optional<MovieStream> TrackStream(const SoundTrack& track)
{
    AVISTREAMINFOA info{};
    std::vector<std::uint8_t> format = StreamFormat(track.stream);
    if (AVIStreamInfoA(track.stream, &info, sizeof(info)) != 0 || format.size() < sizeof(PCMWAVEFORMAT)) {
        return std::nullopt;
    }
    // The sound's timing is its format's: under Wine a converted stream read back reports the rate
    // of its sound samples while counting blocks as samples. A sample here is one block.
    const auto* wave = reinterpret_cast<const WAVEFORMAT*>(format.data());
    if (wave->nBlockAlign == 0 || info.dwSampleSize != wave->nBlockAlign) {
        return std::nullopt;
    }
    return MovieStream{streamtypeAUDIO, info.fccHandler, wave->nBlockAlign, wave->nAvgBytesPerSec,
                       wave->nBlockAlign, std::move(format), track.name};
}

bool WriteChunks(const std::string& path, const RecordedVideo& video, const std::vector<SoundTrack>& tracks, int period,
                 bool interleave, const std::function<bool(int)>& progress)
{
    if (video.stream.rate == 0 || video.stream.scale == 0) {
        return false;
    }
    std::vector<MovieStream> streams{{video.stream.type, video.stream.handler, video.stream.scale, video.stream.rate,
                                      0, video.stream.format}};
    std::vector<StreamSpan> spans;
    for (const SoundTrack& track : tracks) {
        std::optional<MovieStream> stream = TrackStream(track);
        if (!stream) {
            return false;
        }
        spans.push_back({AVIStreamStart(track.stream), AVIStreamEnd(track.stream), stream->rate, stream->scale});
        streams.push_back(std::move(*stream));
    }
    const StreamSpan videoSpan{0, static_cast<std::int64_t>(video.frames.size()), video.stream.rate, video.stream.scale};
    const std::vector<MergeStep> steps = MergeSchedule(videoSpan, spans, period, interleave);
    if (steps.empty()) {
        return false;
    }
    // The super index is sized for what is to come.
    std::uint64_t bytes = 0;
    std::uint64_t largest = 0;
    std::uint64_t chunks = video.frames.size();
    for (const MovieChunkEntry& frame : video.frames) {
        bytes += frame.size;
        largest = std::max<std::uint64_t>(largest, frame.size);
    }
    for (const MergeStep& step : steps) {
        if (step.stream == MergeStream::kAudio) {
            const auto sound = static_cast<std::uint64_t>(step.count) * streams[1 + step.track].sampleSize;
            bytes += sound;
            largest = std::max(largest, sound);
            ++chunks;
        }
    }
    MovieLayout layout;
    layout.interleaved = interleave;
    layout.parts = MoviePartsFor(bytes, chunks, largest, layout);

    CMovieFile file(path);
    OdmlWriter writer(file, std::move(streams), layout);
    if (!file.IsOpen() || !writer.Start()) {
        return false;
    }
    std::vector<char> buffer(1);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const MergeStep& step = steps[i];
        const AddResult copied = step.stream == MergeStream::kVideo
                                     ? CopyFrames(video, writer, step, buffer)
                                     : CopySound(tracks[step.track].stream, writer, step,
                                                 static_cast<DWORD>(spans[step.track].scale), buffer);
        if (copied != AddResult::Added || !progress(static_cast<int>(100 * (i + 1) / steps.size()))) {
            return false;
        }
    }
    // A movie that gave up chunks for its index is not whole.
    const std::uint64_t written = writer.Chunks();
    return writer.Finish() && writer.Chunks() == written;
}
} // namespace

bool WriteMergedMovie(const std::string& path, const RecordedVideo& video, const std::vector<SoundTrack>& tracks,
                      int period, bool interleave, const std::function<bool(int percent)>& progress)
{
    DeleteFileA(path.c_str());
    const bool saved = WriteChunks(path, video, tracks, period, interleave, progress);
    if (!saved) {
        DeleteFileA(path.c_str());
    }
    return saved;
}
