#include "codec/video1_driver.h"
#include "codec/zmbv_driver.h"
#include "codec/zmbv_encoder.h"
#include "codec/zmbv_install.h"
#include "zmbv_test_scenes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

struct CloseHic {
    void operator()(HIC hic) const { ICClose(hic); }
};
using Hic = std::unique_ptr<std::remove_pointer_t<HIC>, CloseHic>;

class ZmbvDriver : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InstallZmbvIfNeeded(32, 320, 240)); }
    void TearDown() override { RemoveZmbv(); }
};

TEST_F(ZmbvDriver, SaysItIsLosslessOffersItsDialogsAndTakesOnlyBottomUpRgb)
{
    Hic hic(ICOpen(ICTYPE_VIDEO, kFourCCZmbv, ICMODE_QUERY));
    ASSERT_TRUE(hic);
    ICINFO info{};
    ASSERT_EQ(ICGetInfo(hic.get(), &info, sizeof(info)), sizeof(info));
    EXPECT_NE(std::wstring(info.szDescription).find(L"lossless"), std::wstring::npos);
    EXPECT_TRUE(ICQueryAbout(hic.get()));
    EXPECT_TRUE(ICQueryConfigure(hic.get()));

    for (const int bits : {8, 16, 24, 32}) {
        BITMAPINFOHEADER in = UncompressedFrameHeader(1, 1, bits);
        EXPECT_EQ(ICCompressQuery(hic.get(), &in, nullptr), ICERR_OK) << bits;
        in = UncompressedFrameHeader(333, 211, bits);
        BITMAPINFOHEADER out{};
        ASSERT_EQ(ICCompressGetFormat(hic.get(), &in, &out), ICERR_OK);
        EXPECT_EQ(out.biCompression, kFourCCZmbv);
        EXPECT_EQ(out.biBitCount, bits == 24 ? 32 : bits);
        EXPECT_EQ(out.biWidth, 333);
        EXPECT_EQ(ICCompressQuery(hic.get(), &in, &out), ICERR_OK);
        EXPECT_EQ(ICCompressGetSize(hic.get(), &in, &out), zmbv::MaxFrameBytes(333, 211, bits));
    }
    BITMAPINFOHEADER refused[] = {UncompressedFrameHeader(64, -64, 32), UncompressedFrameHeader(64, 64, 16),
                                  UncompressedFrameHeader(64, 64, 4), UncompressedFrameHeader(0, 64, 32)};
    refused[1].biCompression = BI_BITFIELDS;
    for (BITMAPINFOHEADER& in : refused) {
        EXPECT_EQ(ICCompressQuery(hic.get(), &in, nullptr), ICERR_BADFORMAT) << in.biWidth << "x" << in.biHeight;
    }

    ZmbvState state{};
    ASSERT_EQ(ICGetStateSize(hic.get()), sizeof(ZmbvState));
    ASSERT_EQ(ICGetState(hic.get(), &state, sizeof(state)), ICERR_OK);
    EXPECT_EQ(state.quality, zmbv::kDefaultQuality);
    state.quality = 10000;
    EXPECT_EQ(ICSetState(hic.get(), &state, sizeof(state)), sizeof(state));
    ZmbvState bad = state;
    bad.magic = 0;
    EXPECT_EQ(ICSetState(hic.get(), &bad, sizeof(bad)), 0);
    DWORD quality = 0;
    ASSERT_EQ(ICSendMessage(hic.get(), ICM_GETDEFAULTQUALITY, reinterpret_cast<DWORD_PTR>(&quality), 0), ICERR_OK);
    EXPECT_EQ(quality, 10000u);
}

// What a 32-bit picture of the source shows: the palette applied, 5-bit levels widened.
std::vector<std::uint8_t> SourceAs32Bits(const Sequence& sequence, std::size_t n)
{
    const std::size_t stride = zmbv::InputStride(sequence.width, sequence.bits);
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(sequence.width) * static_cast<std::size_t>(sequence.height) * 4, 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(sequence.height); ++y) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(sequence.width); ++x) {
            const std::uint8_t* p = sequence.frames[n].data() + y * stride + x * static_cast<std::size_t>(sequence.bits / 8);
            std::uint8_t* to = picture.data() + (y * static_cast<std::size_t>(sequence.width) + x) * 4;
            if (sequence.bits == 8) {
                std::memcpy(to, sequence.palettes[n].data() + *p * 4u, 3);
            } else if (sequence.bits == 16) {
                const unsigned word = p[0] | (p[1] << 8);
                for (int c = 0; c < 3; ++c) {
                    const unsigned level = (word >> (5 * c)) & 31;
                    to[c] = static_cast<std::uint8_t>((level << 3) | (level >> 2));
                }
            } else {
                std::memcpy(to, p, 3);
            }
        }
    }
    return picture;
}

// Frames compressed through the driver are the core's; the driver decompresses them again to
// the source's colours.
TEST_F(ZmbvDriver, CompressesAndDecompressesEveryDepth)
{
    for (const int bits : {8, 16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        const Sequence sequence = MakeSequence(bits == 8 ? Scene::Recolour : Scene::Dragging, 203, 97, bits, 6);
        std::vector<std::uint8_t> format(sizeof(BITMAPINFOHEADER) + 1024);
        auto* in = reinterpret_cast<BITMAPINFOHEADER*>(format.data());
        *in = UncompressedFrameHeader(203, 97, bits);
        BITMAPINFOHEADER out{};
        std::vector<std::vector<std::uint8_t>> frames;
        {
            Hic hic(ICOpen(ICTYPE_VIDEO, kFourCCZmbv, ICMODE_COMPRESS));
            ASSERT_TRUE(hic);
            ASSERT_EQ(ICCompressGetFormat(hic.get(), in, &out), ICERR_OK);
            ASSERT_EQ(ICCompressBegin(hic.get(), in, &out), ICERR_OK);
            zmbv::Encoder core;
            ASSERT_TRUE(core.begin(203, 97, bits));
            for (std::size_t n = 0; n < sequence.frames.size(); ++n) {
                if (bits == 8) {
                    std::memcpy(format.data() + sizeof(BITMAPINFOHEADER), sequence.palettes[n].data(), 1024);
                }
                const bool key = n == 3;
                std::vector<std::uint8_t> bytes(ICCompressGetSize(hic.get(), in, &out));
                DWORD flags = 0;
                DWORD ckid = 0;
                ASSERT_EQ(ICCompress(hic.get(), key ? ICCOMPRESS_KEYFRAME : 0, &out, bytes.data(), in,
                                     const_cast<std::uint8_t*>(sequence.frames[n].data()), &ckid, &flags,
                                     static_cast<LONG>(n), 0, 7000, nullptr, nullptr),
                          static_cast<DWORD>(ICERR_OK));
                EXPECT_EQ(flags, key || n == 0 ? static_cast<DWORD>(AVIIF_KEYFRAME) : 0u) << "frame " << n;
                bytes.resize(out.biSizeImage);
                std::vector<std::uint8_t> expected(zmbv::MaxFrameBytes(203, 97, bits));
                expected.resize(core.encode(sequence.frames[n].data(), bits == 8 ? sequence.palettes[n].data() : nullptr, 7000,
                                            key, expected.data()));
                ASSERT_EQ(bytes, expected) << "frame " << n;
                frames.push_back(std::move(bytes));
            }
            EXPECT_EQ(ICCompressEnd(hic.get()), ICERR_OK);
        }

        Hic decoder(ICOpen(ICTYPE_VIDEO, kFourCCZmbv, ICMODE_DECOMPRESS));
        ASSERT_TRUE(decoder);
        BITMAPINFOHEADER picture{};
        ASSERT_EQ(ICDecompressGetFormat(decoder.get(), &out, &picture), ICERR_OK);
        EXPECT_EQ(picture.biBitCount, 32);
        ASSERT_EQ(ICDecompressBegin(decoder.get(), &out, &picture), ICERR_OK);
        std::vector<std::uint8_t> pixels(picture.biSizeImage);
        for (std::size_t n = 0; n < frames.size(); ++n) {
            out.biSizeImage = static_cast<DWORD>(frames[n].size());
            ASSERT_EQ(ICDecompress(decoder.get(), 0, &out, frames[n].data(), &picture, pixels.data()), static_cast<DWORD>(ICERR_OK));
            EXPECT_TRUE(pixels == SourceAs32Bits(sequence, n)) << "frame " << n;
        }
        // A difference frame without its key frame is refused, not shown.
        ASSERT_EQ(ICDecompressBegin(decoder.get(), &out, &picture), ICERR_OK);
        out.biSizeImage = static_cast<DWORD>(frames[1].size());
        EXPECT_NE(ICDecompress(decoder.get(), 0, &out, frames[1].data(), &picture, pixels.data()), static_cast<DWORD>(ICERR_OK));
        ICDecompressEnd(decoder.get());
    }
}

} // namespace
