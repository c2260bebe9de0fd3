#pragma once
// The kinds of file a recording can be saved as, and the name it is saved under. Only the AVI is
// Framelark's own; the others are made from it by ffmpeg.exe.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class MovieFormat : std::uint8_t { Avi, Mp4, WebM, Gif };

struct MovieFormatFacts {
    MovieFormat format;
    std::string_view name;      // as the user's notes say it
    std::string_view extension; // without the point
    std::string_view label;     // the Save dialog's file type
};
// In the Save dialog's order, which is also the order of the saveFormat setting's numbers.
extern const std::array<MovieFormatFacts, 4> kMovieFormats;

const MovieFormatFacts& FactsOf(MovieFormat format);

// The stored setting: anything unknown reads as the AVI.
MovieFormat FormatFromSetting(std::int32_t value);
std::int32_t SettingFromFormat(MovieFormat format);

struct OutputName {
    MovieFormat format;
    std::string path;
};

// A name that ends in one of the formats' extensions is saved in that format, whatever type was
// picked; any other name gets the picked type's extension.
OutputName ResolveOutputName(const std::string& chosen, MovieFormat picked);

// Where the AVI is kept while it is converted, and for good when the conversion fails: the same
// name with the AVI's extension, or "name (2).avi" and so on where that names a file already
// there, which the user never chose to replace.
std::string AviNameFor(const OutputName& output, const std::function<bool(const std::string&)>& taken);
