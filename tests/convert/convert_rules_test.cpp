#include "convert/ffmpeg_command.h"
#include "convert/ffmpeg_output.h"
#include "convert/ffmpeg_search.h"
#include "convert/movie_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {
// The value after an option, or "<none>".
std::string After(const std::vector<std::string>& arguments, const std::string& option)
{
    const auto it = std::find(arguments.begin(), arguments.end(), option);
    return it == arguments.end() || it + 1 == arguments.end() ? "<none>" : *(it + 1);
}

bool Has(const std::vector<std::string>& arguments, const std::string& argument)
{
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

// How a Windows program's C runtime splits its command line (the rules CommandLineToArgvW follows).
std::vector<std::string> SplitLikeTheRuntime(const std::string& line)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i == line.size()) {
            break;
        }
        std::string argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
            std::size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++slashes, ++i;
            }
            if (i < line.size() && line[i] == '"') {
                argument.append(slashes / 2, '\\');
                if (slashes % 2) {
                    argument += '"';
                } else {
                    quoted = !quoted;
                }
            } else {
                argument.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
                    argument += line[i];
                } else {
                    --i;
                }
            }
        }
        out.push_back(argument);
    }
    return out;
}
} // namespace

// What each format asks of ffmpeg: the codecs players expect, sizes they accept, frames at their own
// times (never copies filling the movie's empty slots), progress on standard output.
TEST(ConvertRules, EachFormatAsksForWhatItsPlayersNeed)
{
    struct Row {
        MovieFormat format;
        const char* muxer;
        const char* video;     // codec, or the filter that makes the GIF
        const char* audio;     // codec, "<none>" when the format has no sound
        const char* videoFilter;
    };
    const Row rows[] = {
        {MovieFormat::Mp4, "mp4", "libx264", "aac", "pad=ceil(iw/2)*2:ceil(ih/2)*2"},
        {MovieFormat::WebM, "webm", "libvpx-vp9", "libopus", "<none>"},
        {MovieFormat::Gif, "gif", "<none>", "<none>", "select="},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.muxer);
        const auto a = FfmpegArguments(row.format, "C:\\in put.avi", "D:\\out.partial", 7000);
        EXPECT_EQ(After(a, "-i"), "C:\\in put.avi");
        EXPECT_EQ(a.back(), "D:\\out.partial");
        EXPECT_EQ(After(a, "-f"), row.muxer) << "the output's temporary name says nothing of its format";
        EXPECT_EQ(After(a, "-c:v"), row.video);
        EXPECT_EQ(After(a, "-c:a"), row.audio);
        EXPECT_EQ(After(a, "-vf").rfind(row.videoFilter, 0), 0u) << After(a, "-vf");
        EXPECT_EQ(After(a, "-vsync"), "vfr");
        EXPECT_EQ(After(a, "-progress"), "pipe:1");
        EXPECT_EQ(After(a, "-loglevel"), "error");
        EXPECT_EQ(After(a, "-map"), "0:v:0");
        // A movie without sound converts too: its sound is asked for only where there is some.
        EXPECT_EQ(Has(a, "0:a:0?"), std::string(row.audio) != "<none>");
        EXPECT_EQ(Has(a, "-an"), std::string(row.audio) == "<none>");
        if (row.format != MovieFormat::Gif) {
            EXPECT_EQ(After(a, "-pix_fmt"), "yuv420p");
        }
    }
    const auto mp4 = FfmpegArguments(MovieFormat::Mp4, "in", "out", 7000);
    EXPECT_EQ(After(mp4, "-movflags"), "+faststart");
    const std::string gif = After(FfmpegArguments(MovieFormat::Gif, "in", "out", 7000), "-vf");
    EXPECT_NE(gif.find("floor(t*20)"), std::string::npos) << gif;
    EXPECT_NE(gif.find("palettegen"), std::string::npos);
    EXPECT_NE(gif.find("paletteuse"), std::string::npos);
    EXPECT_EQ(After(FfmpegArguments(MovieFormat::Gif, "in", "out", 7000), "-final_delay"), "5");
}

TEST(ConvertRules, QualityMapsOntoEachEncodersScaleInOrder)
{
    struct Row {
        int (*map)(std::int32_t);
        int worst, atDefault, best;
        bool higherIsBetter;
    };
    const Row rows[] = {
        {&H264QualityFactor, 36, 23, 18, false},
        {&Vp9QualityFactor, 48, 31, 24, false},
        {&GifColours, 16, 184, 256, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.map(0), row.worst);
        EXPECT_EQ(row.map(7000), row.atDefault);
        EXPECT_EQ(row.map(10000), row.best);
        EXPECT_EQ(row.map(-5), row.worst) << "out of range settings are clamped";
        EXPECT_EQ(row.map(2'000'000'000), row.best);
        for (std::int32_t q = 0; q < 10000; q += 250) {
            const int step = row.map(q + 250) - row.map(q);
            EXPECT_TRUE(row.higherIsBetter ? step >= 0 : step <= 0) << q;
        }
    }
    EXPECT_EQ(After(FfmpegArguments(MovieFormat::Mp4, "i", "o", 10000), "-crf"), "18");
    EXPECT_EQ(After(FfmpegArguments(MovieFormat::WebM, "i", "o", 0), "-crf"), "48");
}

// Arguments reach ffmpeg as they were meant, whatever quotes, blanks and backslashes they hold.
TEST(ConvertRules, CommandLineSurvivesTheRuntimesParsingSeeded)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const std::string alphabet = "ab \\\"\t:.";
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> arguments(random() % 5);
        for (std::string& argument : arguments) {
            const std::size_t length = random() % 8;
            for (std::size_t i = 0; i < length; ++i) {
                argument += alphabet[random() % alphabet.size()];
            }
        }
        const std::string program = "C:\\Program Files\\ffmpeg\\ffmpeg.exe";
        std::vector<std::string> expected{program};
        expected.insert(expected.end(), arguments.begin(), arguments.end());
        EXPECT_EQ(SplitLikeTheRuntime(JoinCommandLine(program, arguments)), expected);
    }
}

TEST(ConvertRules, TheFormatFollowsTheNamesExtensionElseThePickedType)
{
    struct Row {
        const char* chosen;
        MovieFormat picked;
        MovieFormat format;
        const char* path;
        const char* avi; // where the AVI is kept; "x.avi" is taken
    };
    const Row rows[] = {
        {"C:\\m\\demo", MovieFormat::Mp4, MovieFormat::Mp4, "C:\\m\\demo.mp4", "C:\\m\\demo.avi"},
        {"C:\\m\\demo.GIF", MovieFormat::Avi, MovieFormat::Gif, "C:\\m\\demo.GIF", "C:\\m\\demo.avi"},
        {"C:\\m\\demo.webm", MovieFormat::Gif, MovieFormat::WebM, "C:\\m\\demo.webm", "C:\\m\\demo.avi"},
        {"C:\\m\\demo.avi", MovieFormat::Mp4, MovieFormat::Avi, "C:\\m\\demo.avi", "C:\\m\\demo.avi"},
        {"C:\\m\\v1.2", MovieFormat::WebM, MovieFormat::WebM, "C:\\m\\v1.2.webm", "C:\\m\\v1.2.avi"},
        {"C:\\m.mp4\\demo", MovieFormat::Gif, MovieFormat::Gif, "C:\\m.mp4\\demo.gif", "C:\\m.mp4\\demo.avi"},
        {".mp4", MovieFormat::Avi, MovieFormat::Avi, ".mp4.avi", ".mp4.avi"},
        {"x.mp4", MovieFormat::Mp4, MovieFormat::Mp4, "x.mp4", "x (3).avi"},
    };
    const std::set<std::string> taken = {"x.avi", "x (2).avi"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chosen);
        const OutputName output = ResolveOutputName(row.chosen, row.picked);
        EXPECT_EQ(output.format, row.format);
        EXPECT_EQ(output.path, row.path);
        EXPECT_EQ(AviNameFor(output, [&taken](const std::string& name) { return taken.count(name) > 0; }), row.avi);
    }
    for (std::int32_t value = -1; value <= 4; ++value) {
        const MovieFormat format = FormatFromSetting(value);
        EXPECT_EQ(SettingFromFormat(format), value >= 0 && value < 4 ? value : 0);
    }
}

TEST(ConvertRules, ProgressGrowsToTheEndAndOnlyTheEndIsWhole)
{
    struct Row {
        const char* text;
        std::optional<int> percent; // what Take reports
    };
    // A 10 s movie; pieces arrive as the pipe hands them over, split anywhere.
    FfmpegProgress progress(10'000'000);
    const Row rows[] = {
        {"frame=1\nout_time=-00:00:00.0", std::nullopt},
        {"40000\nprogress=continue\n", std::nullopt},
        {"out_time_us=2500000\nout_time=00:00:02.500000\r\n", 25},
        {"out_time=00:00:02.4\n", std::nullopt}, // never back
        {"out_time=garbage\nout_time=00:00:0x.1\nhello\n", std::nullopt},
        {"out_time=00:00:07.5\n", 75},
        {"out_time=00:01:00.000000\n", 99}, // past the duration: not done until it says so
        {"progress=end", std::nullopt},
        {"\n", 100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(progress.Take(row.text), row.percent);
    }
    EXPECT_TRUE(progress.ended());
    FfmpegProgress unknownLength(0);
    EXPECT_EQ(unknownLength.Take("out_time=00:00:01.000000\n"), std::nullopt);
    EXPECT_EQ(unknownLength.Take("progress=end\n"), 100);
}

TEST(ConvertRules, LastErrorLineSkipsTheClosingWords)
{
    EXPECT_EQ(LastErrorLine("x.avi: Invalid data found when processing input\r\n"),
              "x.avi: Invalid data found when processing input");
    EXPECT_EQ(LastErrorLine("first\nD:\\o.mp4: No space left on device\nConversion failed!\n\n"),
              "D:\\o.mp4: No space left on device");
    EXPECT_EQ(LastErrorLine(" \r\n"), "");
}

TEST(ConvertRules, FfmpegIsLookedForBesideTheProgramThenOnThePathThenWhereChosen)
{
    EXPECT_EQ(FfmpegCandidates("C:\\Framelark", "C:\\bin;;\"D:\\my tools\\\";E:\\x\\", "F:\\ff.exe"),
              (std::vector<std::string>{"C:\\Framelark\\ffmpeg.exe", "C:\\bin\\ffmpeg.exe", "D:\\my tools\\ffmpeg.exe",
                                        "E:\\x\\ffmpeg.exe", "F:\\ff.exe"}));
    EXPECT_EQ(FfmpegCandidates("", "\"\";", ""), std::vector<std::string>{});
}
