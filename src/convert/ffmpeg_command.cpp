#include "convert/ffmpeg_command.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::int32_t kBestQuality = 10000;

// From worst to best, rounded to the nearest step.
int Between(std::int32_t quality, int worst, int best)
{
    const double share = static_cast<double>(std::clamp<std::int32_t>(quality, 0, kBestQuality)) / kBestQuality;
    return static_cast<int>(std::lround(worst + (best - worst) * share));
}

std::string Quote(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
        return argument;
    }
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only before a quote, which is escaped itself.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}
} // namespace

int H264QualityFactor(std::int32_t quality)
{
    return Between(quality, 36, 18);
}

int Vp9QualityFactor(std::int32_t quality)
{
    return Between(quality, 48, 24);
}

int GifColours(std::int32_t quality)
{
    return Between(quality, 16, 256);
}

std::vector<std::string> FfmpegArguments(MovieFormat format, const std::string& input, const std::string& output,
                                         std::int32_t quality)
{
    std::vector<std::string> a = {"-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y", "-i", input,
                                  "-map", "0:v:0"};
    // The movie's time line has a slot for every possible frame, most of them empty: frames keep
    // their own times instead of becoming copies that fill the empty slots.
    const std::vector<std::string> ownTimes = {"-vsync", "vfr"};
    switch (format) {
    case MovieFormat::Mp4:
        // Players want 4:2:0, whose sizes are even; the index first lets a page play while loading.
        a.insert(a.end(), {"-map", "0:a:0?", "-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2", "-c:v", "libx264", "-preset",
                           "veryfast", "-crf", std::to_string(H264QualityFactor(quality)), "-pix_fmt", "yuv420p",
                           "-c:a", "aac", "-b:a", "128k", "-movflags", "+faststart"});
        a.insert(a.end(), ownTimes.begin(), ownTimes.end());
        a.insert(a.end(), {"-f", "mp4"});
        break;
    case MovieFormat::WebM:
        a.insert(a.end(), {"-map", "0:a:0?", "-c:v", "libvpx-vp9", "-crf", std::to_string(Vp9QualityFactor(quality)),
                           "-b:v", "0", "-deadline", "good", "-cpu-used", "4", "-row-mt", "1", "-pix_fmt", "yuv420p",
                           "-c:a", "libopus", "-b:a", "96k"});
        a.insert(a.end(), ownTimes.begin(), ownTimes.end());
        a.insert(a.end(), {"-f", "webm"});
        break;
    case MovieFormat::Gif: {
        // The first frame of each 1/20 s is kept and the others dropped, so none is ever repeated;
        // the palette is made from the whole movie, then used, in one pass of the filter graph.
        const std::string rate = std::to_string(kGifFramesPerSecond);
        a.insert(a.end(), {"-vf",
                           "select='isnan(prev_selected_t)+gt(floor(t*" + rate + ")\\,floor(prev_selected_t*" + rate +
                               "))',split[a][b];[a]palettegen=max_colors=" + std::to_string(GifColours(quality)) +
                               ":stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle",
                           "-an", "-loop", "0"});
        // The last picture shows for one picture's time; by default it would repeat the delay
        // before it, which may be a long pause, and outlast the movie.
        a.insert(a.end(), {"-final_delay", std::to_string(100 / kGifFramesPerSecond)});
        a.insert(a.end(), ownTimes.begin(), ownTimes.end());
        a.insert(a.end(), {"-f", "gif"});
        break;
    }
    case MovieFormat::Avi: // the recording itself: never converted
        break;
    }
    a.insert(a.end(), {"-progress", "pipe:1", output});
    return a;
}

std::string JoinCommandLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = Quote(program);
    for (const std::string& argument : arguments) {
        line += ' ';
        line += Quote(argument);
    }
    return line;
}
