#include "codec/video1_encoder.h"
#include "video1_reference_decoder.h"
#include "video1_test_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct Encoded {
    std::vector<std::uint8_t> bytes;
    Video1Decoded decoded;
};

// Encodes one frame and decodes it onto picture with the reference decoder.
Encoded EncodeAndDecode(video1::Encoder& encoder, const TestFrame& frame, int quality, bool key,
                        std::vector<std::uint16_t>& picture)
{
    Encoded result;
    result.bytes.resize(video1::MaxFrameBytes(frame.width, frame.height));
    result.bytes.resize(encoder.encode(frame.pixels.data(), quality, key, result.bytes.data()));
    result.decoded = DecodeVideo1(result.bytes.data(), result.bytes.size(), encoder.codedWidth(),
                                  encoder.codedHeight(), picture);
    return result;
}

double Psnr(const TestFrame& frame, const std::vector<std::uint16_t>& picture, int codedWidth, int codedHeight)
{
    double sse = 0;
    for (int y = 0; y < codedHeight; ++y) {
        for (int x = 0; x < codedWidth; ++x) {
            const std::uint16_t w = picture[static_cast<std::size_t>(codedHeight - 1 - y) * codedWidth + x];
            const std::uint8_t* p = frame.pixels.data() +
                                    video1::InputStride(frame.width, frame.bits) * (frame.height - 1 - y) + x * 4;
            const int decoded[3] = {w & 31, (w >> 5) & 31, (w >> 10) & 31};
            for (int c = 0; c < 3; ++c) {
                const double d = p[c] - ((decoded[c] << 3) | (decoded[c] >> 2));
                sse += d * d;
            }
        }
    }
    return 10 * std::log10(255.0 * 255.0 * 3 * codedWidth * codedHeight / std::max(sse, 1.0));
}

struct Case {
    int width;
    int height;
    int bits;
    int quality;
};

TEST(Video1Encoder, SequencesDecodeToTheReconstructionAndKeyFramesHaveNoSkips)
{
    std::vector<Case> cases;
    for (const auto& [w, h] : {std::pair{4, 4}, std::pair{320, 240}, std::pair{321, 241}}) {
        for (const int bits : {16, 24, 32}) {
            for (const int quality : {0, 5000, 7000, 10000}) {
                cases.push_back({w, h, bits, quality});
            }
        }
    }
    cases.push_back({1366, 768, 32, 7000});
    cases.push_back({1366, 768, 16, 10000});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " q" << c.quality);
        video1::Encoder encoder;
        ASSERT_TRUE(encoder.begin(c.width, c.height, c.bits));
        EXPECT_EQ(encoder.codedWidth(), c.width & ~3);
        EXPECT_EQ(encoder.codedHeight(), c.height & ~3);
        std::vector<std::uint16_t> picture;
        const bool keys[] = {false, false, false, true, false, false};
        for (int n = 0; n < 6; ++n) {
            // Frame 4 repeats frame 3: only skips.
            const TestFrame frame = MovingScene(c.width, c.height, c.bits, n == 4 ? 3 : n);
            const Encoded e = EncodeAndDecode(encoder, frame, c.quality, keys[n], picture);
            const bool key = n == 0 || keys[n];
            EXPECT_EQ(encoder.lastWasKeyFrame(), key);
            ASSERT_TRUE(e.decoded.complete) << "frame " << n;
            EXPECT_EQ(e.decoded.bytesRead, e.bytes.size()) << "frame " << n;
            EXPECT_LE(e.bytes.size(), video1::MaxFrameBytes(c.width, c.height));
            if (key) {
                EXPECT_FALSE(e.decoded.sawSkip) << "frame " << n;
            }
            if (n == 4) {
                const std::size_t blocks = static_cast<std::size_t>(c.width / 4) * (c.height / 4);
                EXPECT_EQ(e.bytes.size(), 2 * ((blocks + 1022) / 1023));
            }
            ASSERT_EQ(picture, encoder.reconstruction()) << "frame " << n;
        }
    }
}

TEST(Video1Encoder, SameInputGivesTheSameBytes)
{
    std::vector<std::uint8_t> first;
    for (int run = 0; run < 2; ++run) {
        video1::Encoder encoder;
        ASSERT_TRUE(encoder.begin(160, 120, 24));
        std::vector<std::uint8_t> all;
        std::vector<std::uint8_t> out(video1::MaxFrameBytes(160, 120));
        for (int n = 0; n < 3; ++n) {
            const TestFrame frame = MovingScene(160, 120, 24, n);
            const std::size_t size = encoder.encode(frame.pixels.data(), 6000, false, out.data());
            all.insert(all.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(size));
        }
        if (run == 0) {
            first = all;
        } else {
            EXPECT_EQ(all, first);
        }
    }
}

// The skip words of a stream, one list per run of consecutive skip words.
std::vector<std::vector<int>> SkipRuns(const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::vector<int>> runs;
    bool inRun = false;
    std::size_t at = 0;
    const auto next = [&] {
        const int w = bytes[at] | (bytes[at + 1] << 8);
        at += 2;
        return w;
    };
    while (at + 1 < bytes.size()) {
        const int w = next();
        if ((w & 0xFC00) == 0x8400) {
            if (!inRun) {
                runs.emplace_back();
            }
            runs.back().push_back(w - 0x8400);
            inRun = true;
            continue;
        }
        inRun = false;
        if (w & 0x8000) {
            continue; // fill
        }
        const int first = next();
        at += (first & 0x8000) ? 14 : 2; // eight colours, else two
    }
    return runs;
}

// Large frames are coded in parts; a run of skipped blocks that crosses from one part into the next
// must still be coded as one run, as a single pass would.
TEST(Video1Encoder, SkipRunsAreWholeAcrossTheFrame)
{
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    constexpr int kBlocks = (kWidth / 4) * (kHeight / 4);
    video1::Encoder encoder;
    ASSERT_TRUE(encoder.begin(kWidth, kHeight, 32));
    std::vector<std::uint16_t> picture;
    const TestFrame scene = MovingScene(kWidth, kHeight, 32, 0);
    EncodeAndDecode(encoder, scene, 7000, true, picture);

    const Encoded same = EncodeAndDecode(encoder, scene, 7000, false, picture);
    std::vector<int> expected(kBlocks / 1023, 1023);
    expected.push_back(kBlocks % 1023);
    EXPECT_EQ(SkipRuns(same.bytes), std::vector<std::vector<int>>{expected});

    // One changed block first in the stream (bottom left) and one near the top.
    TestFrame changed = scene;
    for (const int y : {kHeight - 1, 20}) {
        changed.set(0, y, 255, 255, 255);
        changed.set(1, y, 0, 0, 0);
    }
    const Encoded two = EncodeAndDecode(encoder, changed, 7000, false, picture);
    ASSERT_TRUE(two.decoded.complete);
    EXPECT_EQ(picture, encoder.reconstruction());
    const std::vector<std::vector<int>> runs = SkipRuns(two.bytes);
    ASSERT_EQ(runs.size(), 2u);
    int skipped = 0;
    for (const std::vector<int>& run : runs) {
        for (std::size_t i = 0; i < run.size(); ++i) {
            EXPECT_TRUE(i + 1 == run.size() || run[i] == 1023) << "a run broken into " << run.size() << " words";
            skipped += run[i];
        }
    }
    EXPECT_EQ(skipped, kBlocks - 2);
}

// The halves of a large frame are coded into the output buffer itself and joined there; whichever
// half is at its largest, the joined frame must decode to the reconstruction.
TEST(Video1Encoder, HalvesJoinInTheOutputBufferAtAnySize)
{
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    const auto noise = [](int top, int bottom, unsigned seed) {
        TestFrame frame(kWidth, kHeight, 32);
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                frame.set(x, y, static_cast<int>(seed >> 24), static_cast<int>(seed >> 16) & 255, static_cast<int>(seed >> 8) & 255);
            }
        }
        return frame;
    };
    struct Case {
        const char* name;
        int keptTop; // rows [keptTop, keptBottom) on screen stay as in the first frame, the others change
        int keptBottom;
    };
    // The stream codes the bottom of the screen first: its lower half is the screen's bottom half.
    const Case cases[] = {{"all changed", 0, 0},
                          {"lower half at its largest, the upper one starting with skips", 200, kHeight / 2},
                          {"lower half all skips", kHeight / 2, kHeight},
                          {"upper half all skips", 0, kHeight / 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        video1::Encoder encoder;
        ASSERT_TRUE(encoder.begin(kWidth, kHeight, 32));
        std::vector<std::uint16_t> picture;
        const TestFrame first = noise(0, kHeight, 1);
        EncodeAndDecode(encoder, first, video1::kMaxQuality, true, picture);
        TestFrame second = first;
        const TestFrame other = noise(0, kHeight, 2);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth && (y < c.keptTop || y >= c.keptBottom); ++x) {
                const std::size_t at = video1::InputStride(kWidth, 32) * static_cast<std::size_t>(kHeight - 1 - y) + x * 4u;
                std::copy_n(other.pixels.begin() + static_cast<std::ptrdiff_t>(at), 4, second.pixels.begin() + static_cast<std::ptrdiff_t>(at));
            }
        }
        const Encoded e = EncodeAndDecode(encoder, second, video1::kMaxQuality, false, picture);
        ASSERT_TRUE(e.decoded.complete);
        EXPECT_EQ(e.decoded.bytesRead, e.bytes.size());
        EXPECT_LE(e.bytes.size(), video1::MaxFrameBytes(kWidth, kHeight));
        EXPECT_EQ(picture, encoder.reconstruction());
    }
}

// Fills a 4 x 4 frame (16-bit input, so every colour is exact) from a top-down picture.
TestFrame BlockFrame(const std::uint16_t (&topDown)[16])
{
    TestFrame frame(4, 4, 16);
    for (int i = 0; i < 16; ++i) {
        const int w = topDown[i];
        frame.set(i % 4, i / 4, ((w >> 10) & 31) << 3, ((w >> 5) & 31) << 3, (w & 31) << 3);
    }
    return frame;
}

TEST(Video1Encoder, AwkwardBlocksDecodeExactly)
{
    constexpr std::uint16_t kRedOne = (1 << 10) | (7 << 5) | 9; // fill word would read as a skip code
    constexpr std::uint16_t W = 0x7FFF;
    constexpr std::uint16_t K = 0;
    constexpr std::uint16_t R = 31 << 10;
    constexpr std::uint16_t G = 31 << 5;
    const std::uint16_t flatSkipColour[16] = {kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne,
                                              kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne, kRedOne};
    // The upper-right corner (pixel 15) is the odd one out, in two and in eight colours.
    const std::uint16_t cornerTwo[16] = {K, K, K, W, K, K, K, K, K, K, K, K, K, K, K, K};
    const std::uint16_t cornerEight[16] = {R, R, W, K, R, G, K, K, G, G, W, W, G, R, W, W};
    for (const auto* picture : {&flatSkipColour, &cornerTwo, &cornerEight}) {
        for (const bool key : {true, false}) {
            video1::Encoder encoder;
            ASSERT_TRUE(encoder.begin(4, 4, 16));
            std::vector<std::uint16_t> decoded;
            if (!key) {
                // A different previous frame, so that the block must be coded in a delta frame.
                EncodeAndDecode(encoder, BlockFrame(picture == &cornerTwo ? flatSkipColour : cornerTwo), 10000, true, decoded);
            }
            const TestFrame frame = BlockFrame(*picture);
            const Encoded e = EncodeAndDecode(encoder, frame, 10000, key, decoded);
            ASSERT_TRUE(e.decoded.complete);
            EXPECT_FALSE(e.decoded.sawSkip);
            for (int i = 0; i < 16; ++i) {
                EXPECT_EQ(decoded[static_cast<std::size_t>(3 - i / 4) * 4 + i % 4], (*picture)[i]) << "pixel " << i;
            }
            EXPECT_EQ(decoded, encoder.reconstruction());
        }
    }
}

TEST(Video1Encoder, CodesTheTopLeftAreaOfOddSizes)
{
    // 4 x 4 flat blocks aligned to the top-left corner; the uncoded column and row hold noise.
    TestFrame frame(13, 10, 32);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 13; ++x) {
            const bool coded = x < 12 && y < 8;
            const int level = (x / 4) * 9 + (y / 4) * 5; // 5-bit levels, exact after expansion
            const int colour = coded ? (level << 3) | (level >> 2) : (x * 97 + y * 31) & 0xFF;
            frame.set(x, y, colour, coded ? 255 - colour : colour, coded ? 66 : colour);
        }
    }
    video1::Encoder encoder;
    ASSERT_TRUE(encoder.begin(13, 10, 32));
    std::vector<std::uint16_t> decoded;
    ASSERT_TRUE(EncodeAndDecode(encoder, frame, 10000, true, decoded).decoded.complete);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(decoded[static_cast<std::size_t>(7 - y) * 12 + x], frame.word555(x, y)) << x << "," << y;
        }
    }
}

TEST(Video1Encoder, HigherQualitySpendsMoreBytesForLessError)
{
    const TestFrame frame = MovingScene(320, 240, 32, 1);
    double lastPsnr = 0;
    std::size_t lastSize = 0;
    for (const int quality : {0, 3000, 7000, 10000}) {
        video1::Encoder encoder;
        ASSERT_TRUE(encoder.begin(320, 240, 32));
        std::vector<std::uint16_t> decoded;
        const Encoded e = EncodeAndDecode(encoder, frame, quality, true, decoded);
        const double psnr = Psnr(frame, decoded, 320, 240);
        EXPECT_GT(psnr, lastPsnr) << "quality " << quality;
        EXPECT_GT(e.bytes.size(), lastSize) << "quality " << quality;
        lastPsnr = psnr;
        lastSize = e.bytes.size();
    }
}

TEST(Video1Encoder, RefusesWhatItCannotCode)
{
    video1::Encoder encoder;
    EXPECT_FALSE(encoder.begin(3, 4, 32));
    EXPECT_FALSE(encoder.begin(4, 3, 32));
    EXPECT_FALSE(encoder.begin(64, 64, 8));
    EXPECT_FALSE(encoder.begin(video1::kMaxDimension + 1, 4, 32));
    EXPECT_FALSE(encoder.ready());
    std::uint8_t out[2] = {};
    EXPECT_EQ(encoder.encode(out, 7000, true, out), 0u);
}

} // namespace
