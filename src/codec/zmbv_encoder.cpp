// The ZMBV encoder's top level: set-up, the block size, and each frame put together from the band
// coding (zmbv_band_coding.cpp, which calls the motion search in zmbv_motion_search.cpp) and
// deflated (zmbv_deflate.cpp).
#include "codec/zmbv_encoder.h"

#include "codec/half_frame_worker.h"
#include "codec/zmbv_deflate.h"

#include <algorithm>
#include <memory>

namespace zmbv {
namespace {

// A frame whose changes take more than this share of the picture is deflated at level 1: under a
// busy screen a higher level costs far more time than it saves bytes.
constexpr std::size_t kBusyShare = 8;

// Below this height a second thread costs more than it saves.
constexpr int kSplitHeight = 24 * kLargeBlock;

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
