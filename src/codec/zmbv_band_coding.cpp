// The ZMBV encoder's band coding: a band's block rows read from the input as they are first
// needed, and each block coded into the vector table and the XOR data.
#include "codec/zmbv_encoder.h"
#include "codec/zmbv_encoder_inline.h"

#include <algorithm>
#include <cstring>

namespace zmbv {
namespace {

// Brute-force searches per frame for content that moved by a vector no neighbour knows: each
// costs about as much as coding a hundred blocks.
constexpr std::size_t kProbesPerFrame = 16;

// Four words at a time in four lanes, so that the multiplications do not wait on each other.
std::uint64_t HashBytes(const std::uint8_t* bytes, std::size_t size)
{
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t lanes[4] = {size, 1, 2, 3};
    std::size_t at = 0;
    for (; at + 32 <= size; at += 32) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at + lane * 8, 8);
            lanes[lane] = (lanes[lane] ^ word) * kMultiplier;
            lanes[lane] ^= lanes[lane] >> 29;
        }
    }
    std::uint64_t hash = lanes[0] ^ (lanes[1] * 3) ^ (lanes[2] * 5) ^ (lanes[3] * 7);
    for (; at < size; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes + at, std::min<std::size_t>(8, size - at));
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    hash *= kMultiplier;
    return hash ^ (hash >> 32);
}

} // namespace

// Each row is read, compared with the last picture's and, where it changed, hashed while it is
// still in the cache.
void Encoder::readInput(const std::uint8_t* pixels, int firstY, int endY)
{
    const std::size_t stride = InputStride(m_width, m_bitsPerPixel);
    const std::size_t columns = static_cast<std::size_t>(m_columns);
    const std::size_t columnBytes = static_cast<std::size_t>(m_block) * static_cast<std::size_t>(m_bytesPerPixel);
    for (int y = firstY; y < endY; ++y) {
        const std::uint8_t* from = pixels + static_cast<std::size_t>(m_height - 1 - y) * stride;
        const std::size_t row = static_cast<std::size_t>(y) * m_rowBytes;
        std::uint8_t* to = m_current.data() + row;
        if (m_bitsPerPixel == 24) {
            for (int x = 0; x < m_width; ++x, from += 3, to += 4) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
                to[3] = 0;
            }
        } else {
            std::memcpy(to, from, m_rowBytes);
        }
        const bool changed = !m_havePrevious || std::memcmp(m_current.data() + row, m_previous.data() + row, m_rowBytes) != 0;
        m_rowChanged[static_cast<std::size_t>(y)] = changed ? 1 : 0;
        std::uint64_t* hashes = m_hashes.data() + static_cast<std::size_t>(y) * columns;
        if (!changed) {
            std::copy_n(m_previousHashes.data() + static_cast<std::size_t>(y) * columns, columns, hashes);
            continue;
        }
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t at = c * columnBytes;
            hashes[c] = HashBytes(m_current.data() + row + at, std::min(columnBytes, m_rowBytes - at));
        }
    }
}

bool Encoder::rowsChanged(int y, int h) const
{
    return std::any_of(m_rowChanged.begin() + y, m_rowChanged.begin() + y + h, [](std::uint8_t changed) { return changed != 0; });
}

const std::uint8_t* Encoder::sourceRow(int x, int y, int w, Vector v, std::uint8_t* scratch) const
{
    const int sx = x + v.dx;
    const int sy = y + v.dy;
    if (sy >= 0 && sy < m_height && sx >= 0 && sx + w <= m_width) {
        return pixelAt(m_previous, sx, sy);
    }
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    std::fill_n(scratch, static_cast<std::size_t>(w) * pixel, 0);
    if (sy >= 0 && sy < m_height) {
        const int from = std::max(sx, 0);
        const int to = std::min(sx + w, m_width);
        if (from < to) {
            std::memcpy(scratch + static_cast<std::size_t>(from - sx) * pixel, pixelAt(m_previous, from, sy),
                        static_cast<std::size_t>(to - from) * pixel);
        }
    }
    return scratch;
}

std::size_t Encoder::variedPieces(const Band& band) const
{
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    std::size_t varied = 0;
    for (int y = band.firstRow * m_block; y < std::min(band.endRow * m_block, m_height); ++y) {
        for (int x = 0; x < m_width; x += m_block) {
            varied += !OneColour(pixelAt(m_current, x, y), static_cast<std::size_t>(std::min(m_block, m_width - x)) * pixel, pixel);
        }
    }
    return varied;
}

std::uint8_t* Encoder::writeXor(int x, int y, int w, int h, Vector v, std::uint8_t* to) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    std::uint8_t scratch[kLargeBlock * 4];
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        const std::uint8_t* before = sourceRow(x, y + r, w, v, scratch);
        for (std::size_t i = 0; i < bytes; ++i) {
            to[i] = now[i] ^ before[i];
        }
        to += bytes;
    }
    return to;
}

void Encoder::codeBand(Band& band, const std::uint8_t* pixels, std::uint8_t* table)
{
    RecentMoves recent;
    probeChangedBlocks(band, pixels, (kProbesPerFrame + m_bandCount - 1) / m_bandCount, recent);
    std::uint8_t* to = band.xorData;
    for (int row = band.firstRow; row < band.endRow; ++row) {
        const int y = row * m_block;
        const int h = std::min(m_block, m_height - y);
        readBlockRow(pixels, row);
        const std::size_t rowStart = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
        if (!rowsChanged(y, h)) {
            std::fill_n(m_nextVectors.begin() + static_cast<std::ptrdiff_t>(rowStart), m_columns, Vector{});
            continue;
        }
        for (int column = 0; column < m_columns; ++column) {
            const int x = column * m_block;
            const int w = std::min(m_block, m_width - x);
            bool exact = false;
            const Vector v = chooseVector(column, row, x, y, w, h, recent, exact);
            const std::size_t block = rowStart + static_cast<std::size_t>(column);
            m_nextVectors[block] = v;
            table[block * 2] = static_cast<std::uint8_t>(v.dx * 2 + (exact ? 0 : 1));
            table[block * 2 + 1] = static_cast<std::uint8_t>(v.dy * 2);
            if (!exact) {
                to = writeXor(x, y, w, h, v, to);
            }
        }
    }
    band.xorBytes = static_cast<std::size_t>(to - band.xorData);
}

} // namespace zmbv
