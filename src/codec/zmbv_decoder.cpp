#include "codec/zmbv_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zmbv {

struct Inflater {
    z_stream stream{};

    Inflater()
    {
        if (inflateInit(&stream) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Inflater() { inflateEnd(&stream); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
};

namespace {

bool KnownFormat(std::uint8_t format)
{
    return format == static_cast<std::uint8_t>(PixelFormat::Palette8) || format == static_cast<std::uint8_t>(PixelFormat::Rgb555) ||
           format == static_cast<std::uint8_t>(PixelFormat::Rgb565) || format == static_cast<std::uint8_t>(PixelFormat::Bgrx32);
}

} // namespace

Decoder::Decoder() = default;
Decoder::~Decoder() = default;

bool Decoder::begin(int width, int height)
{
    m_width = m_height = 0;
    m_haveKey = false;
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) {
        return false;
    }
    if (!m_inflater) {
        m_inflater = std::make_unique<Inflater>();
    }
    m_width = width;
    m_height = height;
    m_palette.assign(kPaletteBytes, 0);
    return true;
}

DecodeResult Decoder::startKeyFrame(const std::uint8_t* data, std::size_t size)
{
    if (size < kKeyHeaderBytes || data[1] != kMajorVersion || data[2] != kMinorVersion || data[3] > kZlibCompression ||
        !KnownFormat(data[4]) || data[5] == 0 || data[6] == 0) {
        return DecodeResult::BadHeader;
    }
    m_compressed = data[3] == kZlibCompression;
    m_format = static_cast<PixelFormat>(data[4]);
    m_bytesPerPixel = BytesPerPixel(m_format);
    m_blockWidth = data[5];
    m_blockHeight = data[6];
    const std::size_t picture = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height) *
                                static_cast<std::size_t>(m_bytesPerPixel);
    m_payload.resize(kPaletteBytes + VectorTableBytes(m_width, m_height, m_blockWidth, m_blockHeight) + picture);
    m_picture.resize(picture);
    m_previous.resize(picture);
    if (m_compressed && inflateReset(&m_inflater->stream) != Z_OK) {
        return DecodeResult::BadData;
    }
    return DecodeResult::Ok;
}

DecodeResult Decoder::decode(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return DecodeResult::Empty;
    }
    const bool key = (data[0] & kKeyFrameFlag) != 0;
    std::size_t at = 1;
    if (key) {
        m_haveKey = false;
        if (m_width == 0) {
            return DecodeResult::BadHeader;
        }
        if (const DecodeResult started = startKeyFrame(data, size); started != DecodeResult::Ok) {
            return started;
        }
        at = kKeyHeaderBytes;
    } else if (!m_haveKey) {
        return DecodeResult::NeedKeyFrame;
    }
    std::size_t available = size - at;
    if (m_compressed) {
        z_stream& stream = m_inflater->stream;
        stream.next_in = const_cast<std::uint8_t*>(data + at); // zlib's interface; it only reads
        stream.avail_in = static_cast<uInt>(size - at);
        stream.next_out = m_payload.data();
        stream.avail_out = static_cast<uInt>(m_payload.size());
        const int result = inflate(&stream, Z_SYNC_FLUSH);
        if ((result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) || stream.avail_in != 0) {
            m_haveKey = false;
            return DecodeResult::BadData;
        }
        available = m_payload.size() - stream.avail_out;
    } else if (available <= m_payload.size()) {
        std::copy_n(data + at, available, m_payload.begin());
    } else {
        m_haveKey = false;
        return DecodeResult::BadData;
    }
    if (!key) {
        const DecodeResult applied = applyDifference(available, (data[0] & kPaletteChangeFlag) != 0);
        m_haveKey = applied == DecodeResult::Ok;
        return applied;
    }
    const std::size_t palette = m_format == PixelFormat::Palette8 ? kPaletteBytes : 0;
    if (available < palette + m_picture.size()) {
        return DecodeResult::BadData;
    }
    std::copy_n(m_payload.begin(), palette, m_palette.begin());
    std::copy_n(m_payload.begin() + static_cast<std::ptrdiff_t>(palette), m_picture.size(), m_picture.begin());
    m_haveKey = true;
    return DecodeResult::Ok;
}

DecodeResult Decoder::applyDifference(std::size_t available, bool paletteChange)
{
    const bool newPalette = paletteChange && m_format == PixelFormat::Palette8;
    const std::size_t tableAt = newPalette ? kPaletteBytes : 0;
    const std::size_t tableBytes = VectorTableBytes(m_width, m_height, m_blockWidth, m_blockHeight);
    const int columns = (m_width + m_blockWidth - 1) / m_blockWidth;
    const int rows = (m_height + m_blockHeight - 1) / m_blockHeight;
    const std::size_t pixel = static_cast<std::size_t>(m_bytesPerPixel);
    if (available < tableAt + tableBytes) {
        return DecodeResult::BadData;
    }
    const std::uint8_t* table = m_payload.data() + tableAt;
    std::size_t needed = tableAt + tableBytes;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (*table & 1) {
                needed += static_cast<std::size_t>(std::min(m_blockWidth, m_width - column * m_blockWidth)) *
                          static_cast<std::size_t>(std::min(m_blockHeight, m_height - row * m_blockHeight)) * pixel;
            }
            table += 2;
        }
    }
    if (available < needed) {
        return DecodeResult::BadData;
    }
    for (std::size_t i = 0; i < tableAt; ++i) {
        m_palette[i] ^= m_payload[i];
    }
    m_picture.swap(m_previous);
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * pixel;
    table = m_payload.data() + tableAt;
    const std::uint8_t* differences = table + tableBytes;
    for (int row = 0; row < rows; ++row) {
        const int y = row * m_blockHeight;
        const int h = std::min(m_blockHeight, m_height - y);
        for (int column = 0; column < columns; ++column, table += 2) {
            const int x = column * m_blockWidth;
            const int w = std::min(m_blockWidth, m_width - x);
            const int dx = static_cast<std::int8_t>(table[0]) >> 1;
            const int dy = static_cast<std::int8_t>(table[1]) >> 1;
            const std::size_t bytes = static_cast<std::size_t>(w) * pixel;
            for (int r = 0; r < h; ++r) {
                std::uint8_t* to = m_picture.data() + static_cast<std::size_t>(y + r) * rowBytes + static_cast<std::size_t>(x) * pixel;
                const int sy = y + r + dy;
                const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(sy) * static_cast<std::ptrdiff_t>(rowBytes) +
                                            static_cast<std::ptrdiff_t>(x + dx) * static_cast<std::ptrdiff_t>(pixel);
                if (sy >= 0 && sy < m_height && x + dx >= 0 && x + dx + w <= m_width) {
                    std::copy_n(m_previous.data() + from, bytes, to);
                } else {
                    // Source pixels outside the picture are 0.
                    for (int c = 0; c < w; ++c) {
                        const int sx = x + c + dx;
                        const bool outside = sy < 0 || sy >= m_height || sx < 0 || sx >= m_width;
                        for (std::size_t i = 0; i < pixel; ++i) {
                            const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(static_cast<std::size_t>(c) * pixel + i);
                            to[at] = outside ? 0 : m_previous[static_cast<std::size_t>(from + at)];
                        }
                    }
                }
                if (table[0] & 1) {
                    for (std::size_t i = 0; i < bytes; ++i) {
                        to[i] ^= differences[i];
                    }
                    differences += bytes;
                }
            }
        }
    }
    return DecodeResult::Ok;
}

void Decoder::writeDib(std::uint8_t* out) const
{
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_bytesPerPixel);
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    for (int y = 0; y < m_height; ++y) {
        std::uint8_t* to = out + static_cast<std::size_t>(m_height - 1 - y) * stride;
        std::copy_n(m_picture.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes, to);
        std::fill(to + rowBytes, to + stride, 0);
    }
}

void Decoder::writeRgb(std::uint8_t* out, int bitsPerPixel) const
{
    const std::size_t outPixel = bitsPerPixel == 24 ? 3 : 4;
    const std::size_t stride = (static_cast<std::size_t>(m_width) * outPixel + 3) & ~std::size_t{3};
    const auto level = [](unsigned value, int bits) { return static_cast<std::uint8_t>((value << (8 - bits)) | (value >> (2 * bits - 8))); };
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t* from = m_picture.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) *
                                                          static_cast<std::size_t>(m_bytesPerPixel);
        std::uint8_t* to = out + static_cast<std::size_t>(m_height - 1 - y) * stride;
        std::fill(to, to + stride, 0);
        for (int x = 0; x < m_width; ++x, to += outPixel) {
            std::uint8_t b = 0, g = 0, r = 0;
            switch (m_format) {
            case PixelFormat::Palette8:
                r = m_palette[from[x] * 3u];
                g = m_palette[from[x] * 3u + 1];
                b = m_palette[from[x] * 3u + 2];
                break;
            case PixelFormat::Rgb555:
            case PixelFormat::Rgb565: {
                const unsigned word = from[x * 2] | (from[x * 2 + 1] << 8);
                const bool wide = m_format == PixelFormat::Rgb565;
                r = level((word >> (wide ? 11 : 10)) & 31, 5);
                g = wide ? level((word >> 5) & 63, 6) : level((word >> 5) & 31, 5);
                b = level(word & 31, 5);
                break;
            }
            case PixelFormat::Bgrx32:
                b = from[x * 4];
                g = from[x * 4 + 1];
                r = from[x * 4 + 2];
                break;
            }
            to[0] = b;
            to[1] = g;
            to[2] = r;
        }
    }
}

} // namespace zmbv
