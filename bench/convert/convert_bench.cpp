// Sizes and times of the MP4, WebM and GIF files ffmpeg.exe makes from a typing, a scrolling and a
// dragging recording, against the AVI: ZMBV at 960 × 540, a grab every 10 slots of the 200
// frames/s time line (20 a second) for 10 s, no sound, quality 70.
//   convert_bench.exe FOLDER FFMPEG
#include "codec/zmbv_install.h"
#include "convert/ffmpeg_conversion.h"
#include "settings/app_settings.h"
#include "win/file_io.h"
#include "zmbv_recording.h"
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
    if (!ChooseZmbv(kWidth, kHeight)) {
        return 1;
    }
    const AppSettings& settings = Settings();
    std::printf("| recording | AVI (ZMBV) | MP4 | WebM | GIF |\n|---|---:|---:|---:|---:|\n");
    for (const Scene scene : {Scene::Typing, Scene::Scrolling, Scene::Dragging}) {
        const std::string avi = folder + "\\" + SceneName(scene) + ".avi";
        const Sequence sequence = MakeSequence(scene, kWidth, kHeight, 32, kFrames);
        const auto draw = [&sequence](std::vector<std::uint8_t>& pixels, int n) { pixels = sequence.frames[n]; };
        if (!WriteZmbvRecording(avi, kWidth, kHeight, kFrames, kSlotsPerGrab, draw)) {
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
