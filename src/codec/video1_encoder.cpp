#include "codec/video1_encoder.h"

#include "codec/half_frame_worker.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace video1 {
namespace {

constexpr std::array<int, 32> MakeExpand()
{
    std::array<int, 32> table{};
    for (int v = 0; v < 32; ++v) {
        table[v] = (v << 3) | (v >> 2);
    }
    return table;
}
constexpr std::array<int, 32> kExpand = MakeExpand();

// Nearest 5-bit level of an 8-bit value, measured after expansion, so that 5-bit input stays exact.
constexpr std::array<std::uint8_t, 256> MakeQuantise()
{
    std::array<std::uint8_t, 256> table{};
    for (int x = 0; x < 256; ++x) {
        int best = 0;
        for (int v = 1; v < 32; ++v) {
            const int d = kExpand[v] - x;
            const int bestD = kExpand[best] - x;
            if (d * d < bestD * bestD) {
                best = v;
            }
        }
        table[x] = static_cast<std::uint8_t>(best);
    }
    return table;
}
constexpr std::array<std::uint8_t, 256> kQuantise = MakeQuantise();

// Rate-distortion weight per output byte, in squared 8-bit error, at quality 0, 1000, ... 10000.
constexpr std::array<long long, 11> kLambda = {147456, 73728, 36864, 18432, 9216, 4608, 2304, 1152, 576, 288, 144};

long long LambdaFor(int quality)
{
    const int step = quality / 1000;
    if (step >= 10) {
        return kLambda[10];
    }
    const long long fraction = quality % 1000;
    return kLambda[step] + (kLambda[step + 1] - kLambda[step]) * fraction / 1000;
}

constexpr int kSkipWordBase = 0x8400;
constexpr int kMaxSkipRun = 1023;
constexpr int kFillBytes = 2;
constexpr int kTwoBytes = 6;
constexpr int kEightBytes = 18;

struct Colour {
    std::uint16_t word = 0;
    int r = 0;
    int g = 0;
    int b = 0;
};

Colour Quantise(int r, int g, int b)
{
    const int qr = kQuantise[r];
    const int qg = kQuantise[g];
    const int qb = kQuantise[b];
    return {static_cast<std::uint16_t>((qr << 10) | (qg << 5) | qb), kExpand[qr], kExpand[qg], kExpand[qb]};
}

bool CollidesWithSkip(std::uint16_t fill) { return ((fill >> 10) & 31) == 1; }

struct Block {
    int r[16];
    int g[16];
    int b[16];
    int sum[3];        // r, g, b
    long long cross[6]; // rr, gg, bb, rg, rb, gb

    int distance(int i, const Colour& c) const
    {
        const int dr = r[i] - c.r;
        const int dg = g[i] - c.g;
        const int db = b[i] - c.b;
        return dr * dr + dg * dg + db * db;
    }
    int distance(int i, int j) const
    {
        const int dr = r[i] - r[j];
        const int dg = g[i] - g[j];
        const int db = b[i] - b[j];
        return dr * dr + dg * dg + db * db;
    }
};

template <int Bytes> void LoadBlock(const std::uint8_t* const rows[4], Block& k)
{
    for (int y = 0; y < 4; ++y) {
        const std::uint8_t* p = rows[y];
        for (int x = 0; x < 4; ++x, p += Bytes) {
            const int i = y * 4 + x;
            if constexpr (Bytes == 2) {
                const int w = p[0] | (p[1] << 8);
                k.r[i] = kExpand[(w >> 10) & 31];
                k.g[i] = kExpand[(w >> 5) & 31];
                k.b[i] = kExpand[w & 31];
            } else {
                k.b[i] = p[0];
                k.g[i] = p[1];
                k.r[i] = p[2];
            }
        }
    }
    int sr = 0, sg = 0, sb = 0;
    int rr = 0, gg = 0, bb = 0, rg = 0, rb = 0, gb = 0;
    for (int i = 0; i < 16; ++i) {
        sr += k.r[i];
        sg += k.g[i];
        sb += k.b[i];
        rr += k.r[i] * k.r[i];
        gg += k.g[i] * k.g[i];
        bb += k.b[i] * k.b[i];
        rg += k.r[i] * k.g[i];
        rb += k.r[i] * k.b[i];
        gb += k.g[i] * k.b[i];
    }
    k.sum[0] = sr;
    k.sum[1] = sg;
    k.sum[2] = sb;
    k.cross[0] = rr;
    k.cross[1] = gg;
    k.cross[2] = bb;
    k.cross[3] = rg;
    k.cross[4] = rb;
    k.cross[5] = gb;
}

// The 8-bit colour of pixel p when all 16 pixels of the block share it (padding bits aside).
template <int Bytes> bool UniformBlock(const std::uint8_t* const rows[4], int& r, int& g, int& b)
{
    const auto pixel = [](const std::uint8_t* p) -> std::uint32_t {
        if constexpr (Bytes == 2) {
            return (p[0] | (p[1] << 8)) & 0x7FFFu;
        } else {
            return p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
        }
    };
    const std::uint32_t first = pixel(rows[0]);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            if (pixel(rows[y] + x * Bytes) != first) {
                return false;
            }
        }
    }
    if constexpr (Bytes == 2) {
        r = kExpand[(first >> 10) & 31];
        g = kExpand[(first >> 5) & 31];
        b = kExpand[first & 31];
    } else {
        b = static_cast<int>(first & 0xFF);
        g = static_cast<int>((first >> 8) & 0xFF);
        r = static_cast<int>(first >> 16);
    }
    return true;
}

int Distance(int r, int g, int b, std::uint16_t word)
{
    const int dr = r - kExpand[(word >> 10) & 31];
    const int dg = g - kExpand[(word >> 5) & 31];
    const int db = b - kExpand[word & 31];
    return dr * dr + dg * dg + db * db;
}

// Squared error of keeping the decoded block when every pixel is (r, g, b).
int UniformSkipError(int r, int g, int b, std::uint16_t* const recon[4])
{
    const std::uint16_t first = recon[0][0];
    bool same = true;
    for (int y = 0; y < 4 && same; ++y) {
        same = recon[y][0] == first && recon[y][1] == first && recon[y][2] == first && recon[y][3] == first;
    }
    if (same) {
        return 16 * Distance(r, g, b, first);
    }
    int error = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            error += Distance(r, g, b, recon[y][x]);
        }
    }
    return error;
}

// Identifies a block's input: a block whose fingerprint is unchanged keeps its pixels. One lane of
// multiply-xorshift per row (independent, so they run side by side), then a final mix; a false
// match is a 1 in 2^64 event per block.
template <int Bytes> std::uint64_t Fingerprint(const std::uint8_t* const rows[4])
{
    constexpr std::uint64_t kOdd[4] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                                       0xD6E8FEB86659FD93ull};
    constexpr int kRowBytes = 4 * Bytes;
    const auto word = [](const std::uint8_t* p, int bytes) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, static_cast<std::size_t>(bytes));
        return w;
    };
    const auto step = [](std::uint64_t h, std::uint64_t w, std::uint64_t odd) {
        h = (h ^ w) * odd;
        return h ^ (h >> 29);
    };
    std::uint64_t h = 0;
    for (int y = 0; y < 4; ++y) {
        std::uint64_t lane = step(kOdd[y], word(rows[y], std::min(kRowBytes, 8)), kOdd[(y + 1) & 3]);
        if constexpr (kRowBytes > 8) {
            lane = step(lane, word(rows[y] + 8, kRowBytes - 8), kOdd[(y + 2) & 3]);
        }
        h = (h ^ lane) * kOdd[y] + lane;
    }
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
}

// Squared error of the whole block against one colour, from the sums alone.
int FillError(const Block& k, const Colour& c)
{
    const int e[3] = {c.r, c.g, c.b};
    long long total = 0;
    for (int ch = 0; ch < 3; ++ch) {
        total += k.cross[ch] - 2LL * e[ch] * k.sum[ch] + 16LL * e[ch] * e[ch];
    }
    return static_cast<int>(total);
}

struct TwoColours {
    std::uint16_t mask = 0; // bit i set: pixel i takes first
    Colour first;
    Colour second;
    int error = 0;
};

// Final assignment to the nearer of two quantised colours; pixel 15 must end on the second one.
template <std::size_t N>
void AssignPair(const Block& k, const std::array<int, N>& pixels, TwoColours& pair)
{
    pair.error = 0;
    pair.mask = 0;
    for (const int i : pixels) {
        const int d0 = k.distance(i, pair.first);
        const int d1 = k.distance(i, pair.second);
        if (d0 < d1) {
            pair.mask |= static_cast<std::uint16_t>(1u << i);
            pair.error += d0;
        } else {
            pair.error += d1;
        }
    }
    if (pair.mask & 0x8000) {
        std::swap(pair.first, pair.second);
        std::uint16_t used = 0;
        for (const int i : pixels) {
            used |= static_cast<std::uint16_t>(1u << i);
        }
        pair.mask ^= used;
    }
}

constexpr std::array<int, 16> kAllPixels = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

int RoundedMean(int sum, int count) { return (sum + count / 2) / count; }

// Split along the principal axis (two power steps on the covariance), then one k-means step.
TwoColours TwoColourBlock(const Block& k)
{
    long long cov[3][3];
    const int pairs[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {0, 2}, {1, 2}};
    for (int p = 0; p < 6; ++p) {
        const int a = pairs[p][0];
        const int c = pairs[p][1];
        cov[a][c] = cov[c][a] = 16 * k.cross[p] - static_cast<long long>(k.sum[a]) * k.sum[c];
    }
    int dominant = 0;
    for (int ch = 1; ch < 3; ++ch) {
        if (cov[ch][ch] > cov[dominant][dominant]) {
            dominant = ch;
        }
    }
    // Entries stay below 2^25; the dominant one bounds its row. Scaled to 14 bits, one more
    // product step fits in 64 bits.
    int axisShift = 0;
    while ((cov[dominant][dominant] >> axisShift) >= (1 << 14)) {
        ++axisShift;
    }
    long long axis[3];
    for (int ch = 0; ch < 3; ++ch) {
        axis[ch] = cov[dominant][ch] / (1LL << axisShift);
    }
    long long next[3];
    for (int ch = 0; ch < 3; ++ch) {
        next[ch] = cov[ch][0] * axis[0] + cov[ch][1] * axis[1] + cov[ch][2] * axis[2];
    }
    long long largest = std::max({std::llabs(next[0]), std::llabs(next[1]), std::llabs(next[2])});
    int shift = 0;
    while ((largest >> shift) >= (1 << 12)) {
        ++shift;
    }
    int v[3];
    for (int ch = 0; ch < 3; ++ch) {
        v[ch] = static_cast<int>(next[ch] / (1LL << shift));
    }

    const long long threshold = static_cast<long long>(v[0]) * k.sum[0] + static_cast<long long>(v[1]) * k.sum[1] +
                                static_cast<long long>(v[2]) * k.sum[2];
    std::uint32_t high = 0;
    for (int i = 0; i < 16; ++i) {
        const long long projection = 16LL * (v[0] * k.r[i] + v[1] * k.g[i] + v[2] * k.b[i]);
        if (projection > threshold) {
            high |= 1u << i;
        }
    }
    if (high == 0 || high == 0xFFFF) {
        // Degenerate axis: split the dominant channel at its mean.
        const int* channel = dominant == 0 ? k.r : dominant == 1 ? k.g : k.b;
        high = 0;
        for (int i = 0; i < 16; ++i) {
            if (16 * channel[i] > k.sum[dominant]) {
                high |= 1u << i;
            }
        }
    }

    int centre[2][3] = {};
    for (int step = 0; step < 2; ++step) {
        int sums[2][3] = {};
        int counts[2] = {};
        for (int i = 0; i < 16; ++i) {
            const int side = (high >> i) & 1;
            sums[side][0] += k.r[i];
            sums[side][1] += k.g[i];
            sums[side][2] += k.b[i];
            ++counts[side];
        }
        for (int side = 0; side < 2; ++side) {
            if (counts[side] == 0) {
                continue; // keeps the previous centre
            }
            for (int ch = 0; ch < 3; ++ch) {
                centre[side][ch] = RoundedMean(sums[side][ch], counts[side]);
            }
        }
        if (step == 1) {
            break;
        }
        std::uint32_t reassigned = 0;
        for (int i = 0; i < 16; ++i) {
            int d[2];
            for (int side = 0; side < 2; ++side) {
                const int dr = k.r[i] - centre[side][0];
                const int dg = k.g[i] - centre[side][1];
                const int db = k.b[i] - centre[side][2];
                d[side] = dr * dr + dg * dg + db * db;
            }
            if (d[1] < d[0]) {
                reassigned |= 1u << i;
            }
        }
        if (reassigned == 0 || reassigned == 0xFFFF) {
            break;
        }
        high = reassigned;
    }

    TwoColours result;
    result.first = Quantise(centre[1][0], centre[1][1], centre[1][2]);
    result.second = Quantise(centre[0][0], centre[0][1], centre[0][2]);
    AssignPair(k, kAllPixels, result);
    return result;
}

constexpr std::array<std::array<int, 4>, 4> kQuadrants = {{{0, 1, 4, 5}, {2, 3, 6, 7}, {8, 9, 12, 13}, {10, 11, 14, 15}}};

// Two colours for the four pixels of a quadrant: seeded by its farthest pair.
TwoColours QuadrantPair(const Block& k, int quadrant)
{
    const std::array<int, 4>& px = kQuadrants[quadrant];
    int seedA = px[0];
    int seedB = px[1];
    int farthest = -1;
    for (int a = 0; a < 4; ++a) {
        for (int c = a + 1; c < 4; ++c) {
            const int d = k.distance(px[a], px[c]);
            if (d > farthest) {
                farthest = d;
                seedA = px[a];
                seedB = px[c];
            }
        }
    }
    int sums[2][3] = {};
    int counts[2] = {};
    for (const int i : px) {
        const int side = k.distance(i, seedB) < k.distance(i, seedA) ? 1 : 0;
        sums[side][0] += k.r[i];
        sums[side][1] += k.g[i];
        sums[side][2] += k.b[i];
        ++counts[side];
    }
    TwoColours result;
    result.first = Quantise(RoundedMean(sums[0][0], counts[0]), RoundedMean(sums[0][1], counts[0]),
                            RoundedMean(sums[0][2], counts[0]));
    result.second = counts[1] == 0 ? result.first
                                   : Quantise(RoundedMean(sums[1][0], counts[1]), RoundedMean(sums[1][1], counts[1]),
                                              RoundedMean(sums[1][2], counts[1]));
    AssignPair(k, px, result);
    return result;
}

// Below this many block rows a second thread costs more than it saves.
constexpr int kSplitBlockRows = 120;

} // namespace

class BlockWriter {
public:
    // A writer for a later part of the frame holds back its leading skips: they join the run that
    // ends the part before it, as if one writer had coded both.
    explicit BlockWriter(std::uint8_t* out, bool holdLeadingSkips = false)
        : m_start(out), m_out(out), m_holdLeadingSkips(holdLeadingSkips)
    {
    }
    void word(std::uint16_t w)
    {
        m_out[0] = static_cast<std::uint8_t>(w & 0xFF);
        m_out[1] = static_cast<std::uint8_t>(w >> 8);
        m_out += 2;
    }
    void skip() { ++m_skipRun; }
    void flushSkips()
    {
        if (m_holdLeadingSkips && m_out == m_start) {
            m_leadingSkips = std::exchange(m_skipRun, 0);
            return;
        }
        while (m_skipRun > 0) {
            const int run = std::min(m_skipRun, kMaxSkipRun);
            word(static_cast<std::uint16_t>(kSkipWordBase + run));
            m_skipRun -= run;
        }
    }
    // The later part's bytes may lie further on in this writer's own buffer: they move first, then
    // the skip words go in front of them.
    void append(const BlockWriter& later)
    {
        m_skipRun += later.m_leadingSkips;
        if (later.size() > 0) {
            const std::size_t skipBytes = 2 * static_cast<std::size_t>((m_skipRun + kMaxSkipRun - 1) / kMaxSkipRun);
            std::memmove(m_out + skipBytes, later.m_start, later.size());
            flushSkips();
            m_out += later.size();
        }
        m_skipRun += later.m_skipRun;
    }
    std::size_t size() const { return static_cast<std::size_t>(m_out - m_start); }

private:
    std::uint8_t* m_start;
    std::uint8_t* m_out;
    int m_skipRun = 0;
    bool m_holdLeadingSkips;
    int m_leadingSkips = 0;
};

void WriteFill(BlockWriter& writer, std::uint16_t fill, std::uint16_t* const recon[4])
{
    if (CollidesWithSkip(fill)) {
        // Its fill word would read as a skip code.
        writer.word(0);
        writer.word(fill);
        writer.word(fill);
    } else {
        writer.word(static_cast<std::uint16_t>(0x8000 | fill));
    }
    for (int y = 0; y < 4; ++y) {
        std::fill_n(recon[y], 4, fill);
    }
}

Encoder::Encoder() = default;
Encoder::~Encoder() = default;

bool IsSupportedInput(int width, int height, int bitsPerPixel)
{
    return (bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32) && width >= kMinDimension &&
           height >= kMinDimension && width <= kMaxDimension && height <= kMaxDimension;
}

std::size_t InputStride(int width, int bitsPerPixel)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

std::size_t MaxFrameBytes(int width, int height)
{
    const std::size_t blocks = static_cast<std::size_t>(width / 4) * static_cast<std::size_t>(height / 4);
    return blocks * kEightBytes + 2;
}

bool Encoder::begin(int width, int height, int bitsPerPixel)
{
    end();
    if (!IsSupportedInput(width, height, bitsPerPixel)) {
        return false;
    }
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_blocksWide = width / 4;
    m_blocksHigh = height / 4;
    m_stride = InputStride(width, bitsPerPixel);
    const std::size_t pixels = static_cast<std::size_t>(codedWidth()) * static_cast<std::size_t>(codedHeight());
    m_recon.assign(pixels, 0);
    m_fingerprints.assign(static_cast<std::size_t>(m_blocksWide) * static_cast<std::size_t>(m_blocksHigh), 0);
    return true;
}

void Encoder::end()
{
    m_width = m_height = m_bitsPerPixel = 0;
    m_blocksWide = m_blocksHigh = 0;
    m_stride = 0;
    m_recon.clear();
    m_fingerprints.clear();
    m_havePrevious = false;
    m_lastKey = false;
    m_previousQuality = -1;
}

std::size_t Encoder::encode(const std::uint8_t* pixels, int quality, bool keyFrame, std::uint8_t* out)
{
    if (!ready()) {
        return 0;
    }
    quality = std::clamp(quality, 0, kMaxQuality);
    const bool key = keyFrame || !m_havePrevious;
    // Unchanged input may keep its pixels only if it was coded at this quality.
    const bool reuseUnchanged = !key && quality == m_previousQuality;
    const long long lambda = LambdaFor(quality);
    std::size_t size = 0;
    switch (m_bitsPerPixel) {
    case 16:
        size = reuseUnchanged ? encodeFrame<2, true>(pixels, lambda, key, out) : encodeFrame<2, false>(pixels, lambda, key, out);
        break;
    case 24:
        size = reuseUnchanged ? encodeFrame<3, true>(pixels, lambda, key, out) : encodeFrame<3, false>(pixels, lambda, key, out);
        break;
    default:
        size = reuseUnchanged ? encodeFrame<4, true>(pixels, lambda, key, out) : encodeFrame<4, false>(pixels, lambda, key, out);
        break;
    }
    m_havePrevious = true;
    m_lastKey = key;
    m_previousQuality = quality;
    return size;
}

template <int Bytes, bool ReuseUnchanged>
std::size_t Encoder::encodeFrame(const std::uint8_t* pixels, long long lambda, bool key, std::uint8_t* out)
{
    BlockWriter writer(out);
    // Block rows are independent: a large frame is coded in two halves at once and joined.
    if (m_blocksHigh >= kSplitBlockRows && !m_worker) {
        m_worker = HalfFrameWorker::TryCreate();
    }
    if (m_blocksHigh >= kSplitBlockRows && m_worker) {
        const int split = m_blocksHigh / 2;
        // The lower half takes at most a coded block's worst case per block; the upper half is coded
        // behind that and joined on.
        BlockWriter upper(out + static_cast<std::size_t>(split) * static_cast<std::size_t>(m_blocksWide) * kEightBytes, true);
        m_worker->start([&] { encodeRows<Bytes, ReuseUnchanged>(pixels, lambda, key, split, m_blocksHigh, upper); });
        encodeRows<Bytes, ReuseUnchanged>(pixels, lambda, key, 0, split, writer);
        m_worker->wait();
        writer.append(upper);
        writer.flushSkips();
        return writer.size();
    }
    encodeRows<Bytes, ReuseUnchanged>(pixels, lambda, key, 0, m_blocksHigh, writer);
    writer.flushSkips();
    return writer.size();
}

template <int Bytes, bool ReuseUnchanged>
void Encoder::encodeRows(const std::uint8_t* pixels, long long lambda, bool key, int firstBlockRow, int endBlockRow,
                         BlockWriter& writer)
{
    const std::size_t codedWidthPixels = static_cast<std::size_t>(codedWidth());
    // Bottom-up rows: the uncoded rows at the bottom of the screen come first.
    const std::size_t firstRow = static_cast<std::size_t>(m_height - codedHeight());
    Block k;

    for (int by = firstBlockRow; by < endBlockRow; ++by) {
        const std::uint8_t* rows[4];
        std::uint16_t* recon[4];
        for (int y = 0; y < 4; ++y) {
            const std::size_t row = static_cast<std::size_t>(by) * 4 + static_cast<std::size_t>(y);
            rows[y] = pixels + (firstRow + row) * m_stride;
            recon[y] = m_recon.data() + row * codedWidthPixels;
        }
        std::uint64_t* fingerprint = m_fingerprints.data() + static_cast<std::size_t>(by) * static_cast<std::size_t>(m_blocksWide);
        for (int bx = 0; bx < m_blocksWide; ++bx, ++fingerprint) {
            if (bx > 0) {
                for (int y = 0; y < 4; ++y) {
                    rows[y] += 4 * Bytes;
                    recon[y] += 4;
                }
            }
            const std::uint64_t input = Fingerprint<Bytes>(rows);
            if constexpr (ReuseUnchanged) {
                if (input == *fingerprint) {
                    writer.skip();
                    continue;
                }
            }
            *fingerprint = input;

            int r = 0;
            int g = 0;
            int b = 0;
            if (UniformBlock<Bytes>(rows, r, g, b)) {
                // One colour: only a skip or a fill can win, and both follow from the colour alone.
                const int skipError = key ? 0 : UniformSkipError(r, g, b, recon);
                if (!key && skipError <= lambda * kFillBytes) {
                    writer.skip();
                    continue;
                }
                const Colour fill = Quantise(r, g, b);
                const long long fillCost = 16LL * Distance(r, g, b, fill.word) +
                                           lambda * (CollidesWithSkip(fill.word) ? kTwoBytes : kFillBytes);
                if (key || fillCost < skipError) {
                    writer.flushSkips();
                    WriteFill(writer, fill.word, recon);
                } else {
                    writer.skip();
                }
                continue;
            }
            LoadBlock<Bytes>(rows, k);

            long long bestCost = -1;
            if (!key) {
                int skipError = 0;
                for (int y = 0; y < 4; ++y) {
                    for (int x = 0; x < 4; ++x) {
                        skipError += Distance(k.r[y * 4 + x], k.g[y * 4 + x], k.b[y * 4 + x], recon[y][x]);
                    }
                }
                bestCost = skipError;
                // No coded block costs less than a fill.
                if (bestCost <= lambda * kFillBytes) {
                    writer.skip();
                    continue;
                }
            }

            const Colour fill = Quantise(RoundedMean(k.sum[0], 16), RoundedMean(k.sum[1], 16), RoundedMean(k.sum[2], 16));
            const bool fillCollides = CollidesWithSkip(fill.word);
            const long long fillCost = FillError(k, fill) + lambda * (fillCollides ? kTwoBytes : kFillBytes);
            enum class Choice { Skip, Fill, Two, Eight } choice = Choice::Skip;
            if (key || fillCost < bestCost) {
                bestCost = fillCost;
                choice = Choice::Fill;
            }

            TwoColours two;
            if (bestCost > lambda * kTwoBytes) {
                two = TwoColourBlock(k);
                const long long cost = two.error + lambda * kTwoBytes;
                if (cost < bestCost) {
                    bestCost = cost;
                    choice = Choice::Two;
                }
            }
            TwoColours quads[4];
            if (bestCost > lambda * kEightBytes) {
                long long cost = lambda * kEightBytes;
                for (int q = 0; q < 4; ++q) {
                    quads[q] = QuadrantPair(k, q);
                    cost += quads[q].error;
                }
                if (cost < bestCost) {
                    choice = Choice::Eight;
                }
            }

            switch (choice) {
            case Choice::Skip:
                writer.skip();
                break;
            case Choice::Fill:
                writer.flushSkips();
                WriteFill(writer, fill.word, recon);
                break;
            case Choice::Two:
                writer.flushSkips();
                writer.word(two.mask);
                writer.word(two.first.word);
                writer.word(two.second.word);
                for (int i = 0; i < 16; ++i) {
                    recon[i / 4][i % 4] = (two.mask >> i) & 1 ? two.first.word : two.second.word;
                }
                break;
            case Choice::Eight: {
                writer.flushSkips();
                std::uint16_t mask = 0;
                for (const TwoColours& quad : quads) {
                    mask |= quad.mask;
                }
                writer.word(mask);
                for (int q = 0; q < 4; ++q) {
                    writer.word(static_cast<std::uint16_t>(quads[q].first.word | (q == 0 ? 0x8000 : 0)));
                    writer.word(quads[q].second.word);
                    for (const int i : kQuadrants[q]) {
                        recon[i / 4][i % 4] = (mask >> i) & 1 ? quads[q].first.word : quads[q].second.word;
                    }
                }
                break;
            }
            }
        }
    }
}

} // namespace video1
