#include "codec/zmbv_encoder.h"

#include "codec/half_frame_worker.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace zmbv {
namespace {

// zlib's level and its match search limits.
struct DeflateEffort {
    int level = 1;
    int goodLength = 4;
    int maxLazy = 4;
    int niceLength = 8;
    int chain = 4;

    bool operator==(const DeflateEffort&) const = default;
};

} // namespace

// One deflate stream per key frame interval, flushed to a byte boundary at the end of each frame.
// It is a raw stream behind a zlib header of our own: its checksum trailer is never reached, so
// zlib need not compute it.
struct Deflater {
    z_stream stream{};
    DeflateEffort effort;
    bool effortSet = false; // zlib's reset restores the level's own limits

    Deflater()
    {
        if (deflateInit2(&stream, effort.level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    bool reset()
    {
        effortSet = false;
        return deflateReset(&stream) == Z_OK;
    }
    // Takes effect from the next bytes on; output must have room, for the flush a change may make.
    bool use(const DeflateEffort& wanted, std::uint8_t* output, std::size_t room)
    {
        if (effortSet && wanted == effort) {
            return true;
        }
        stream.next_out = output;
        stream.avail_out = static_cast<uInt>(room);
        if (deflateParams(&stream, wanted.level, Z_DEFAULT_STRATEGY) != Z_OK ||
            deflateTune(&stream, wanted.goodLength, wanted.maxLazy, wanted.niceLength, wanted.chain) != Z_OK) {
            return false;
        }
        effort = wanted;
        effortSet = true;
        return true;
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

namespace {

// Moves reach 64 pixels back and 63 on.
constexpr int kMinMove = -64;
constexpr int kMaxMove = 63;
// zlib's header for a 32 KB window, fastest level: the two bytes make a multiple of 31.
constexpr std::uint8_t kZlibHeader[] = {0x78, 0x01};
constexpr std::size_t kWindowBytes = 32768;
// A frame whose changes take more than this share of the picture is deflated at level 1: under a
// busy screen a higher level costs far more time than it saves bytes.
constexpr std::size_t kBusyShare = 8;

// Brute-force searches per frame for content that moved by a vector no neighbour knows: each
// costs about as much as coding a hundred blocks.
constexpr std::size_t kProbesPerFrame = 16;

// Below this height a second thread costs more than it saves.
constexpr int kSplitHeight = 24 * kLargeBlock;
// Below this many bytes a frame is deflated on one thread.
constexpr std::size_t kSplitDeflateBytes = 128 * 1024;
// Each half's stream is primed with a whole window of what precedes it; a shorter input would leave
// the frame's own stream holding bytes the decoder never saw just before it.
static_assert(kSplitDeflateBytes >= 2 * kWindowBytes);

// Changes (the pixels of blocks that leave XOR data) below this share of the picture are deflated
// at zlib's strongest level: so little data costs little whatever the search.
constexpr std::size_t kSmallShare = 256;

// A key frame whose rows are one colour in all but this share of their pieces is deflated at zlib's
// strongest level: over background its matches are long and end the search at once, so it costs
// no more than the default, and a picture that compresses so far gains from every byte.
constexpr std::size_t kMostlyBackground = 16;

// Small blocks fit the edges of moving content closely, so that far fewer pixels are left to XOR,
// but their table is four times as long: at 1920 x 1080 about 50 bytes more a frame, which only
// moving content repays. Between the two shares the size stays as it is, so that it does not flip
// at every key frame.
constexpr std::size_t kSmallBlocksFrom = 256;
constexpr std::size_t kLargeBlocksBelow = 1024;
// A table whose moves change from block to block (coloured bars moving across the whole screen)
// costs far more than a run of zeros at four times the length, and so do four times the blocks to
// search: where more than this share of its entries differ from the one before, blocks stay large.
constexpr std::size_t kIrregularTable = 4;

std::uint64_t TableBreaks(const std::uint8_t* table, int columns, int rows)
{
    std::uint64_t breaks = 0;
    for (int row = 0; row < rows; ++row) {
        const std::uint8_t* entry = table + static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) * 2;
        for (int column = 1; column < columns; ++column, entry += 2) {
            breaks += entry[0] != entry[2] || entry[1] != entry[3];
        }
    }
    return breaks;
}

// zlib's level follows the quality, 1 to 9. On screen content long runs of background make zlib's
// match chains long: from level 6 to 8 it follows up to 256, 512 or 1024 links of them but takes
// any match up to the longest, which gives most of level 9's size at a sixth of its time.
DeflateEffort EffortFor(int quality)
{
    // zlib's own limits for each level.
    constexpr DeflateEffort kLevels[] = {{1, 4, 4, 8, 4},        {2, 4, 5, 16, 8},       {3, 4, 6, 32, 32},
                                         {4, 4, 4, 16, 16},      {5, 8, 16, 32, 32},     {6, 8, 16, 128, 128},
                                         {7, 8, 32, 128, 256},   {8, 32, 128, 258, 1024}, {9, 32, 258, 258, 4096}};
    const int level = 1 + std::clamp(quality, 0, kMaxQuality) * 8 / kMaxQuality;
    if (level < 6 || level > 8) {
        return kLevels[level - 1];
    }
    const int step = level - 6;
    return {level, 8 << step, 16 << step, 258, 256 << step};
}

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

bool OneColour(const std::uint8_t* row, std::size_t bytes, std::size_t pixel)
{
    return bytes <= pixel || std::memcmp(row, row + pixel, bytes - pixel) == 0;
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

bool IsSupportedInput(int width, int height, int bitsPerPixel)
{
    PixelFormat format;
    return FormatForBits(bitsPerPixel, format) && width >= 1 && height >= 1 && width <= kMaxDimension &&
           height <= kMaxDimension;
}

std::size_t InputStride(int width, int bitsPerPixel)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

std::size_t MaxFrameBytes(int width, int height, int bitsPerPixel)
{
    PixelFormat format = PixelFormat::Bgrx32;
    FormatForBits(bitsPerPixel, format);
    const std::size_t payload = kPaletteBytes + VectorTableBytes(width, height, kSmallBlock, kSmallBlock) +
                                static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                    static_cast<std::size_t>(BytesPerPixel(format));
    // Deflate's worst case is its fixed code: 9 bits for a literal byte, plus block headers and
    // the flushes between the halves of a large frame.
    return kKeyHeaderBytes + payload + payload / 8 + 1024;
}

Encoder::Encoder() = default;
Encoder::~Encoder() = default;

bool Encoder::begin(int width, int height, int bitsPerPixel)
{
    end();
    if (!IsSupportedInput(width, height, bitsPerPixel)) {
        return false;
    }
    FormatForBits(bitsPerPixel, m_format);
    m_bytesPerPixel = BytesPerPixel(m_format);
    m_rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(m_bytesPerPixel);
    const std::size_t picture = m_rowBytes * static_cast<std::size_t>(height);
    m_current.assign(picture, 0);
    m_previous.assign(picture, 0);
    m_payload.assign(kPaletteBytes + VectorTableBytes(width, height, kSmallBlock, kSmallBlock) + picture, 0);
    m_palette.assign(kPaletteBytes, 0);
    m_rowChanged.assign(static_cast<std::size_t>(height), 1);
    m_deflater = std::make_unique<Deflater>();
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    if (height >= kSplitHeight && !m_worker) {
        m_worker = HalfFrameWorker::TryCreate();
    }
    useBlockSize(kLargeBlock);
    return true;
}

void Encoder::useBlockSize(int block)
{
    m_block = block;
    m_columns = (m_width + block - 1) / block;
    m_rows = (m_height + block - 1) / block;
    const std::size_t hashes = static_cast<std::size_t>(m_height) * static_cast<std::size_t>(m_columns);
    m_hashes.assign(hashes, 0);
    m_previousHashes.assign(hashes, 0);
    m_blockRowRead.assign(static_cast<std::size_t>(m_rows), 0);
    m_vectors.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), Vector{});
    m_nextVectors = m_vectors;
    m_bandCount = m_height >= kSplitHeight && m_worker ? 2 : 1;
    m_bands[0] = {0, m_bandCount == 2 ? m_rows / 2 : m_rows};
    m_bands[1] = {m_bands[0].endRow, m_rows};
}

void Encoder::chooseBlockSize()
{
    if (m_interFrames > 0) {
        const std::size_t perFrame = m_xorPixels / m_interFrames;
        const std::size_t picture = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height);
        const bool irregular = m_tableBreaks / m_interFrames * kIrregularTable > m_vectors.size();
        const bool busy = perFrame * kBusyShare > picture;
        if (perFrame * kSmallBlocksFrom >= picture && !busy && !irregular) {
            useBlockSize(kSmallBlock);
        } else if (perFrame * kLargeBlocksBelow < picture || busy || irregular) {
            useBlockSize(kLargeBlock);
        }
    }
    m_interFrames = 0;
    m_xorPixels = 0;
    m_tableBreaks = 0;
}

void Encoder::end()
{
    m_width = m_height = m_bitsPerPixel = 0;
    m_current.clear();
    m_previous.clear();
    m_payload.clear();
    m_palette.clear();
    m_rowChanged.clear();
    m_blockRowRead.clear();
    m_hashes.clear();
    m_previousHashes.clear();
    m_vectors.clear();
    m_nextVectors.clear();
    m_deflater.reset();
    m_halfDeflater.reset();
    m_halfOutput.clear();
    m_halfOutput.shrink_to_fit();
    m_havePrevious = false;
    m_lastKey = false;
}

template <typename Job>
void Encoder::forEachBand(Job job)
{
    if (m_bandCount == 2) {
        m_worker->start([&] { job(m_bands[1]); });
        job(m_bands[0]);
        m_worker->wait();
    } else {
        job(m_bands[0]);
    }
}

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

// A picture is larger than the cache: each block row is coded right after it is read, while its
// rows and the previous picture's are still there.
void Encoder::readBlockRow(const std::uint8_t* pixels, int row)
{
    std::uint8_t& read = m_blockRowRead[static_cast<std::size_t>(row)];
    if (!read) {
        readInput(pixels, row * m_block, std::min((row + 1) * m_block, m_height));
        read = 1;
    }
}

bool Encoder::rowsChanged(int y, int h) const
{
    return std::any_of(m_rowChanged.begin() + y, m_rowChanged.begin() + y + h, [](std::uint8_t changed) { return changed != 0; });
}

const std::uint8_t* Encoder::pixelAt(const std::vector<std::uint8_t>& picture, int x, int y) const
{
    return picture.data() + static_cast<std::size_t>(y) * m_rowBytes +
           static_cast<std::size_t>(x) * static_cast<std::size_t>(m_bytesPerPixel);
}

bool Encoder::fits(int x, int y, int w, int h, Vector v) const
{
    return x + v.dx >= 0 && y + v.dy >= 0 && x + v.dx + w <= m_width && y + v.dy + h <= m_height;
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

std::size_t Encoder::interPieces(const std::uint8_t* pixels, const std::uint8_t* palette, bool& paletteChanged,
                                 std::vector<Piece>& pieces)
{
    std::uint8_t* to = m_payload.data();
    paletteChanged = false;
    if (m_format == PixelFormat::Palette8) {
        bool& changed = paletteChanged;
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint8_t rgb[3] = {palette[i * 4 + 2], palette[i * 4 + 1], palette[i * 4]};
            for (std::size_t c = 0; c < 3; ++c) {
                to[i * 3 + c] = m_palette[i * 3 + c] ^ rgb[c];
                changed |= to[i * 3 + c] != 0;
                m_palette[i * 3 + c] = rgb[c];
            }
        }
        if (changed) {
            to += kPaletteBytes;
        }
    }
    std::uint8_t* table = to;
    const std::size_t tableBytes = VectorTableBytes(m_width, m_height, m_block, m_block);
    std::fill_n(table, tableBytes, 0);
    // The second band's XOR data goes behind the most the first band can leave.
    m_bands[0].xorData = table + tableBytes;
    if (m_bandCount == 2) {
        m_bands[1].xorData = m_bands[0].xorData + static_cast<std::size_t>(m_bands[1].firstRow * m_block) * m_rowBytes;
    }
    std::fill(m_blockRowRead.begin(), m_blockRowRead.end(), 0);
    forEachBand([&](Band& band) { codeBand(band, pixels, table); });
    m_vectors.swap(m_nextVectors);
    ++m_interFrames;
    m_xorPixels += bandTotal(&Band::xorBytes) / static_cast<std::size_t>(m_bytesPerPixel);
    m_tableBreaks += TableBreaks(table, m_columns, m_rows);
    pieces.push_back({m_payload.data(), static_cast<std::size_t>(m_bands[0].xorData + m_bands[0].xorBytes - m_payload.data())});
    if (m_bandCount == 2) {
        pieces.push_back({m_bands[1].xorData, m_bands[1].xorBytes});
    }
    return pieces[0].size + (m_bandCount == 2 ? pieces[1].size : 0);
}

std::size_t Encoder::bandTotal(std::size_t Band::*field) const
{
    return m_bands[0].*field + (m_bandCount == 2 ? m_bands[1].*field : 0);
}

// Copies the bytes [from, to) of the pieces taken end to end.
void Encoder::Gather(const std::vector<Piece>& pieces, std::size_t from, std::size_t to, std::uint8_t* out)
{
    std::size_t start = 0;
    for (const Piece& piece : pieces) {
        const std::size_t begin = std::max(from, start);
        const std::size_t end = std::min(to, start + piece.size);
        if (begin < end) {
            out = std::copy(piece.data + (begin - start), piece.data + (end - start), out);
        }
        start += piece.size;
    }
}

// Deflates the bytes [from, to) of the pieces, flushing at the end.
bool Encoder::DeflateRange(z_stream_s& stream, const std::vector<Piece>& pieces, std::size_t from, std::size_t to)
{
    std::size_t start = 0;
    for (const Piece& piece : pieces) {
        const std::size_t begin = std::max(from, start);
        const std::size_t end = std::min(to, start + piece.size);
        if (begin < end) {
            stream.next_in = const_cast<Bytef*>(piece.data + (begin - start));
            stream.avail_in = static_cast<uInt>(end - begin);
            if (deflate(&stream, Z_NO_FLUSH) != Z_OK || stream.avail_in != 0) {
                return false;
            }
        }
        start += piece.size;
    }
    return deflate(&stream, Z_SYNC_FLUSH) == Z_OK && stream.avail_out != 0;
}

// A large input is cut in two: the second half is deflated at the same time by a stream of its
// own that starts from the 32 KB before it, and its output follows the first half's. Both end on a
// byte boundary, so the decoder reads one stream; the frame's own stream then takes the input's
// last 32 KB as what comes before its next frame.
bool Encoder::deflatePieces(const std::vector<Piece>& pieces, std::uint8_t* out, std::size_t room, std::size_t& written)
{
    z_stream& stream = m_deflater->stream;
    std::size_t total = 0;
    for (const Piece& piece : pieces) {
        total += piece.size;
    }
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(room);
    if (!m_worker || total < kSplitDeflateBytes) {
        const bool ok = DeflateRange(stream, pieces, 0, total);
        written = room - stream.avail_out;
        return ok;
    }
    const std::size_t split = total / 2;
    if (!m_halfDeflater) {
        m_halfDeflater = std::make_unique<Deflater>();
    }
    z_stream& half = m_halfDeflater->stream;
    m_dictionary.resize(kWindowBytes);
    Gather(pieces, split - kWindowBytes, split, m_dictionary.data());
    const std::size_t halfRoom = (total - split) + (total - split) / 8 + 1024;
    m_halfOutput.resize(halfRoom);
    bool halfOk = m_halfDeflater->reset() && m_halfDeflater->use(m_deflater->effort, m_halfOutput.data(), halfRoom) &&
                  deflateSetDictionary(&half, m_dictionary.data(), kWindowBytes) == Z_OK;
    if (halfOk) {
        half.next_out = m_halfOutput.data();
        half.avail_out = static_cast<uInt>(halfRoom);
        m_worker->start([&] { halfOk = DeflateRange(half, pieces, split, total); });
        const bool firstOk = DeflateRange(stream, pieces, 0, split);
        m_worker->wait();
        written = room - stream.avail_out;
        const std::size_t halfBytes = halfRoom - half.avail_out;
        if (!firstOk || !halfOk || halfBytes >= room - written) {
            return false;
        }
        std::memcpy(out + written, m_halfOutput.data(), halfBytes);
        written += halfBytes;
        Gather(pieces, total - kWindowBytes, total, m_dictionary.data());
        return deflateSetDictionary(&stream, m_dictionary.data(), kWindowBytes) == Z_OK;
    }
    return false;
}

std::size_t Encoder::encode(const std::uint8_t* pixels, const std::uint8_t* palette, int quality, bool keyFrame,
                            std::uint8_t* out)
{
    if (!ready()) {
        return 0;
    }
    // Without a palette, 8-bit pictures are shown in black.
    static constexpr std::uint8_t kNoPalette[1024] = {};
    palette = palette ? palette : kNoPalette;
    const bool key = keyFrame || !m_havePrevious;
    if (key) {
        m_havePrevious = false;
        std::fill(m_vectors.begin(), m_vectors.end(), Vector{});
    }
    std::size_t header = 1;
    out[0] = key ? kKeyFrameFlag : 0;
    const std::size_t capacity = MaxFrameBytes(m_width, m_height, m_bitsPerPixel);
    std::vector<Piece> pieces;
    bool deflating = true;
    if (key) {
        m_quality = quality;
        chooseBlockSize();
        forEachBand([&](Band& band) {
            readInput(pixels, band.firstRow * m_block, std::min(band.endRow * m_block, m_height));
            band.variedPieces = variedPieces(band);
        });
        const std::uint8_t fields[] = {kMajorVersion, kMinorVersion, kZlibCompression, static_cast<std::uint8_t>(m_format),
                                       static_cast<std::uint8_t>(m_block), static_cast<std::uint8_t>(m_block), kZlibHeader[0], kZlibHeader[1]};
        std::copy(std::begin(fields), std::end(fields), out + 1);
        header = kKeyHeaderBytes + sizeof(kZlibHeader);
        if (m_format == PixelFormat::Palette8) {
            for (std::size_t i = 0; i < 256; ++i) {
                m_palette[i * 3] = palette[i * 4 + 2];
                m_palette[i * 3 + 1] = palette[i * 4 + 1];
                m_palette[i * 3 + 2] = palette[i * 4];
            }
            pieces.push_back({m_palette.data(), m_palette.size()});
        }
        pieces.push_back({m_current.data(), m_current.size()});
        const std::size_t varied = bandTotal(&Band::variedPieces);
        const std::size_t rowPieces = static_cast<std::size_t>(m_height) * static_cast<std::size_t>(m_columns);
        const int effort = varied * kMostlyBackground <= rowPieces ? kMaxQuality : m_quality;
        deflating = m_deflater->reset() && m_deflater->use(EffortFor(effort), out + header, capacity - header);
    } else {
        bool paletteChanged = false;
        const std::size_t payload = interPieces(pixels, palette, paletteChanged, pieces);
        if (paletteChanged) {
            out[0] |= kPaletteChangeFlag;
        }
        int effort = m_quality;
        if (payload > m_current.size() / kBusyShare) {
            effort = 0;
        } else if (bandTotal(&Band::xorBytes) <= m_current.size() / kSmallShare) {
            effort = kMaxQuality;
        }
        deflating = m_deflater->use(EffortFor(effort), out + header, capacity - header);
    }
    std::size_t written = 0;
    deflating = deflating && deflatePieces(pieces, out + header, capacity - header, written);
    m_current.swap(m_previous);
    m_hashes.swap(m_previousHashes);
    m_havePrevious = deflating;
    if (!deflating) {
        return 0;
    }
    m_lastKey = key;
    return header + written;
}

} // namespace zmbv
