#include "codec/zmbv_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zmbv {

// One deflate stream per key frame interval, flushed to a byte boundary at the end of each frame.
// It is a raw stream behind a zlib header of our own: its checksum trailer is never reached, so
// zlib need not compute it.
struct Deflater {
    z_stream stream{};
    int level = 1;

    Deflater()
    {
        if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    // Takes effect from the next bytes on; output must have room, for the flush a change may make.
    bool setLevel(int wanted, std::uint8_t* output, std::size_t room)
    {
        if (wanted == level) {
            return true;
        }
        stream.next_out = output;
        stream.avail_out = static_cast<uInt>(room);
        if (deflateParams(&stream, wanted, Z_DEFAULT_STRATEGY) != Z_OK) {
            return false;
        }
        level = wanted;
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
constexpr std::size_t kRecentMoves = 8;
// zlib's header for a 32 KB window, fastest level: the two bytes make a multiple of 31.
constexpr std::uint8_t kZlibHeader[] = {0x78, 0x01};
// A frame whose changes take more than this share of the picture is deflated at level 1: under a
// busy screen a higher level costs far more time than it saves bytes.
constexpr std::size_t kBusyShare = 8;

// Brute-force searches per frame for content that moved by a vector no neighbour knows: each
// costs about as much as coding a hundred blocks.
constexpr std::size_t kProbesPerFrame = 16;

std::uint64_t HashBytes(const std::uint8_t* bytes, std::size_t size)
{
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    std::uint64_t hash = size;
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 29;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes + at, size - at);
    hash = (hash ^ tail) * kMultiplier;
    return hash ^ (hash >> 32);
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
    const std::size_t payload = kPaletteBytes + VectorTableBytes(width, height) +
                                static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                    static_cast<std::size_t>(BytesPerPixel(format));
    // Deflate's worst case is its fixed code: 9 bits for a literal byte, plus block headers.
    return kKeyHeaderBytes + payload + payload / 8 + 1024;
}

int ZlibLevelFor(int quality)
{
    return 1 + std::clamp(quality, 0, kMaxQuality) * 8 / kMaxQuality;
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
    m_columns = (width + kBlockWidth - 1) / kBlockWidth;
    m_rows = (height + kBlockHeight - 1) / kBlockHeight;
    const std::size_t picture = m_rowBytes * static_cast<std::size_t>(height);
    m_current.assign(picture, 0);
    m_previous.assign(picture, 0);
    m_payload.assign(kPaletteBytes + VectorTableBytes(width, height) + picture, 0);
    m_palette.assign(kPaletteBytes, 0);
    m_rowChanged.assign(static_cast<std::size_t>(height), true);
    const std::size_t hashes = static_cast<std::size_t>(height) * static_cast<std::size_t>(m_columns);
    m_hashes.assign(hashes, 0);
    m_previousHashes.assign(hashes, 0);
    m_vectors.assign(static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows), Vector{});
    m_deflater = std::make_unique<Deflater>();
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    return true;
}

void Encoder::end()
{
    m_width = m_height = m_bitsPerPixel = 0;
    m_current.clear();
    m_previous.clear();
    m_payload.clear();
    m_palette.clear();
    m_rowChanged.clear();
    m_hashes.clear();
    m_previousHashes.clear();
    m_vectors.clear();
    m_recent.clear();
    m_deflater.reset();
    m_havePrevious = false;
    m_lastKey = false;
}

// Each row is read, compared with the last picture's and, where it changed, hashed while it is
// still in the cache.
void Encoder::readInput(const std::uint8_t* pixels)
{
    const std::size_t stride = InputStride(m_width, m_bitsPerPixel);
    const std::size_t columns = static_cast<std::size_t>(m_columns);
    const std::size_t columnBytes = static_cast<std::size_t>(kBlockWidth) * static_cast<std::size_t>(m_bytesPerPixel);
    for (int y = 0; y < m_height; ++y) {
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
        m_rowChanged[static_cast<std::size_t>(y)] = changed;
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
    return std::any_of(m_rowChanged.begin() + y, m_rowChanged.begin() + y + h, [](bool changed) { return changed; });
}

const std::uint8_t* Encoder::pixelAt(const std::vector<std::uint8_t>& picture, int x, int y) const
{
    return picture.data() + static_cast<std::size_t>(y) * m_rowBytes +
           static_cast<std::size_t>(x) * static_cast<std::size_t>(m_bytesPerPixel);
}

bool Encoder::sameBlock(int x, int y, int w, int h, Vector v) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    for (int r = 0; r < h; ++r) {
        if (v.dx == 0 && v.dy == 0 && !m_rowChanged[static_cast<std::size_t>(y + r)]) {
            continue;
        }
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        const std::uint8_t* before = pixelAt(m_previous, x + v.dx, y + r + v.dy);
        if (std::memcmp(now, before, bytes) != 0) {
            return false;
        }
    }
    return true;
}

std::size_t Encoder::differingBytes(int x, int y, int w, int h, Vector v) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    std::size_t differing = 0;
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        const std::uint8_t* before = pixelAt(m_previous, x + v.dx, y + r + v.dy);
        for (std::size_t i = 0; i < bytes; ++i) {
            differing += now[i] != before[i];
        }
    }
    return differing;
}

// Scrolled content: the row hashes of the block's column agree at some vertical offset.
bool Encoder::findVerticalMove(int column, int y, int h, Vector& found) const
{
    const std::size_t columns = static_cast<std::size_t>(m_columns);
    const std::uint64_t* now = m_hashes.data() + static_cast<std::size_t>(y) * columns + static_cast<std::size_t>(column);
    const int x = column * kBlockWidth;
    const int w = std::min(kBlockWidth, m_width - x);
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
        const std::uint8_t* row = pixelAt(m_current, x, y + r);
        if (bytes > pixel && std::memcmp(row, row + pixel, bytes - pixel) != 0) {
            return r;
        }
    }
    return -1;
}

// Dragged content: every offset in reach, the block's varied row first.
bool Encoder::probe(int x, int y, int w, int h, int varied, Vector& found) const
{
    const std::size_t bytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(m_bytesPerPixel);
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    const std::uint8_t* key = pixelAt(m_current, x, y + varied);
    for (int dy = std::max(kMinMove, -y); dy <= std::min(kMaxMove, m_height - h - y); ++dy) {
        const std::uint8_t* row = m_previous.data() + static_cast<std::size_t>(y + varied + dy) * m_rowBytes;
        for (int dx = std::max(kMinMove, -x); dx <= std::min(kMaxMove, m_width - w - x); ++dx) {
            if ((dx != 0 || dy != 0) && std::memcmp(key, row + static_cast<std::size_t>(x + dx) * pixel, bytes) == 0 &&
                sameBlock(x, y, w, h, {dx, dy})) {
                found = {dx, dy};
                return true;
            }
        }
    }
    return false;
}

Encoder::Vector Encoder::chooseVector(int column, int row, int x, int y, int w, int h, bool& exact)
{
    const std::size_t block = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column);
    exact = sameBlock(x, y, w, h, {});
    if (exact) {
        return {};
    }
    // Where content moved, its neighbours and the same block last frame most likely moved alike.
    Vector candidates[3 + kRecentMoves];
    std::size_t count = 0;
    candidates[count++] = m_vectors[block]; // still last frame's
    if (column > 0) {
        candidates[count++] = m_vectors[block - 1];
    }
    if (row > 0) {
        candidates[count++] = m_vectors[block - static_cast<std::size_t>(m_columns)];
    }
    for (const Vector& v : m_recent) {
        candidates[count++] = v;
    }
    const auto fits = [&](Vector v) {
        return (v.dx != 0 || v.dy != 0) && x + v.dx >= 0 && y + v.dy >= 0 && x + v.dx + w <= m_width &&
               y + v.dy + h <= m_height;
    };
    Vector found;
    for (std::size_t i = 0; i < count && !exact; ++i) {
        if (fits(candidates[i]) && sameBlock(x, y, w, h, candidates[i])) {
            found = candidates[i];
            exact = true;
        }
    }
    exact = exact || findVerticalMove(column, y, h, found);
    if (!exact) {
        // No exact match: the closest of staying put and the known moves leaves the fewest bytes to XOR.
        Vector closest;
        std::size_t fewest = differingBytes(x, y, w, h, {});
        for (std::size_t i = 0; i < count; ++i) {
            if (fits(candidates[i])) {
                if (const std::size_t differing = differingBytes(x, y, w, h, candidates[i]); differing < fewest) {
                    fewest = differing;
                    closest = candidates[i];
                }
            }
        }
        return closest;
    }
    remember(found);
    return found;
}

void Encoder::remember(Vector found)
{
    const auto known = std::find_if(m_recent.begin(), m_recent.end(), [&](Vector v) { return v.dx == found.dx && v.dy == found.dy; });
    if (known != m_recent.end()) {
        m_recent.erase(known);
    } else if (m_recent.size() == kRecentMoves) {
        m_recent.pop_back();
    }
    m_recent.insert(m_recent.begin(), found);
}

// Blocks spread over the changed area are searched first, so that a moved window is found
// whichever of its blocks the search happens to try, and its other blocks then take the move from
// the moves known.
void Encoder::probeChangedBlocks()
{
    const std::size_t blocks = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    std::size_t next = 0;
    for (std::size_t i = 0; i < kProbesPerFrame; ++i) {
        // From an evenly spaced block on, the first that changed and is not flat.
        for (std::size_t at = std::max(next, (2 * i + 1) * blocks / (2 * kProbesPerFrame)); at < blocks; ++at) {
            const int row = static_cast<int>(at / static_cast<std::size_t>(m_columns));
            const int x = static_cast<int>(at % static_cast<std::size_t>(m_columns)) * kBlockWidth;
            const int y = row * kBlockHeight;
            const int w = std::min(kBlockWidth, m_width - x);
            const int h = std::min(kBlockHeight, m_height - y);
            if (!rowsChanged(y, h)) {
                at = static_cast<std::size_t>(row + 1) * static_cast<std::size_t>(m_columns) - 1;
                continue;
            }
            const int varied = sameBlock(x, y, w, h, {}) ? -1 : variedRow(x, y, w, h);
            if (varied >= 0) {
                Vector found;
                if (probe(x, y, w, h, varied, found)) {
                    remember(found);
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
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* now = pixelAt(m_current, x, y + r);
        const std::uint8_t* before = pixelAt(m_previous, x + v.dx, y + r + v.dy);
        for (std::size_t i = 0; i < bytes; ++i) {
            to[i] = now[i] ^ before[i];
        }
        to += bytes;
    }
    return to;
}

std::size_t Encoder::keyPayload(const std::uint8_t* palette)
{
    std::uint8_t* to = m_payload.data();
    if (m_format == PixelFormat::Palette8) {
        for (std::size_t i = 0; i < 256; ++i) {
            m_palette[i * 3] = palette[i * 4 + 2];
            m_palette[i * 3 + 1] = palette[i * 4 + 1];
            m_palette[i * 3 + 2] = palette[i * 4];
        }
        to = std::copy(m_palette.begin(), m_palette.end(), to);
    }
    to = std::copy(m_current.begin(), m_current.end(), to);
    return static_cast<std::size_t>(to - m_payload.data());
}

std::size_t Encoder::interPayload(const std::uint8_t* palette, bool& paletteChanged)
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
    const std::size_t tableBytes = VectorTableBytes(m_width, m_height);
    std::fill_n(table, tableBytes, 0);
    to += tableBytes;
    std::vector<Vector> vectors(m_vectors.size());
    m_recent.clear();
    probeChangedBlocks();
    for (int row = 0; row < m_rows; ++row) {
        const int y = row * kBlockHeight;
        const int h = std::min(kBlockHeight, m_height - y);
        if (!rowsChanged(y, h)) {
            continue;
        }
        for (int column = 0; column < m_columns; ++column) {
            const int x = column * kBlockWidth;
            const int w = std::min(kBlockWidth, m_width - x);
            bool exact = false;
            const Vector v = chooseVector(column, row, x, y, w, h, exact);
            const std::size_t block = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(column);
            vectors[block] = v;
            const bool differs = !exact;
            table[block * 2] = static_cast<std::uint8_t>(v.dx * 2 + (differs ? 1 : 0));
            table[block * 2 + 1] = static_cast<std::uint8_t>(v.dy * 2);
            if (differs) {
                to = writeXor(x, y, w, h, v, to);
            }
        }
    }
    m_vectors = std::move(vectors);
    return static_cast<std::size_t>(to - m_payload.data());
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
    readInput(pixels);
    std::size_t header = 1;
    out[0] = key ? kKeyFrameFlag : 0;
    std::size_t payload = 0;
    z_stream& stream = m_deflater->stream;
    const std::size_t capacity = MaxFrameBytes(m_width, m_height, m_bitsPerPixel);
    bool deflating = true;
    if (key) {
        const std::uint8_t fields[] = {kMajorVersion, kMinorVersion, kZlibCompression, static_cast<std::uint8_t>(m_format),
                                       kBlockWidth, kBlockHeight, kZlibHeader[0], kZlibHeader[1]};
        std::copy(std::begin(fields), std::end(fields), out + 1);
        header = kKeyHeaderBytes + sizeof(kZlibHeader);
        payload = keyPayload(palette);
        m_level = ZlibLevelFor(quality);
        deflating = deflateReset(&stream) == Z_OK && m_deflater->setLevel(m_level, out + header, capacity - header);
    } else {
        bool paletteChanged = false;
        payload = interPayload(palette, paletteChanged);
        if (paletteChanged) {
            out[0] |= kPaletteChangeFlag;
        }
        deflating = m_deflater->setLevel(payload > m_current.size() / kBusyShare ? 1 : m_level, out + header, capacity - header);
    }
    stream.next_in = m_payload.data();
    stream.avail_in = static_cast<uInt>(payload);
    stream.next_out = out + header;
    stream.avail_out = static_cast<uInt>(capacity - header);
    deflating = deflating && deflate(&stream, Z_SYNC_FLUSH) == Z_OK && stream.avail_in == 0 && stream.avail_out != 0;
    m_current.swap(m_previous);
    m_hashes.swap(m_previousHashes);
    m_havePrevious = deflating;
    if (!deflating) {
        return 0;
    }
    m_lastKey = key;
    return capacity - stream.avail_out;
}

} // namespace zmbv
