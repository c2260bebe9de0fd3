#include "codec/video1_driver.h"
#include "codec/video1_encoder.h"
#include "codec/video1_install.h"
#include "common/fourcc.h"
#include "video1_reference_decoder.h"
#include "video1_test_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace {

constexpr DWORD kCram = MakeFourCC('C', 'R', 'A', 'M');

struct CloseHic {
    void operator()(HIC hic) const { ICClose(hic); }
};
using Hic = std::unique_ptr<std::remove_pointer_t<HIC>, CloseHic>;

class Video1Driver : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallVideo1IfNeeded(32, 320, 240)); }
    void TearDown() override { RemoveVideo1(); }
};

TEST_F(Video1Driver, DescribesItselfAndAcceptsOnlyRgbFramesOfAtLeastFourByFour)
{
    Hic hic(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_QUERY));
    ASSERT_TRUE(hic);
    ICINFO info{};
    ASSERT_EQ(ICGetInfo(hic.get(), &info, sizeof(info)), sizeof(info));
    EXPECT_EQ(info.fccType, ICTYPE_VIDEO);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(VIDCF_QUALITY | VIDCF_TEMPORAL | VIDCF_FASTTEMPORALC));
    EXPECT_STREQ(info.szDescription, L"MS Video 1");

    for (const int bits : {16, 24, 32}) {
        BITMAPINFOHEADER in = UncompressedFrameHeader(4, 4, bits);
        EXPECT_EQ(ICCompressQuery(hic.get(), &in, nullptr), ICERR_OK) << bits;
    }
    BITMAPINFOHEADER refused[] = {UncompressedFrameHeader(64, 64, 8), UncompressedFrameHeader(3, 4, 32), UncompressedFrameHeader(4, 3, 32), UncompressedFrameHeader(64, -64, 32),
                                  UncompressedFrameHeader(64, 64, 16)};
    refused[4].biCompression = BI_BITFIELDS;
    for (BITMAPINFOHEADER& in : refused) {
        EXPECT_EQ(ICCompressQuery(hic.get(), &in, nullptr), ICERR_BADFORMAT) << in.biWidth << "x" << in.biHeight;
    }

    BITMAPINFOHEADER in = UncompressedFrameHeader(321, 241, 32);
    ASSERT_EQ(ICCompressGetFormatSize(hic.get(), &in), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER out{};
    ASSERT_EQ(ICCompressGetFormat(hic.get(), &in, &out), ICERR_OK);
    EXPECT_EQ(out.biCompression, kCram);
    EXPECT_EQ(out.biBitCount, 16);
    EXPECT_EQ(out.biWidth, 320);
    EXPECT_EQ(out.biHeight, 240);
    EXPECT_EQ(ICCompressQuery(hic.get(), &in, &out), ICERR_OK);
    out.biWidth = 321;
    EXPECT_EQ(ICCompressQuery(hic.get(), &in, &out), ICERR_BADFORMAT);
    EXPECT_EQ(ICCompressGetSize(hic.get(), &in, &out), 80u * 60u * 18u + 2u);

    DWORD quality = 0;
    ASSERT_EQ(ICSendMessage(hic.get(), ICM_GETDEFAULTQUALITY, reinterpret_cast<DWORD_PTR>(&quality), 0), ICERR_OK);
    EXPECT_EQ(quality, 7000u);
    EXPECT_FALSE(ICQueryConfigure(hic.get()));
    EXPECT_FALSE(ICQueryAbout(hic.get()));
}

TEST_F(Video1Driver, TakesOnlyItsOwnStateBlock)
{
    Hic hic(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_COMPRESS));
    ASSERT_TRUE(hic);
    ASSERT_EQ(ICGetStateSize(hic.get()), sizeof(Video1State));
    Video1State state{};
    ASSERT_EQ(ICGetState(hic.get(), &state, sizeof(state)), ICERR_OK);
    EXPECT_EQ(state.quality, 7000);

    Video1State changed = state;
    changed.quality = 5000;
    Video1State wrongVersion = changed;
    wrongVersion.version = 2;
    Video1State outOfRange = changed;
    outOfRange.quality = 10001;
    const char bigger[sizeof(Video1State) + 4] = {};
    EXPECT_EQ(ICSetState(hic.get(), &wrongVersion, sizeof(wrongVersion)), 0);
    EXPECT_EQ(ICSetState(hic.get(), &outOfRange, sizeof(outOfRange)), 0);
    EXPECT_EQ(ICSetState(hic.get(), bigger, sizeof(bigger)), 0);
    EXPECT_EQ(ICSetState(hic.get(), &changed, sizeof(changed) - 1), 0);
    DWORD quality = 0;
    ICSendMessage(hic.get(), ICM_GETDEFAULTQUALITY, reinterpret_cast<DWORD_PTR>(&quality), 0);
    EXPECT_EQ(quality, 7000u);

    EXPECT_EQ(ICSetState(hic.get(), &changed, sizeof(changed)), static_cast<LRESULT>(sizeof(changed)));
    ICSendMessage(hic.get(), ICM_GETDEFAULTQUALITY, reinterpret_cast<DWORD_PTR>(&quality), 0);
    EXPECT_EQ(quality, 5000u);
}

TEST_F(Video1Driver, RemovalBringsBackTheSystemCompressor)
{
    EXPECT_TRUE(InstallVideo1IfNeeded(32, 320, 240)); // already installed
    RemoveVideo1();
    Hic system(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_QUERY));
    if (system) {
        BITMAPINFOHEADER in = UncompressedFrameHeader(320, 240, 32);
        ICINFO info{};
        ICGetInfo(system.get(), &info, sizeof(info));
        EXPECT_NE(info.dwFlags & VIDCF_FASTTEMPORALC, static_cast<DWORD>(VIDCF_FASTTEMPORALC));
        // Wine's own Video 1 only decompresses, which is why ours is installed there.
        EXPECT_NE(ICCompressQuery(system.get(), &in, nullptr), ICERR_OK);
    }
}

struct Snapshot {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> picture;
};

// Frames compressed through the driver are the core's frames, and Wine's own Video 1 decoder
// turns them into exactly the core's reconstruction.
TEST_F(Video1Driver, FramesDecodeInTheSystemDecoderToTheReconstruction)
{
    struct Case {
        int width, height, bits, quality;
    };
    const Case cases[] = {{4, 4, 32, 7000}, {320, 240, 16, 0}, {320, 240, 24, 10000}, {321, 241, 32, 5000},
                          {321, 241, 16, 7000}, {1366, 768, 32, 7000}, {1366, 768, 24, 9000}};
    const bool keys[] = {true, false, false, true, false};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits << " q" << c.quality);
        ASSERT_TRUE(InstallVideo1IfNeeded(32, 320, 240));
        BITMAPINFOHEADER in = UncompressedFrameHeader(c.width, c.height, c.bits);
        BITMAPINFOHEADER out{};
        std::vector<Snapshot> frames;
        {
            Hic hic(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_COMPRESS));
            ASSERT_TRUE(hic);
            ASSERT_EQ(ICCompressGetFormat(hic.get(), &in, &out), ICERR_OK);
            ASSERT_EQ(ICCompressBegin(hic.get(), &in, &out), ICERR_OK);
            video1::Encoder core;
            ASSERT_TRUE(core.begin(c.width, c.height, c.bits));
            std::vector<std::uint8_t> expected(video1::MaxFrameBytes(c.width, c.height));
            for (int n = 0; n < 5; ++n) {
                TestFrame frame = MovingScene(c.width, c.height, c.bits, n);
                Snapshot snapshot;
                snapshot.bytes.resize(ICCompressGetSize(hic.get(), &in, &out));
                DWORD flags = 0;
                DWORD ckid = 0;
                ASSERT_EQ(ICCompress(hic.get(), keys[n] ? ICCOMPRESS_KEYFRAME : 0, &out, snapshot.bytes.data(), &in,
                                     frame.pixels.data(), &ckid, &flags, n, 0, static_cast<DWORD>(c.quality), nullptr,
                                     nullptr),
                          static_cast<DWORD>(ICERR_OK));
                EXPECT_EQ(flags, keys[n] ? static_cast<DWORD>(AVIIF_KEYFRAME) : 0u) << "frame " << n;
                snapshot.bytes.resize(out.biSizeImage);
                expected.resize(core.encode(frame.pixels.data(), c.quality, keys[n], expected.data()));
                ASSERT_EQ(snapshot.bytes, expected) << "frame " << n;
                expected.resize(video1::MaxFrameBytes(c.width, c.height));
                snapshot.picture = core.reconstruction();
                frames.push_back(std::move(snapshot));
            }
            EXPECT_EQ(ICCompressEnd(hic.get()), ICERR_OK);
        }
        RemoveVideo1();

        Hic decoder(ICOpen(ICTYPE_VIDEO, kFourCCVideo1, ICMODE_DECOMPRESS));
        ASSERT_TRUE(decoder);
        BITMAPINFOHEADER picture = UncompressedFrameHeader(out.biWidth, out.biHeight, 16);
        ASSERT_EQ(ICDecompressBegin(decoder.get(), &out, &picture), ICERR_OK);
        std::vector<std::uint16_t> pixels(static_cast<std::size_t>(out.biWidth) * static_cast<std::size_t>(out.biHeight));
        for (std::size_t n = 0; n < frames.size(); ++n) {
            out.biSizeImage = static_cast<DWORD>(frames[n].bytes.size());
            ASSERT_EQ(ICDecompress(decoder.get(), keys[n] ? 0 : ICDECOMPRESS_NOTKEYFRAME, &out, frames[n].bytes.data(),
                                   &picture, pixels.data()),
                      static_cast<DWORD>(ICERR_OK));
            // Bit 15 is no colour; Wine's decoder leaves the fill flag in it.
            for (std::uint16_t& pixel : pixels) {
                pixel &= 0x7FFF;
            }
            ASSERT_EQ(pixels, frames[n].picture) << "frame " << n;
        }
        ICDecompressEnd(decoder.get());
    }
}

// Positions numbered by a clock, with gaps where captures were late.
std::vector<LONG> ClockPositions(int count)
{
    std::vector<LONG> positions;
    LONG position = 0;
    for (int i = 0; i < count; ++i) {
        positions.push_back(position);
        position += 1 + (i % 4 == 3 ? 1 : 0) + (i % 7 == 6 ? 2 : 0);
    }
    return positions;
}

struct ReleaseAvi {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T> using AviPtr = std::unique_ptr<T, ReleaseAvi>;

// Writes the movie the way the recording engine does; the companion script checks it with ffmpeg.
TEST_F(Video1Driver, RecordsAMovieThroughTheCompressedStream)
{
    char path[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("FRAMELARK_VIDEO1_AVI", path, MAX_PATH)) {
        GetTempPathA(MAX_PATH, path);
        lstrcatA(path, "framelark_video1_test.avi");
    }
    DeleteFileA(path);
    const int width = 321;
    const int height = 241;
    const std::vector<LONG> positions = ClockPositions(40);
    std::vector<LONG> expectedKeys;

    AVIFileInit();
    {
        PAVIFILE rawFile = nullptr;
        ASSERT_EQ(AVIFileOpenA(&rawFile, path, OF_WRITE | OF_CREATE, nullptr), AVIERR_OK);
        AviPtr<IAVIFile> file(rawFile);
        AVISTREAMINFOA info{};
        info.fccType = streamtypeVIDEO;
        info.dwScale = 1;
        info.dwRate = 10;
        const BITMAPINFOHEADER format = UncompressedFrameHeader(width, height, 32);
        info.dwSuggestedBufferSize = format.biSizeImage;
        SetRect(&info.rcFrame, 0, 0, width, height);
        PAVISTREAM rawStream = nullptr;
        ASSERT_EQ(AVIFileCreateStreamA(file.get(), &rawStream, &info), AVIERR_OK);
        AviPtr<IAVIStream> stream(rawStream);
        AVICOMPRESSOPTIONS options{};
        options.fccType = streamtypeVIDEO;
        options.fccHandler = kFourCCVideo1;
        options.dwKeyFrameEvery = 10;
        options.dwQuality = 7000;
        options.dwFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
        PAVISTREAM rawCompressed = nullptr;
        ASSERT_EQ(AVIMakeCompressedStream(&rawCompressed, stream.get(), &options, nullptr), AVIERR_OK);
        AviPtr<IAVIStream> compressed(rawCompressed);
        ASSERT_EQ(AVIStreamSetFormat(compressed.get(), 0, const_cast<BITMAPINFOHEADER*>(&format), sizeof(format)), AVIERR_OK);
        LONG lastKey = 0;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            TestFrame frame = MovingScene(width, height, 32, static_cast<int>(i));
            ASSERT_EQ(AVIStreamWrite(compressed.get(), positions[i], 1, frame.pixels.data(),
                                     static_cast<LONG>(frame.pixels.size()), 0, nullptr, nullptr),
                      AVIERR_OK)
                << "position " << positions[i];
            if (i == 0 || positions[i] - lastKey >= 10) {
                lastKey = positions[i];
                expectedKeys.push_back(positions[i]);
            }
        }
    }
    {
        PAVISTREAM rawStream = nullptr;
        ASSERT_EQ(AVIStreamOpenFromFileA(&rawStream, path, streamtypeVIDEO, 0, OF_READ, nullptr), AVIERR_OK);
        AviPtr<IAVIStream> stream(rawStream);
        BITMAPINFOHEADER format{};
        LONG size = sizeof(format);
        ASSERT_EQ(AVIStreamReadFormat(stream.get(), 0, &format, &size), AVIERR_OK);
        EXPECT_EQ(format.biCompression, kCram);
        EXPECT_EQ(format.biWidth, 320);
        EXPECT_EQ(format.biHeight, 240);
        EXPECT_EQ(AVIStreamLength(stream.get()), positions.back() + 1);
        std::vector<LONG> keys;
        for (const LONG position : positions) {
            if (AVIStreamIsKeyFrame(stream.get(), position)) {
                keys.push_back(position);
            }
        }
        EXPECT_EQ(keys, expectedKeys);
    }
    AVIFileExit();

    std::ofstream frames(std::string(path) + ".frames", std::ios::binary);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        frames << positions[i] << ' ' << (std::find(expectedKeys.begin(), expectedKeys.end(), positions[i]) != expectedKeys.end()) << '\n';
    }
}

} // namespace
