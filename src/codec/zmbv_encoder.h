#pragma once
// ZMBV encoder: bottom-up DIB frames in (8, 16, 24 or 32 bits), one compressed frame out per
// call, lossless. Portable: the Video for Windows driver wraps it.
#include "codec/zmbv_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class HalfFrameWorker;
struct z_stream_s;

namespace zmbv {

constexpr int kMaxQuality = 10000;
constexpr int kDefaultQuality = 7000;

// Rows padded to 4 bytes, 16-bit pixels as 5-5-5.
bool IsSupportedInput(int width, int height, int bitsPerPixel);
std::size_t InputStride(int width, int bitsPerPixel);
// Square blocks: the encoder picks one of the two sizes at each key frame.
constexpr int kLargeBlock = 16;
constexpr int kSmallBlock = 8;
// What one compressed frame can take at most, however badly its pixels compress.
std::size_t MaxFrameBytes(int width, int height, int bitsPerPixel);
struct Deflater;

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // False when the input format is not supported; the encoder then stays unusable.
    bool begin(int width, int height, int bitsPerPixel);
    void end();
    bool ready() const { return m_width > 0; }

    // Writes one frame to out, which must hold MaxFrameBytes, and returns its size; 0 when zlib
    // fails, after which the next frame is a key frame. The first frame after begin() is always a
    // key frame. palette: 256 entries of B, G, R, x for 8-bit input (null: all black), ignored otherwise. The
    // quality (clamped to 0 ... kMaxQuality) takes effect at key frames.
    std::size_t encode(const std::uint8_t* pixels, const std::uint8_t* palette, int quality, bool keyFrame,
                       std::uint8_t* out);
    bool lastWasKeyFrame() const { return m_lastKey; }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    PixelFormat format() const { return m_format; }

private:
    struct Vector {
        int dx = 0;
        int dy = 0;

        bool operator==(const Vector&) const = default;
    };
    static constexpr std::size_t kRecentMoves = 8;
    // Moves found in this frame, newest first: where content moved, other blocks likely moved alike.
    struct RecentMoves {
        Vector moves[kRecentMoves];
        std::size_t count = 0;
        void remember(Vector found);
    };
    // Block rows coded on one thread, and the XOR data they left.
    struct Band {
        int firstRow = 0;
        int endRow = 0;
        std::uint8_t* xorData = nullptr;
        std::size_t xorBytes = 0;
        std::size_t variedPieces = 0; // of a key frame: row pieces not of one colour
    };
    struct Piece {
        const std::uint8_t* data;
        std::size_t size;
    };

    // zmbv_encoder.cpp: the top level.
    void useBlockSize(int block);
    // At a key frame: the block size the last interval's changes favour.
    void chooseBlockSize();
    // Runs job(band) for each band, the second on the worker.
    template <typename Job>
    void forEachBand(Job job);
    // Reads the input and codes its blocks: the palette change, the table and the XOR data.
    std::size_t interPieces(const std::uint8_t* pixels, const std::uint8_t* palette, bool& paletteChanged,
                            std::vector<Piece>& pieces);
    // A field of the bands added up, over the bands in use.
    std::size_t bandTotal(std::size_t Band::*field) const;

    // zmbv_encoder_inline.h: called in the loops of more than one file.
    inline const std::uint8_t* pixelAt(const std::vector<std::uint8_t>& picture, int x, int y) const;
    // Of an inter frame: a block row's input rows, read once, just before they are first needed.
    inline void readBlockRow(const std::uint8_t* pixels, int row);

    // zmbv_band_coding.cpp: reading the input, and coding a band's blocks.
    void readInput(const std::uint8_t* pixels, int firstY, int endY);
    void codeBand(Band& band, const std::uint8_t* pixels, std::uint8_t* table);
    bool rowsChanged(int y, int h) const;
    // Row r of the previous picture's block at the vector; outside the picture it is 0, as the
    // decoder takes it. scratch holds a row for the blocks that reach out.
    const std::uint8_t* sourceRow(int x, int y, int w, Vector v, std::uint8_t* scratch) const;
    std::size_t variedPieces(const Band& band) const;
    std::uint8_t* writeXor(int x, int y, int w, int h, Vector v, std::uint8_t* to) const;

    // zmbv_motion_search.cpp: each block's vector.
    bool fits(int x, int y, int w, int h, Vector v) const;
    bool sameBlock(int x, int y, int w, int h, Vector v) const;
    // The entropy of the block's XOR data at the vector, by its byte frequencies, in sixteenths of a bit.
    std::uint32_t xorCost(int x, int y, int w, int h, Vector v) const;
    bool findVerticalMove(int column, int y, int h, Vector& found) const;
    int variedRow(int x, int y, int w, int h) const;
    bool probe(int x, int y, int w, int h, int varied, Vector& found) const;
    void probeChangedBlocks(const Band& band, const std::uint8_t* pixels, std::size_t probes, RecentMoves& recent);
    // exact: the block is the previous picture's at the vector, nothing to XOR.
    Vector chooseVector(int column, int row, int x, int y, int w, int h, RecentMoves& recent, bool& exact) const;

    // zmbv_deflate.cpp: the zlib stream.
    static void Gather(const std::vector<Piece>& pieces, std::size_t from, std::size_t to, std::uint8_t* out);
    static bool DeflateRange(z_stream_s& stream, const std::vector<Piece>& pieces, std::size_t from, std::size_t to);
    // Deflates the pieces in order into out and flushes; a large input in two halves at once.
    bool deflatePieces(const std::vector<Piece>& pieces, std::uint8_t* out, std::size_t room, std::size_t& written);

    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 0;
    PixelFormat m_format = PixelFormat::Bgrx32;
    int m_bytesPerPixel = 0;
    std::size_t m_rowBytes = 0;
    int m_block = kLargeBlock;
    int m_columns = 0;
    int m_rows = 0;
    // Top-down pictures in the coded format: the one being coded and the one the decoder shows.
    std::vector<std::uint8_t> m_current;
    std::vector<std::uint8_t> m_previous;
    std::vector<std::uint8_t> m_payload;
    std::vector<std::uint8_t> m_palette; // R, G, B as last sent
    std::vector<std::uint8_t> m_rowChanged; // bytes, not bits: the bands write theirs at once
    std::vector<std::uint8_t> m_blockRowRead; // of this frame, likewise
    // A hash of each row's piece under each block column, of both pictures.
    std::vector<std::uint64_t> m_hashes;
    std::vector<std::uint64_t> m_previousHashes;
    std::vector<Vector> m_vectors;     // the last frame's
    std::vector<Vector> m_nextVectors; // this frame's
    Band m_bands[2];
    std::size_t m_bandCount = 1;
    std::unique_ptr<Deflater> m_deflater;
    std::unique_ptr<Deflater> m_halfDeflater; // the second half of a large input
    std::vector<std::uint8_t> m_halfOutput;
    std::vector<std::uint8_t> m_dictionary;
    std::unique_ptr<HalfFrameWorker> m_worker; // started by the first large frame
    int m_quality = kDefaultQuality; // taken at the key frame
    // Since the last key frame: inter frames, and the pixels of their blocks that left XOR data.
    std::size_t m_interFrames = 0;
    std::size_t m_xorPixels = 0;
    std::uint64_t m_tableBreaks = 0; // table entries that differ from the one before
    bool m_havePrevious = false;
    bool m_lastKey = false;
};

} // namespace zmbv
