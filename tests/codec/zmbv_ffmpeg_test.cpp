// ffmpeg's zmbv decoder, the one players use, must show exactly the source pixels: its frame
// checksums of our movie equal its checksums of the source frames.
#include "codec/zmbv_encoder.h"
#include "test_avi.h"
#include "zmbv_test_scenes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// A file of this test alone: the tests run side by side, and other programs use the same folder.
std::string ScratchFile(const std::string& ending)
{
    return testing::TempDir() + "zmbv_" + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
           std::to_string(getpid()) + ending;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The checksum lines of ffmpeg's framemd5 output, without its comment lines.
std::string FrameChecksums(const std::string& input, const std::string& pixelFormat, const std::string& errors)
{
    const std::string out = ScratchFile(".md5");
    const std::string command = "ffmpeg -nostdin -v error -y " + input + " -fps_mode passthrough -pix_fmt " + pixelFormat +
                                " -f framemd5 '" + out + "' 2>'" + errors + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string checksums;
    std::ifstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') {
            checksums += line.substr(line.rfind(',') + 1) + "\n";
        }
    }
    std::remove(out.c_str());
    return checksums;
}

void ExpectFfmpegShowsTheSource(const Sequence& sequence, const std::vector<bool>& keys, int quality = zmbv::kDefaultQuality)
{
    zmbv::Encoder encoder;
    ASSERT_TRUE(encoder.begin(sequence.width, sequence.height, sequence.bits));
    const std::string movie = ScratchFile(".avi");
    const std::string raw = ScratchFile(".raw");
    const std::string errors = movie + ".errors";
    std::vector<CompressedFrame> frames;
    std::ofstream sourceFile(raw, std::ios::binary);
    for (std::size_t n = 0; n < sequence.frames.size(); ++n) {
        CompressedFrame compressed;
        compressed.key = n == 0 || (n < keys.size() && keys[n]);
        compressed.data.resize(zmbv::MaxFrameBytes(sequence.width, sequence.height, sequence.bits));
        compressed.data.resize(encoder.encode(sequence.frames[n].data(), sequence.bits == 8 ? sequence.palettes[n].data() : nullptr,
                                              quality, compressed.key, compressed.data.data()));
        frames.push_back(std::move(compressed));
        const std::vector<std::uint8_t> shown = ShownPicture(sequence, n);
        sourceFile.write(reinterpret_cast<const char*>(shown.data()), static_cast<std::streamsize>(shown.size()));
    }
    sourceFile.close();
    const int bits = sequence.bits == 24 ? 32 : sequence.bits;
    ASSERT_TRUE(WriteTestAvi(movie, "ZMBV", "ZMBV", bits, sequence.width, sequence.height, frames));
    // Pixels without the fourth byte, which carries no colour.
    const std::string source = sequence.bits == 16 ? "rgb555le" : "bgr0";
    const std::string format = sequence.bits == 16 ? "rgb555le" : "rgb24";
    const std::string size = std::to_string(sequence.width) + "x" + std::to_string(sequence.height);
    const std::string decoded = FrameChecksums("-i '" + movie + "'", format, errors);
    EXPECT_EQ(ReadFile(errors), "");
    const std::string expected = FrameChecksums("-f rawvideo -pix_fmt " + source + " -s " + size + " -i '" + raw + "'", format, errors);
    EXPECT_EQ(std::count(decoded.begin(), decoded.end(), '\n'), static_cast<long>(sequence.frames.size()));
    EXPECT_EQ(decoded, expected);
    for (const std::string& path : {movie, raw, errors}) {
        std::remove(path.c_str());
    }
}

TEST(ZmbvInFfmpeg, ScenesDecodeToTheSourcePixels)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {37, 23}, {333, 211}};
    for (const Scene scene : {Scene::Typing, Scene::Scrolling, Scene::Dragging}) {
        for (const int bits : {8, 16, 24, 32}) {
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(testing::Message() << SceneName(scene) << " " << width << "x" << height << "x" << bits);
                // 16 and 32 bits at the highest effort; small blocks from the second key frame where content moves.
                ExpectFfmpegShowsTheSource(MakeSequence(scene, width, height, bits, 12), {false, false, false, false, false, false, true},
                                           bits % 16 == 0 ? zmbv::kMaxQuality : zmbv::kDefaultQuality);
            }
        }
    }
    SCOPED_TRACE("palette changes");
    ExpectFfmpegShowsTheSource(MakeSequence(Scene::Recolour, 200, 120, 8, 12), {});
}

TEST(ZmbvInFfmpeg, A4kScreenDecodesToTheSourcePixels)
{
    ExpectFfmpegShowsTheSource(MakeSequence(Scene::Dragging, 3840, 2160, 32, 4), {});
}

} // namespace
