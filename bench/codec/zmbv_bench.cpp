// ZMBV encoder benchmark on the test scenes, as raw top-down frames in ffmpeg's pixel formats
// (16 bits: rgb555le, 32 bits: bgr0).
//   zmbv_bench write <typing|scrolling|dragging|bars|far-bars> <out.raw> <width> <height> <bits> <frames>
//   zmbv_bench encode <in.raw> <width> <height> <bits> <quality> <keyint>
//        encodes as bottom-up screen grabs; prints frames, bytes/frame, processor ms/frame of the
//        encode calls, and "lossless" when every frame decodes back to its input
//   zmbv_bench video1 <in.raw> <width> <height> <bits> <keyint>
//        the same frames through Video 1 at its default quality; prints frames and bytes/frame
#include "codec/video1_encoder.h"
#include "codec/zmbv_decoder.h"
#include "codec/zmbv_encoder.h"
#include "zmbv_test_scenes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, CloseFile>;

int Write(const std::string& name, const char* path, int width, int height, int bits, int frames)
{
    Scene scene = Scene::Typing;
    if (name == "scrolling") {
        scene = Scene::Scrolling;
    } else if (name == "dragging") {
        scene = Scene::Dragging;
    } else if (name == "bars") {
        scene = Scene::Bars;
    } else if (name == "far-bars") {
        scene = Scene::FarBars;
    } else if (name != "typing") {
        return 2;
    }
    File out(std::fopen(path, "wb"));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    // A few frames at a time: a long 1080p sequence does not fit in memory at once.
    constexpr int kBatch = 8;
    for (int first = 0; first < frames; first += kBatch) {
        const Sequence batch = MakeSequence(scene, width, height, bits, std::min(frames, first + kBatch));
        for (std::size_t n = static_cast<std::size_t>(first); n < batch.frames.size(); ++n) {
            const std::vector<std::uint8_t> picture = CodedPicture(batch, n);
            if (std::fwrite(picture.data(), 1, picture.size(), out.get()) != picture.size()) {
                return 1;
            }
        }
    }
    return 0;
}

// Reads top-down frames and hands them over as bottom-up screen grabs.
class Frames {
public:
    Frames(const char* path, int width, int height, int bits)
        : m_file(std::fopen(path, "rb")), m_height(height), m_row(static_cast<std::size_t>(width) * static_cast<std::size_t>(bits / 8)),
          m_stride(zmbv::InputStride(width, bits)), m_raw(m_row * static_cast<std::size_t>(height)),
          m_grab(m_stride * static_cast<std::size_t>(height), 0)
    {
    }
    bool next()
    {
        if (!m_file || std::fread(m_raw.data(), 1, m_raw.size(), m_file.get()) != m_raw.size()) {
            return false;
        }
        for (int y = 0; y < m_height; ++y) {
            std::copy_n(m_raw.data() + static_cast<std::size_t>(y) * m_row, m_row,
                        m_grab.data() + static_cast<std::size_t>(m_height - 1 - y) * m_stride);
        }
        return true;
    }
    const std::vector<std::uint8_t>& raw() const { return m_raw; }
    const std::vector<std::uint8_t>& grab() const { return m_grab; }

private:
    File m_file;
    int m_height;
    std::size_t m_row;
    std::size_t m_stride;
    std::vector<std::uint8_t> m_raw;
    std::vector<std::uint8_t> m_grab;
};

int Encode(const char* path, int width, int height, int bits, int quality, int keyInterval)
{
    Frames frames(path, width, height, bits);
    zmbv::Encoder encoder;
    zmbv::Decoder decoder;
    if (!encoder.begin(width, height, bits) || !decoder.begin(width, height)) {
        return 1;
    }
    std::vector<std::uint8_t> out(zmbv::MaxFrameBytes(width, height, bits));
    std::clock_t processor = 0;
    double bytes = 0;
    bool lossless = true;
    int count = 0;
    for (; frames.next(); ++count) {
        const std::clock_t start = std::clock();
        const std::size_t size = encoder.encode(frames.grab().data(), nullptr, quality, count % keyInterval == 0, out.data());
        processor += std::clock() - start;
        bytes += static_cast<double>(size);
        lossless = lossless && decoder.decode(out.data(), size) == zmbv::DecodeResult::Ok && decoder.picture() == frames.raw();
    }
    if (count == 0) {
        return 1;
    }
    std::printf("%d %.0f %.3f %s\n", count, bytes / count, 1000.0 * static_cast<double>(processor) / CLOCKS_PER_SEC / count,
                lossless ? "lossless" : "LOST");
    return lossless ? 0 : 1;
}

int Video1(const char* path, int width, int height, int bits, int keyInterval)
{
    Frames frames(path, width, height, bits);
    video1::Encoder encoder;
    if (!encoder.begin(width, height, bits)) {
        return 1;
    }
    std::vector<std::uint8_t> out(video1::MaxFrameBytes(width, height));
    double bytes = 0;
    int count = 0;
    for (; frames.next(); ++count) {
        bytes += static_cast<double>(encoder.encode(frames.grab().data(), video1::kDefaultQuality, count % keyInterval == 0, out.data()));
    }
    std::printf("%d %.0f\n", count, count ? bytes / count : 0.0);
    return count ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const auto number = [&](int i) { return std::atoi(argv[i]); };
    if (command == "write" && argc == 8) {
        return Write(argv[2], argv[3], number(4), number(5), number(6), number(7));
    }
    if (command == "encode" && argc == 8) {
        return Encode(argv[2], number(3), number(4), number(5), number(6), std::max(1, number(7)));
    }
    if (command == "video1" && argc == 7) {
        return Video1(argv[2], number(3), number(4), number(5), std::max(1, number(6)));
    }
    std::fprintf(stderr, "usage: see the comment at the top of zmbv_bench.cpp\n");
    return 2;
}
