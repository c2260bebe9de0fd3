// The ZMBV encoder's motion search: for each block the vector into the previous picture that
// leaves the least to code, from the moves around it, scrolls found by row hashes and a few
// brute-force probes a frame.
#include "codec/zmbv_encoder.h"
#include "codec/zmbv_encoder_inline.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zmbv {
namespace {

// Moves reach 64 pixels back and 63 on.
constexpr int kMinMove = -64;
constexpr int kMaxMove = 63;

// 16 c log2 c for each count c of a byte value in a block's XOR data: the sum over the 256 values,
// taken from 16 n log2 n, is the block's entropy in sixteenths of a bit.
const std::uint32_t* CountCosts()
{
    static const auto table = [] {
        std::vector<std::uint32_t> costs(static_cast<std::size_t>(kLargeBlock * kLargeBlock * 4 + 1), 0);
        for (std::size_t c = 1; c < costs.size(); ++c) {
            costs[c] = static_cast<std::uint32_t>(std::lround(16.0 * static_cast<double>(c) * std::log2(static_cast<double>(c))));
        }
        return costs;
    }();
    return table.data();
}

// Equal runs of a block's row: short enough that a library call costs more than the comparison.
bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size)
{
    std::size_t at = 0;
    for (; at + 16 <= size; at += 16) {
        std::uint64_t x[2];
        std::uint64_t y[2];
        std::memcpy(x, a + at, 16);
        std::memcpy(y, b + at, 16);
        if (((x[0] ^ y[0]) | (x[1] ^ y[1])) != 0) {
            return false;
        }
    }
    return std::memcmp(a + at, b + at, size - at) == 0;
}

} // namespace

bool Encoder::fits(int x, int y, int w, int h, Vector v) const
{
    return x + v.dx >= 0 && y + v.dy >= 0 && x + v.dx + w <= m_width && y + v.dy + h <= m_height;
}

bool Encoder::sameBlock(int x, int y, int w, int h, Vector v) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    for (int r = 0; r < h; ++r) {
        if (v == Vector{} && !m_rowChanged[static_cast<std::size_t>(y + r)]) {
            continue;
        }
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        if (!SameBytes(now, pixelAt(m_previous, x + v.dx, y + r + v.dy), bytes)) {
            return false;
        }
    }
    return true;
}

std::uint32_t Encoder::xorCost(int x, int y, int w, int h, Vector v) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    std::uint8_t scratch[kLargeBlock * 4];
    std::uint16_t counts[256] = {};
    // Mostly the XOR data is 0: whole words of it are counted at once.
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        const std::uint8_t* before = sourceRow(x, y + r, w, v, scratch);
        std::size_t i = 0;
        for (; i + 8 <= bytes; i += 8) {
            std::uint64_t a;
            std::uint64_t b;
            std::memcpy(&a, now + i, 8);
            std::memcpy(&b, before + i, 8);
            if (const std::uint64_t word = a ^ b; word == 0) {
                counts[0] = static_cast<std::uint16_t>(counts[0] + 8);
            } else {
                for (int shift = 0; shift < 64; shift += 8) {
                    ++counts[(word >> shift) & 0xFF];
                }
            }
        }
        for (; i < bytes; ++i) {
            ++counts[now[i] ^ before[i]];
        }
    }
    const std::uint32_t* costs = CountCosts();
    std::uint32_t order = 0;
    for (const std::uint16_t count : counts) {
        order += costs[count];
    }
    return costs[bytes * static_cast<std::size_t>(h)] - order;
}

// Scrolled content: the row hashes of the block's column agree at some vertical offset.
bool Encoder::findVerticalMove(int column, int y, int h, Vector& found) const
{
    const std::size_t columns = static_cast<std::size_t>(m_columns);
    const std::uint64_t* now = m_hashes.data() + static_cast<std::size_t>(y) * columns + static_cast<std::size_t>(column);
    // A block of equal rows that does not stay put is one colour band moving sideways, or new.
    bool equalRows = true;
    for (int r = 1; r < h && equalRows; ++r) {
        equalRows = now[static_cast<std::size_t>(r) * columns] == now[0];
    }
    if (equalRows) {
        return false;
    }
    const int x = column * m_block;
    const int w = std::min(m_block, m_width - x);
    for (int step = 1; step <= -kMinMove; ++step) {
        for (const int dy : {-step, step}) {
            if (dy > kMaxMove || y + dy < 0 || y + dy + h > m_height) {
                continue;
            }
            const std::uint64_t* before = m_previousHashes.data() + static_cast<std::size_t>(y + dy) * columns +
                                          static_cast<std::size_t>(column);
            int r = 0;
            while (r < h && now[static_cast<std::size_t>(r) * columns] == before[static_cast<std::size_t>(r) * columns]) {
                ++r;
            }
            if (r == h && sameBlock(x, y, w, h, {0, dy})) {
                found = {0, dy};
                return true;
            }
        }
    }
    return false;
}

// A row of the block that is not one colour, -1 for a flat block: flat rows match anywhere.
int Encoder::variedRow(int x, int y, int w, int h) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    for (int r = h / 2, tried = 0; tried < h; ++tried, r = (r + 1) % h) {
        if (!OneColour(pixelAt(m_current, x, y + r), bytes, pixel)) {
            return r;
        }
    }
    return -1;
}

// Dragged content: every offset in reach, the block's varied row first. Rows nearest first: where
// content repeats down the screen (bars, a ruled page), the shortest move is the one its
// neighbours share.
bool Encoder::probe(int x, int y, int w, int h, int varied, Vector& found) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    const std::uint8_t* key = pixelAt(m_current, x, y + varied);
    for (int step = 0; step <= -2 * kMinMove; ++step) {
        const int dy = step % 2 == 0 ? step / 2 : -(step + 1) / 2;
        if (dy > kMaxMove || y + dy < 0 || y + dy + h > m_height) {
            continue;
        }
        const std::uint8_t* row = m_previous.data() + static_cast<std::size_t>(y + varied + dy) * m_rowBytes;
        for (int dx = std::max(kMinMove, -x); dx <= std::min(kMaxMove, m_width - w - x); ++dx) {
            if ((dx != 0 || dy != 0) && SameBytes(key, row + static_cast<std::size_t>(x + dx) * pixel, bytes) &&
                sameBlock(x, y, w, h, {dx, dy})) {
                found = {dx, dy};
                return true;
            }
        }
    }
    return false;
}

Encoder::Vector Encoder::chooseVector(int column, int row, int x, int y, int w, int h, RecentMoves& recent, bool& exact) const
{
    const std::size_t block = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column);
    exact = sameBlock(x, y, w, h, {});
    if (exact) {
        return {};
    }
    // Where content moved, its neighbours and the same block last frame most likely moved alike.
    Vector candidates[3 + kRecentMoves];
    std::size_t count = 0;
    candidates[count++] = m_vectors[block];
    if (column > 0) {
        candidates[count++] = m_vectors[block - 1];
    }
    if (row > 0) {
        candidates[count++] = m_vectors[block - static_cast<std::size_t>(m_columns)];
    }
    for (std::size_t i = 0; i < recent.count; ++i) {
        candidates[count++] = recent.moves[i];
    }
    Vector found;
    for (std::size_t i = 0; i < count && !exact; ++i) {
        const Vector v = candidates[i];
        if (v != Vector{} && fits(x, y, w, h, v) && sameBlock(x, y, w, h, v)) {
            found = v;
            exact = true;
        }
    }
    exact = exact || findVerticalMove(column, y, h, found);
    if (!exact) {
        // No exact match: of staying put, the known moves and their sideways and upright parts, the
        // one whose XOR data has the least entropy. A block on the edge of moved content matches one
        // side at the move and the other where it stays, or moved along one axis only. A move may
        // reach out of the picture, which reads as 0: the edge a scroll uncovers is then coded as
        // itself.
        Vector tried[1 + 3 * (3 + kRecentMoves)] = {};
        std::size_t triedCount = 1;
        const auto add = [&](Vector v) {
            Vector* const end = tried + triedCount;
            if (std::find(tried, end, v) == end) {
                tried[triedCount++] = v;
            }
        };
        for (std::size_t i = 0; i < count; ++i) {
            add(candidates[i]);
            add({candidates[i].dx, 0});
            add({0, candidates[i].dy});
        }
        Vector closest;
        // New content where nothing moved leaves one vector: nothing to count.
        if (triedCount > 1) {
            std::uint32_t least = UINT32_MAX;
            for (std::size_t i = 0; i < triedCount && least > 0; ++i) {
                if (const std::uint32_t cost = xorCost(x, y, w, h, tried[i]); cost < least) {
                    least = cost;
                    closest = tried[i];
                }
            }
        }
        return closest;
    }
    recent.remember(found);
    return found;
}

void Encoder::RecentMoves::remember(Vector found)
{
    Vector* const end = moves + count;
    Vector* known = std::find(moves, end, found);
    if (known == end) {
        count = std::min(count + 1, kRecentMoves);
        known = moves + count - 1;
    }
    std::copy_backward(moves, known, known + 1);
    moves[0] = found;
}

// Blocks spread over the changed area are searched first, so that a moved window is found
// whichever of its blocks the search happens to try, and its other blocks then take the move from
// the moves known.
void Encoder::probeChangedBlocks(const Band& band, const std::uint8_t* pixels, std::size_t probes, RecentMoves& recent)
{
    const std::size_t columns = static_cast<std::size_t>(m_columns);
    const std::size_t first = static_cast<std::size_t>(band.firstRow) * columns;
    const std::size_t blocks = static_cast<std::size_t>(band.endRow) * columns - first;
    std::size_t next = 0;
    for (std::size_t i = 0; i < probes; ++i) {
        // From an evenly spaced block on, the first that changed and is not flat.
        for (std::size_t at = std::max(next, (2 * i + 1) * blocks / (2 * probes)); at < blocks; ++at) {
            const int row = static_cast<int>((first + at) / columns);
            const int x = static_cast<int>((first + at) % columns) * m_block;
            const int y = row * m_block;
            const int w = std::min(m_block, m_width - x);
            const int h = std::min(m_block, m_height - y);
            readBlockRow(pixels, row);
            if (!rowsChanged(y, h)) {
                at = static_cast<std::size_t>(row + 1) * columns - first - 1;
                continue;
            }
            const int varied = sameBlock(x, y, w, h, {}) ? -1 : variedRow(x, y, w, h);
            if (varied >= 0) {
                Vector found;
                if (probe(x, y, w, h, varied, found)) {
                    recent.remember(found);
                }
                next = at + 1;
                break;
            }
        }
    }
}

} // namespace zmbv
