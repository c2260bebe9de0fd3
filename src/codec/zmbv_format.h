#pragma once
// What the ZMBV encoder and decoder share: frame flags, pixel formats and sizes.
#include <cstddef>
#include <cstdint>

namespace zmbv {

constexpr std::uint8_t kKeyFrameFlag = 0x01;
constexpr std::uint8_t kPaletteChangeFlag = 0x02;
constexpr std::uint8_t kMajorVersion = 0;
constexpr std::uint8_t kMinorVersion = 1;
constexpr std::uint8_t kZlibCompression = 1;
constexpr std::size_t kKeyHeaderBytes = 7; // flags and the six bytes after them
constexpr std::size_t kPaletteBytes = 768;
constexpr int kMaxDimension = 16384;

enum class PixelFormat : std::uint8_t { Palette8 = 4, Rgb555 = 5, Rgb565 = 6, Bgrx32 = 8 };

int BytesPerPixel(PixelFormat format);
// The format a DIB of this depth is coded in (24 bits become 32), false for none.
bool FormatForBits(int bitsPerPixel, PixelFormat& format);

// The vector table of a picture, padded to 4 bytes.
std::size_t VectorTableBytes(int width, int height, int blockWidth, int blockHeight);

} // namespace zmbv
