#include "convert/movie_format.h"

#include <algorithm>

const std::array<MovieFormatFacts, 4> kMovieFormats = {{
    {MovieFormat::Avi, "AVI", "avi", "AVI movie (*.avi)"},
    {MovieFormat::Mp4, "MP4", "mp4", "MP4 video, plays everywhere (*.mp4)"},
    {MovieFormat::WebM, "WebM", "webm", "WebM video (*.webm)"},
    {MovieFormat::Gif, "GIF", "gif", "GIF animation (*.gif)"},
}};

namespace {
bool EndsWithExtension(const std::string& name, std::string_view extension)
{
    if (name.size() <= extension.size() + 1 || name[name.size() - extension.size() - 1] != '.') {
        return false;
    }
    return std::equal(extension.begin(), extension.end(), name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b); });
}
} // namespace

const MovieFormatFacts& FactsOf(MovieFormat format)
{
    return kMovieFormats[static_cast<std::size_t>(format)];
}

MovieFormat FormatFromSetting(std::int32_t value)
{
    return value >= 0 && value < static_cast<std::int32_t>(kMovieFormats.size()) ? static_cast<MovieFormat>(value)
                                                                                  : MovieFormat::Avi;
}

std::int32_t SettingFromFormat(MovieFormat format)
{
    return static_cast<std::int32_t>(format);
}

OutputName ResolveOutputName(const std::string& chosen, MovieFormat picked)
{
    for (const MovieFormatFacts& facts : kMovieFormats) {
        if (EndsWithExtension(chosen, facts.extension)) {
            return {facts.format, chosen};
        }
    }
    return {picked, chosen + "." + std::string(FactsOf(picked).extension)};
}

std::string AviNameFor(const OutputName& output, const std::function<bool(const std::string&)>& taken)
{
    const std::size_t extension = FactsOf(output.format).extension.size() + 1;
    const std::string stem = output.path.substr(0, output.path.size() - extension);
    std::string name = stem + ".avi";
    for (int number = 2; taken(name); ++number) {
        name = stem + " (" + std::to_string(number) + ").avi";
    }
    return name;
}
