// ffmpeg's msvideo1 decoder, an independent one, must show exactly the encoder's reconstruction.
#include "codec/video1_encoder.h"
#include "video1_test_frames.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::vector<std::uint8_t> RunFfmpeg(const std::string& movie, const std::string& errors)
{
    const std::string command = "ffmpeg -nostdin -v error -i '" + movie +
                                "' -fps_mode passthrough -f rawvideo -pix_fmt rgb555le - 2>'" + errors + "'";
    std::vector<std::uint8_t> output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return output;
    }
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.insert(output.end(), buffer, buffer + got);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

TEST(Video1InFfmpeg, DecodesToTheReconstruction)
{
    struct Case {
        int width, height, bits, quality;
    };
    const Case cases[] = {{4, 4, 32, 7000},     {320, 240, 16, 0},     {320, 240, 24, 7000},
                          {321, 241, 32, 10000}, {321, 241, 16, 5000}, {1366, 768, 32, 7000}};
    const bool keys[] = {true, false, false, true, false, false};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " q" << c.quality);
        video1::Encoder encoder;
        ASSERT_TRUE(encoder.begin(c.width, c.height, c.bits));
        std::vector<CompressedFrame> frames;
        std::vector<std::vector<std::uint16_t>> pictures;
        for (int n = 0; n < 6; ++n) {
            const TestFrame frame = MovingScene(c.width, c.height, c.bits, n == 4 ? 3 : n);
            CompressedFrame compressed;
            compressed.data.resize(video1::MaxFrameBytes(c.width, c.height));
            compressed.data.resize(encoder.encode(frame.pixels.data(), c.quality, keys[n], compressed.data.data()));
            compressed.key = keys[n];
            frames.push_back(std::move(compressed));
            pictures.push_back(encoder.reconstruction());
        }
        const int w = encoder.codedWidth();
        const int h = encoder.codedHeight();
        const std::string movie = testing::TempDir() + "video1_ffmpeg_test.avi";
        const std::string errorsPath = movie + ".errors";
        ASSERT_TRUE(WriteTestAvi(movie, "MSVC", "CRAM", 16, w, h, frames));
        const std::vector<std::uint8_t> decoded = RunFfmpeg(movie, errorsPath);
        std::ifstream errorsFile(errorsPath);
        const std::string errors((std::istreambuf_iterator<char>(errorsFile)), std::istreambuf_iterator<char>());
        EXPECT_EQ(errors, "");
        const std::size_t frameBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 2;
        ASSERT_EQ(decoded.size(), frameBytes * frames.size());
        for (std::size_t n = 0; n < frames.size(); ++n) {
            std::size_t mismatches = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    // ffmpeg's rows run top-down, the reconstruction's bottom-up.
                    const std::uint8_t* p = decoded.data() + n * frameBytes + (static_cast<std::size_t>(y) * w + x) * 2;
                    const int pixel = (p[0] | (p[1] << 8)) & 0x7FFF; // bit 15 is no colour
                    mismatches += pixel != pictures[n][static_cast<std::size_t>(h - 1 - y) * w + x];
                }
            }
            EXPECT_EQ(mismatches, 0u) << "frame " << n;
        }
        std::remove(movie.c_str());
        std::remove(errorsPath.c_str());
    }
}

} // namespace
