#pragma once
// ZMBV decoder: one compressed frame in, the picture the stream shows after it. Portable: the
// Video for Windows driver decompresses through it and the tests check the encoder with it.
#include "codec/zmbv_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zmbv {

enum class DecodeResult {
    Ok,
    Empty,       // no bytes at all
    NeedKeyFrame, // a difference frame with no good key frame before it
    BadHeader,   // a key frame of a version, compression or format this decoder does not know
    BadData,     // the bytes do not inflate to what the header and vectors call for
};

struct Inflater;

class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // False for a size out of reach.
    bool begin(int width, int height);
    // After a failure the picture stays as it was and only a key frame is taken next.
    DecodeResult decode(const std::uint8_t* data, std::size_t size);

    bool hasPicture() const { return m_haveKey; }
    PixelFormat format() const { return m_format; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Top-down rows of width x bytes per pixel.
    const std::vector<std::uint8_t>& picture() const { return m_picture; }
    // R, G, B of 256 entries (8-bit format).
    const std::vector<std::uint8_t>& palette() const { return m_palette; }
    // The picture as a bottom-up DIB of the format's own depth, rows padded to 4 bytes.
    void writeDib(std::uint8_t* out) const;
    // The picture as a bottom-up 24- or 32-bit DIB (B, G, R [, 0]), rows padded to 4 bytes.
    void writeRgb(std::uint8_t* out, int bitsPerPixel) const;

private:
    DecodeResult startKeyFrame(const std::uint8_t* data, std::size_t size);
    DecodeResult applyDifference(std::size_t available, bool paletteChange);

    int m_width = 0;
    int m_height = 0;
    PixelFormat m_format = PixelFormat::Bgrx32;
    int m_bytesPerPixel = 0;
    int m_blockWidth = 0;
    int m_blockHeight = 0;
    bool m_compressed = false;
    bool m_haveKey = false;
    std::vector<std::uint8_t> m_picture;
    std::vector<std::uint8_t> m_previous;
    std::vector<std::uint8_t> m_palette;
    std::vector<std::uint8_t> m_payload;
    std::unique_ptr<Inflater> m_inflater;
};

} // namespace zmbv
