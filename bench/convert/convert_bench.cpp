// Sizes and times of the MP4, WebM and GIF files ffmpeg.exe makes from a typing, a scrolling and a
// dragging recording, against the AVI: ZMBV at 960 × 540, a grab every 10 slots of the 200
// frames/s time line (20 a second) for 10 s, no sound, quality 70.
//   convert_bench.exe FOLDER FFMPEG
#include "codec/zmbv_driver.h"
#include "codec/zmbv_install.h"
#include "convert/ffmpeg_conversion.h"
#include "recording/movie_writer.h"
#include "settings/app_settings.h"
#include "win/file_io.h"
#include "zmbv_test_scenes.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr int kWidth = 960;
constexpr int kHeight = 540;
constexpr int kFrames = 200;
constexpr std::uint32_t kSlotsPerGrab = 10;

bool WriteRecording(const Sequence& sequence, const std::string& path)
{
    std::vector<std::uint8_t> frame(sizeof(BITMAPINFOHEADER) + sequence.frames[0].size());
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(frame.data());
    *header = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 32, BI_RGB,
                               static_cast<DWORD>(sequence.frames[0].size()), 0, 0, 0, 0};
    CMovieWriter writer;
    if (writer.Open(path, 200, header) != 0) {
        return false;
    }
    for (std::size_t n = 0; n < sequence.frames.size(); ++n) {
        std::memcpy(frame.data() + sizeof(BITMAPINFOHEADER), sequence.frames[n].data(), sequence.frames[n].size());
        if (writer.Write(header, static_cast<std::uint32_t>(n) * kSlotsPerGrab) != 0) {
            return false;
        }
    }
    writer.ReleaseOptions();
    writer.ReleaseMovie();
    return true;
}

double Megabytes(const std::string& path)
{
    return static_cast<double>(FileSize(path).value_or(0)) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: convert_bench.exe FOLDER FFMPEG\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string ffmpeg = argv[2];
    if (!InstallZmbvIfNeeded(32, kWidth, kHeight)) {
        std::fprintf(stderr, "ZMBV could not be installed\n");
        return 1;
    }
    AppSettings& settings = Settings();
    settings.compfccHandler = static_cast<std::int32_t>(kFourCCZmbv);
    settings.keyFramesEvery = 200;
    settings.compquality = 7000;
    std::printf("| recording | AVI (ZMBV) | MP4 | WebM | GIF |\n|---|---:|---:|---:|---:|\n");
    for (const Scene scene : {Scene::Typing, Scene::Scrolling, Scene::Dragging}) {
        const std::string avi = folder + "\\" + SceneName(scene) + ".avi";
        if (!WriteRecording(MakeSequence(scene, kWidth, kHeight, 32, kFrames), avi)) {
            std::fprintf(stderr, "the recording could not be written\n");
            return 1;
        }
        std::printf("| %s | %.2f MB |", SceneName(scene), Megabytes(avi));
        for (const MovieFormat format : {MovieFormat::Mp4, MovieFormat::WebM, MovieFormat::Gif}) {
            const std::string output = avi.substr(0, avi.size() - 3) + std::string(FactsOf(format).extension);
            const std::atomic<bool> cancel{false};
            const auto start = std::chrono::steady_clock::now();
            const ConversionResult result =
                ConvertMovie({ffmpeg, format, avi, output, settings.compquality}, [](int) {}, cancel);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            if (result.end != ConversionResult::End::Converted) {
                std::printf(" failed: %s |", result.why.c_str());
            } else {
                std::printf(" %.2f MB, %.1f s |", Megabytes(output), took.count());
            }
            std::fflush(stdout);
            DeleteLargeFile(output);
        }
        std::printf("\n");
        DeleteLargeFile(avi);
    }
    RemoveZmbv();
    return 0;
}
