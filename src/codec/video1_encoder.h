#pragma once
// Video 1 (16-bit) encoder: bottom-up RGB frames in, one compressed frame out per call.
// Portable: the Video for Windows driver wraps it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class HalfFrameWorker;

namespace video1 {

class BlockWriter;

constexpr int kMinDimension = 4;
constexpr int kMaxDimension = 16384;
constexpr int kMaxQuality = 10000;
constexpr int kDefaultQuality = 7000;

// Bottom-up rows of 5-5-5 (16 bits), BGR (24) or BGRX (32) pixels, each row padded to 4 bytes.
bool IsSupportedInput(int width, int height, int bitsPerPixel);
std::size_t InputStride(int width, int bitsPerPixel);

// Only whole 4 x 4 blocks are coded: the top-left area on screen of this size.
constexpr int CodedSize(int size) { return size & ~3; }
std::size_t MaxFrameBytes(int width, int height);

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // False when the input format is not supported; the encoder then stays unusable.
    bool begin(int width, int height, int bitsPerPixel);
    void end();
    bool ready() const { return m_blocksWide > 0; }

    // Writes one frame to out, which must hold MaxFrameBytes (all of it may be used while coding),
    // and returns its size. The first frame after begin() is always a key frame. quality is clamped
    // to 0 ... kMaxQuality.
    std::size_t encode(const std::uint8_t* pixels, int quality, bool keyFrame, std::uint8_t* out);
    bool lastWasKeyFrame() const { return m_lastKey; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    int codedWidth() const { return m_blocksWide * 4; }
    int codedHeight() const { return m_blocksHigh * 4; }
    // What a decoder shows after the last frame: bottom-up rows of codedWidth() 5-5-5 words.
    const std::vector<std::uint16_t>& reconstruction() const { return m_recon; }

private:
    template <int Bytes, bool ReuseUnchanged>
    std::size_t encodeFrame(const std::uint8_t* pixels, long long lambda, bool key, std::uint8_t* out);
    template <int Bytes, bool ReuseUnchanged>
    void encodeRows(const std::uint8_t* pixels, long long lambda, bool key, int firstBlockRow, int endBlockRow,
                    BlockWriter& writer);

    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 0;
    int m_blocksWide = 0;
    int m_blocksHigh = 0;
    std::size_t m_stride = 0;
    std::vector<std::uint16_t> m_recon;
    // One fingerprint of the previous input per block: a block whose input is unchanged keeps its pixels.
    std::vector<std::uint64_t> m_fingerprints;
    std::unique_ptr<HalfFrameWorker> m_worker; // started by the first large frame
    bool m_havePrevious = false;
    bool m_lastKey = false;
    int m_previousQuality = -1;
};

} // namespace video1
