#pragma once
// What the ZMBV encoder's source files share beyond zmbv_encoder.h: helpers that the loops of more
// than one file call, defined here so that each of those files can inline them.
#include "codec/zmbv_encoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zmbv {

inline bool OneColour(const std::uint8_t* row, std::size_t bytes, std::size_t pixel)
{
    return bytes <= pixel || std::memcmp(row, row + pixel, bytes - pixel) == 0;
}

inline const std::uint8_t* Encoder::pixelAt(const std::vector<std::uint8_t>& picture, int x, int y) const
{
    return picture.data() + static_cast<std::size_t>(y) * m_rowBytes +
           static_cast<std::size_t>(x) * static_cast<std::size_t>(m_bytesPerPixel);
}

// A picture is larger than the cache: each block row is coded right after it is read, while its
// rows and the previous picture's are still there.
inline void Encoder::readBlockRow(const std::uint8_t* pixels, int row)
{
    std::uint8_t& read = m_blockRowRead[static_cast<std::size_t>(row)];
    if (!read) {
        readInput(pixels, row * m_block, std::min((row + 1) * m_block, m_height));
        read = 1;
    }
}

} // namespace zmbv
