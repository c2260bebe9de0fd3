#include "audio/merge_rules.h"

#include <algorithm>
#include <cmath>

int InterleavePeriod(double framesPerSecond, int factor, int unit)
{
    if (unit == 1) {
        return factor > 0 ? factor : 1;
    }
    const double frames = framesPerSecond * factor * 0.001;
    return frames >= 1.0 ? static_cast<int>(frames) : 1;
}

std::uint64_t LargestFileOn(std::string_view fileSystem)
{
    // "FAT", "FAT12", "FAT16", "FAT32"; exFAT has no such limit.
    return fileSystem.substr(0, 3) == "FAT" ? 0xFFFFFFFFull : kNoFileLimit;
}

bool MergedMovieFits(std::uint64_t videoBytes, std::uint64_t soundBytes, std::uint64_t slots, std::uint64_t largestFile)
{
    constexpr std::uint64_t kBytesPerSlot = 64;
    constexpr std::uint64_t kMargin = 4 * 1024 * 1024;
    const std::uint64_t needed = videoBytes + soundBytes + kBytesPerSlot * slots + kMargin;
    return needed >= videoBytes && needed <= largestFile;
}

std::uint64_t MergedSizeLimit(std::uint64_t videoBytes, std::uint64_t audioBytes)
{
    constexpr std::uint64_t kHeadroom = 4u << 20;
    return 2 * (videoBytes + audioBytes) + kHeadroom;
}

std::uint32_t SoundBlocksPerChunk(double framesPerSecond, int period, std::uint32_t bytesPerSecond,
                                  std::uint32_t blockAlign)
{
    if (framesPerSecond <= 0.0 || blockAlign == 0) {
        return 1;
    }
    const double blocks = std::max(period, 1) / framesPerSecond * bytesPerSecond / blockAlign;
    // A chunk's size is a 32-bit field; a second of sound at most keeps the buffers small.
    const double most = std::max(1.0, static_cast<double>(bytesPerSecond) / blockAlign);
    return static_cast<std::uint32_t>(std::clamp(std::ceil(blocks), 1.0, most));
}

bool LastsAsLong(double seconds, std::uint64_t bytes, std::uint32_t bytesPerSecond, std::uint32_t blockAlign)
{
    if (bytesPerSecond == 0) {
        return false;
    }
    const double lasts = static_cast<double>(bytes) / bytesPerSecond;
    const double slack = 0.005 * seconds + 2.0 * blockAlign / bytesPerSecond;
    return std::abs(lasts - seconds) <= slack;
}

std::vector<MergeStep> MergeSchedule(const StreamSpan& video, const std::vector<StreamSpan>& tracks, int period,
                                     bool interleave)
{
    const auto unusable = [](const StreamSpan& span) { return span.rate == 0 || span.scale == 0; };
    if (unusable(video) || tracks.empty() || std::any_of(tracks.begin(), tracks.end(), unusable)) {
        return {};
    }
    const std::int64_t groupFrames = std::max(period, 1);
    std::vector<double> audioPerFrame;
    std::vector<std::int64_t> audioDone;
    for (const StreamSpan& audio : tracks) {
        audioPerFrame.push_back(static_cast<double>(video.scale) * audio.rate /
                                (static_cast<double>(video.rate) * audio.scale));
        audioDone.push_back(audio.start);
    }
    // A track's audio up to the time of a video position.
    const auto audioUntil = [&](std::size_t track, std::int64_t position) {
        const double sample = std::floor(static_cast<double>(position) * audioPerFrame[track]);
        if (sample >= static_cast<double>(tracks[track].end)) {
            return tracks[track].end;
        }
        return std::max(audioDone[track], static_cast<std::int64_t>(sample));
    };

    std::vector<MergeStep> steps;
    std::vector<MergeStep> audioAfterVideo;
    std::vector<MergeStep>& audioOut = interleave ? steps : audioAfterVideo;
    for (std::int64_t groupStart = video.start; groupStart < video.end; groupStart += groupFrames) {
        for (std::size_t track = 0; track < tracks.size(); ++track) {
            const std::int64_t audioEnd = audioUntil(track, groupStart + groupFrames);
            if (audioEnd > audioDone[track]) {
                audioOut.push_back({MergeStream::kAudio, audioDone[track], audioEnd - audioDone[track], track});
                audioDone[track] = audioEnd;
            }
        }
        steps.push_back({MergeStream::kVideo, groupStart, std::min(video.end - groupStart, groupFrames)});
    }
    // Sound that lasts longer than the pictures, in chunks of a group's time.
    for (std::size_t track = 0; track < tracks.size(); ++track) {
        const std::int64_t end = tracks[track].end;
        std::int64_t& done = audioDone[track];
        if (done >= end) {
            continue;
        }
        const double groupSamples = std::ceil(static_cast<double>(groupFrames) * audioPerFrame[track]);
        const std::int64_t left = end - done;
        const std::int64_t chunk = groupSamples >= static_cast<double>(left)
                                       ? left
                                       : std::max<std::int64_t>(1, static_cast<std::int64_t>(groupSamples));
        for (; done < end; done += chunk) {
            audioOut.push_back({MergeStream::kAudio, done, std::min(chunk, end - done), track});
        }
    }
    steps.insert(steps.end(), audioAfterVideo.begin(), audioAfterVideo.end());
    return steps;
}
