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

std::vector<MergeStep> MergeSchedule(const StreamSpan& video, const StreamSpan& audio, int period, bool interleave)
{
    if (video.rate == 0 || video.scale == 0 || audio.rate == 0 || audio.scale == 0) {
        return {};
    }
    const std::int64_t groupFrames = std::max(period, 1);
    const double audioPerFrame =
        static_cast<double>(video.scale) * audio.rate / (static_cast<double>(video.rate) * audio.scale);
    std::int64_t audioDone = audio.start;
    // The audio up to the time of a video position.
    const auto audioUntil = [&](std::int64_t position) {
        const double sample = std::floor(static_cast<double>(position) * audioPerFrame);
        if (sample >= static_cast<double>(audio.end)) {
            return audio.end;
        }
        return std::max(audioDone, static_cast<std::int64_t>(sample));
    };

    std::vector<MergeStep> steps;
    std::vector<MergeStep> audioAfterVideo;
    std::vector<MergeStep>& audioOut = interleave ? steps : audioAfterVideo;
    for (std::int64_t groupStart = video.start; groupStart < video.end; groupStart += groupFrames) {
        const std::int64_t audioEnd = audioUntil(groupStart + groupFrames);
        if (audioEnd > audioDone) {
            audioOut.push_back({MergeStream::kAudio, audioDone, audioEnd - audioDone});
            audioDone = audioEnd;
        }
        steps.push_back({MergeStream::kVideo, groupStart, std::min(video.end - groupStart, groupFrames)});
    }
    // Sound that lasts longer than the pictures, in chunks of a group's time.
    if (audioDone < audio.end) {
        const double groupSamples = std::ceil(static_cast<double>(groupFrames) * audioPerFrame);
        const std::int64_t left = audio.end - audioDone;
        const std::int64_t chunk = groupSamples >= static_cast<double>(left)
                                       ? left
                                       : std::max<std::int64_t>(1, static_cast<std::int64_t>(groupSamples));
        for (; audioDone < audio.end; audioDone += chunk) {
            audioOut.push_back({MergeStream::kAudio, audioDone, std::min(chunk, audio.end - audioDone)});
        }
    }
    steps.insert(steps.end(), audioAfterVideo.begin(), audioAfterVideo.end());
    return steps;
}
