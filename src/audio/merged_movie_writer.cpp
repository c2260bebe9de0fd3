#include "audio/merged_movie_writer.h"

#include "audio/avi_handles.h"
#include "audio/merge_rules.h"
#include "audio/movie_index.h"

#include <fstream>
#include <vector>

namespace {
// The stream's own format at its start.
std::vector<BYTE> StreamFormat(PAVISTREAM stream)
{
    LONG size = 0;
    const LONG start = AVIStreamStart(stream);
    if (AVIStreamReadFormat(stream, start, nullptr, &size) != 0 || size <= 0) {
        return {};
    }
    std::vector<BYTE> format(static_cast<std::size_t>(size));
    if (AVIStreamReadFormat(stream, start, format.data(), &size) != 0) {
        return {};
    }
    return format;
}

StreamSpan Span(PAVISTREAM stream, DWORD rate, DWORD scale)
{
    return {AVIStreamStart(stream), AVIStreamEnd(stream), rate, scale};
}

// A stream of the new movie like the source stream, in the given format.
AviStream CreateLike(PAVIFILE file, AVISTREAMINFOA info, const std::vector<BYTE>& format)
{
    info.dwLength = 0;
    info.dwSuggestedBufferSize = 0;
    PAVISTREAM stream = nullptr;
    if (AVIFileCreateStreamA(file, &stream, &info) != 0) {
        return {};
    }
    AviStream created(stream);
    if (AVIStreamSetFormat(stream, 0, const_cast<BYTE*>(format.data()), static_cast<LONG>(format.size())) != 0) {
        return {};
    }
    return created;
}

// Each frame as recorded, at its own position: empty frames stay empty, key frames stay key frames.
bool CopyFrames(PAVISTREAM from, PAVISTREAM to, const MergeStep& step, std::vector<BYTE>& buffer)
{
    for (LONG position = static_cast<LONG>(step.first); position < step.first + step.count; ++position) {
        LONG size = 0;
        if (AVIStreamRead(from, position, 1, nullptr, 0, &size, nullptr) != 0 || size < 0) {
            return false;
        }
        buffer.resize(std::max<std::size_t>(buffer.size(), static_cast<std::size_t>(size) + 1));
        LONG bytes = 0;
        if (size > 0 &&
            (AVIStreamRead(from, position, 1, buffer.data(), size, &bytes, nullptr) != 0 || bytes != size)) {
            return false;
        }
        const DWORD flags = AVIStreamIsKeyFrame(from, position) ? AVIIF_KEYFRAME : 0;
        if (AVIStreamWrite(to, position, 1, buffer.data(), size, flags, nullptr, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

// One chunk of sound, whole samples.
bool CopySound(PAVISTREAM from, PAVISTREAM to, const MergeStep& step, DWORD sampleSize, std::vector<BYTE>& buffer)
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
            return false;
        }
        done += samples;
    }
    return AVIStreamWrite(to, -1, done, buffer.data(), static_cast<LONG>(wanted), AVIIF_KEYFRAME, nullptr,
                          nullptr) == 0;
}

bool WriteChunks(const std::string& path, PAVISTREAM video, PAVISTREAM audio, int period, bool interleave,
                 const std::function<bool(int)>& progress)
{
    AVISTREAMINFOA videoInfo{};
    AVISTREAMINFOA audioInfo{};
    const std::vector<BYTE> videoFormat = StreamFormat(video);
    const std::vector<BYTE> audioFormat = StreamFormat(audio);
    if (AVIStreamInfoA(video, &videoInfo, sizeof(videoInfo)) != 0 ||
        AVIStreamInfoA(audio, &audioInfo, sizeof(audioInfo)) != 0 || videoFormat.empty() ||
        audioFormat.size() < sizeof(PCMWAVEFORMAT)) {
        return false;
    }
    // The sound's timing is its format's: under Wine a converted stream read back reports the rate
    // of its sound samples while counting blocks as samples. A sample here is one block.
    const auto* wave = reinterpret_cast<const WAVEFORMAT*>(audioFormat.data());
    if (wave->nBlockAlign == 0 || audioInfo.dwSampleSize != wave->nBlockAlign) {
        return false;
    }
    audioInfo.dwScale = wave->nBlockAlign;
    audioInfo.dwRate = wave->nAvgBytesPerSec;
    const std::vector<MergeStep> steps = MergeSchedule(Span(video, videoInfo.dwRate, videoInfo.dwScale),
                                                       Span(audio, audioInfo.dwRate, audioInfo.dwScale), period,
                                                       interleave);
    if (steps.empty()) {
        return false;
    }
    PAVIFILE rawFile = nullptr;
    if (AVIFileOpenA(&rawFile, path.c_str(), OF_CREATE | OF_WRITE, nullptr) != 0) {
        return false;
    }
    AviFile file(rawFile);
    // Stream 0 video, stream 1 audio.
    AviStream videoOut = CreateLike(file.get(), videoInfo, videoFormat);
    AviStream audioOut = videoOut ? CreateLike(file.get(), audioInfo, audioFormat) : AviStream();
    if (!audioOut) {
        return false;
    }
    std::vector<BYTE> buffer(1);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const MergeStep& step = steps[i];
        const bool copied = step.stream == MergeStream::kVideo
                                ? CopyFrames(video, videoOut.get(), step, buffer)
                                : CopySound(audio, audioOut.get(), step, audioInfo.dwSampleSize, buffer);
        if (!copied || !progress(static_cast<int>(100 * (i + 1) / steps.size()))) {
            return false;
        }
    }
    return true;
}
} // namespace

bool WriteMergedMovie(const std::string& path, PAVISTREAM video, PAVISTREAM audio, int period, bool interleave,
                      const std::function<bool(int percent)>& progress)
{
    DeleteFileA(path.c_str());
    // The library writes headers and index when the file is released, within WriteChunks.
    bool saved = WriteChunks(path, video, audio, period, interleave, progress);
    if (saved) {
        std::fstream movie(path, std::ios::in | std::ios::out | std::ios::binary);
        saved = movie && TidyMovieIndex(movie);
    }
    if (!saved) {
        DeleteFileA(path.c_str());
    }
    return saved;
}
