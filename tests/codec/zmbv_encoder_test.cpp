#include "codec/zmbv_decoder.h"
#include "codec/zmbv_encoder.h"
#include "zmbv_test_scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

struct Coded {
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t keyBytes = 0;
    std::size_t otherBytes = 0;
};

// Encodes the sequence (a key frame where asked) and checks each frame in the decoder.
Coded EncodeAndCheck(const Sequence& sequence, const std::vector<bool>& keys = {}, int quality = zmbv::kDefaultQuality)
{
    Coded coded;
    zmbv::Encoder encoder;
    zmbv::Decoder decoder;
    EXPECT_TRUE(encoder.begin(sequence.width, sequence.height, sequence.bits));
    EXPECT_TRUE(decoder.begin(sequence.width, sequence.height));
    std::vector<std::uint8_t> out(zmbv::MaxFrameBytes(sequence.width, sequence.height, sequence.bits));
    for (std::size_t n = 0; n < sequence.frames.size(); ++n) {
        const bool key = n < keys.size() && keys[n];
        const std::uint8_t* palette = sequence.bits == 8 ? sequence.palettes[n].data() : nullptr;
        const std::size_t size = encoder.encode(sequence.frames[n].data(), palette, quality, key, out.data());
        EXPECT_EQ(encoder.lastWasKeyFrame(), key || n == 0) << "frame " << n;
        EXPECT_EQ(decoder.decode(out.data(), size), zmbv::DecodeResult::Ok) << "frame " << n;
        EXPECT_TRUE(decoder.picture() == CodedPicture(sequence, n)) << "frame " << n;
        for (std::size_t i = 0; sequence.bits == 8 && i < 256; ++i) {
            EXPECT_EQ(decoder.palette()[i * 3 + 2], sequence.palettes[n][i * 4]) << "frame " << n << " entry " << i;
        }
        (encoder.lastWasKeyFrame() ? coded.keyBytes : coded.otherBytes) += size;
        coded.frames.emplace_back(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size));
    }
    return coded;
}

TEST(ZmbvEncoder, ScenesAtEveryDepthAndSizeDecodeToTheirPixels)
{
    // 203 x 389: coded in two bands of block rows, the last one short, and deflated in two halves.
    const std::pair<int, int> sizes[] = {{1, 1}, {17, 15}, {33, 31}, {320, 240}, {203, 389}};
    for (const Scene scene : {Scene::Typing, Scene::Scrolling, Scene::Dragging}) {
        for (const int bits : {8, 16, 24, 32}) {
            for (const auto& [width, height] : sizes) {
                SCOPED_TRACE(testing::Message() << SceneName(scene) << " " << width << "x" << height << "x" << bits);
                const int quality = bits % 16 == 0 ? zmbv::kMaxQuality : zmbv::kDefaultQuality;
                const Coded coded = EncodeAndCheck(MakeSequence(scene, width, height, bits, 8), {false, false, false, false, true}, quality);
                // The second key frame's blocks follow the first interval: small where windows or text moved.
                EXPECT_EQ(coded.frames[0][5], zmbv::kLargeBlock);
                if (width >= 200 && scene != Scene::Typing) {
                    EXPECT_EQ(coded.frames[4][5], zmbv::kSmallBlock);
                    EXPECT_EQ(coded.frames[4][6], zmbv::kSmallBlock);
                }
            }
        }
    }
}

TEST(ZmbvEncoder, BlocksStayLargeWhereTheWholeScreenMovesInBands)
{
    const Coded coded = EncodeAndCheck(MakeSequence(Scene::Bars, 320, 240, 32, 8), {false, false, false, false, true});
    EXPECT_EQ(coded.frames[4][5], zmbv::kLargeBlock);
}

TEST(ZmbvEncoder, ResendsThePaletteWhenItChanges)
{
    const Sequence sequence = MakeSequence(Scene::Recolour, 64, 48, 8, 10);
    const Coded coded = EncodeAndCheck(sequence);
    for (std::size_t n = 1; n < coded.frames.size(); ++n) {
        EXPECT_EQ((coded.frames[n][0] & zmbv::kPaletteChangeFlag) != 0, sequence.palettes[n] != sequence.palettes[n - 1])
            << "frame " << n;
    }
}

// The whole picture moved by a vector: scrolled (vertical only) or dragged.
std::vector<std::uint8_t> Moved(const Sequence& sequence, int dx, int dy)
{
    const std::size_t stride = zmbv::InputStride(sequence.width, sequence.bits);
    const std::size_t pixel = static_cast<std::size_t>(sequence.bits / 8);
    std::vector<std::uint8_t> moved(sequence.frames[0].size(), 0);
    for (int y = 0; y < sequence.height; ++y) {
        for (int x = 0; x < sequence.width; ++x) {
            const int sx = x - dx;
            const int sy = y + dy; // bottom-up rows: content moving up by dy comes from dy rows lower
            if (sx >= 0 && sx < sequence.width && sy >= 0 && sy < sequence.height) {
                std::copy_n(sequence.frames[0].data() + static_cast<std::size_t>(sy) * stride + static_cast<std::size_t>(sx) * pixel,
                            pixel, moved.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * pixel);
            }
        }
    }
    return moved;
}

TEST(ZmbvEncoder, MovedAndUnchangedPicturesCostLittleBesideAKeyFrame)
{
    const std::pair<int, int> moves[] = {{0, 9}, {0, -40}, {7, -5}, {-33, 21}, {0, 0}};
    for (const auto& [dx, dy] : moves) {
        SCOPED_TRACE(testing::Message() << "moved by " << dx << ", " << dy);
        Sequence sequence = MakeSequence(Scene::Dragging, 640, 480, 32, 1);
        sequence.frames.push_back(Moved(sequence, dx, dy));
        const Coded coded = EncodeAndCheck(sequence);
        // Only the uncovered edge and the blocks across it are new: without the move found, the
        // frame would cost more than the key frame.
        EXPECT_LT(coded.otherBytes * 3, coded.keyBytes);
        if (dx == 0 && dy == 0) {
            EXPECT_LT(coded.otherBytes, 64u);
        }
    }
}

TEST(ZmbvEncoder, NoiseLargerThanTheRawFrameStillDecodes)
{
    Sequence noise{97, 41, 24, {}, {}};
    std::mt19937 random(7);
    for (int n = 0; n < 3; ++n) {
        std::vector<std::uint8_t> frame(zmbv::InputStride(97, 24) * 41);
        for (std::uint8_t& byte : frame) {
            byte = static_cast<std::uint8_t>(random());
        }
        noise.frames.push_back(frame);
    }
    const Coded coded = EncodeAndCheck(noise);
    EXPECT_GT(coded.frames[1].size(), 97u * 41u * 3u);
}

TEST(ZmbvDecoder, RefusesDamagedOrOrphanFramesAndRecoversAtTheNextKeyFrame)
{
    const Sequence sequence = MakeSequence(Scene::Typing, 48, 40, 16, 4);
    const Coded coded = EncodeAndCheck(sequence, {false, false, true});
    zmbv::Decoder decoder;
    ASSERT_TRUE(decoder.begin(48, 40));
    EXPECT_EQ(decoder.decode(coded.frames[1].data(), coded.frames[1].size()), zmbv::DecodeResult::NeedKeyFrame);
    EXPECT_EQ(decoder.decode(nullptr, 0), zmbv::DecodeResult::Empty);
    for (const std::size_t field : {1u, 2u, 3u, 4u, 5u}) {
        std::vector<std::uint8_t> bad = coded.frames[0];
        bad[field] = field == 5 ? 0 : 9;
        EXPECT_EQ(decoder.decode(bad.data(), bad.size()), zmbv::DecodeResult::BadHeader) << "byte " << field;
    }
    EXPECT_EQ(decoder.decode(coded.frames[0].data(), 5), zmbv::DecodeResult::BadHeader);
    EXPECT_EQ(decoder.decode(coded.frames[0].data(), coded.frames[0].size() / 2), zmbv::DecodeResult::BadData);
    ASSERT_EQ(decoder.decode(coded.frames[0].data(), coded.frames[0].size()), zmbv::DecodeResult::Ok);
    std::vector<std::uint8_t> garbled = coded.frames[1];
    std::iota(garbled.begin() + 1, garbled.end(), std::uint8_t{1});
    EXPECT_EQ(decoder.decode(garbled.data(), garbled.size()), zmbv::DecodeResult::BadData);
    EXPECT_EQ(decoder.decode(coded.frames[3].data(), coded.frames[3].size()), zmbv::DecodeResult::NeedKeyFrame);
    ASSERT_EQ(decoder.decode(coded.frames[2].data(), coded.frames[2].size()), zmbv::DecodeResult::Ok);
    ASSERT_EQ(decoder.decode(coded.frames[3].data(), coded.frames[3].size()), zmbv::DecodeResult::Ok);
    EXPECT_TRUE(decoder.picture() == CodedPicture(sequence, 3));
    EXPECT_FALSE(decoder.begin(0, 5));
    EXPECT_FALSE(zmbv::Encoder().begin(5, 5, 15));
}

} // namespace
