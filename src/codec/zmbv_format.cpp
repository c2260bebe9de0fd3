#include "codec/zmbv_format.h"

namespace zmbv {

int BytesPerPixel(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Palette8:
        return 1;
    case PixelFormat::Rgb555:
    case PixelFormat::Rgb565:
        return 2;
    case PixelFormat::Bgrx32:
        return 4;
    }
    return 0;
}

bool FormatForBits(int bitsPerPixel, PixelFormat& format)
{
    switch (bitsPerPixel) {
    case 8:
        format = PixelFormat::Palette8;
        return true;
    case 16:
        format = PixelFormat::Rgb555;
        return true;
    case 24:
    case 32:
        format = PixelFormat::Bgrx32;
        return true;
    default:
        return false;
    }
}

std::size_t VectorTableBytes(int width, int height, int blockWidth, int blockHeight)
{
    const std::size_t blocks = static_cast<std::size_t>((width + blockWidth - 1) / blockWidth) *
                               static_cast<std::size_t>((height + blockHeight - 1) / blockHeight);
    return (blocks * 2 + 3) & ~std::size_t{3};
}

} // namespace zmbv
