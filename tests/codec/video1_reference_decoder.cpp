#include "video1_reference_decoder.h"

Video1Decoded DecodeVideo1(const std::uint8_t* data, std::size_t size, int width, int height,
                           std::vector<std::uint16_t>& picture)
{
    Video1Decoded result;
    picture.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const int blocksWide = width / 4;
    const int totalBlocks = blocksWide * (height / 4);
    std::size_t pos = 0;
    auto read = [&](std::uint16_t& word) {
        if (pos + 2 > size) {
            return false;
        }
        word = static_cast<std::uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        return true;
    };
    auto put = [&](int block, int i, std::uint16_t colour) {
        const int x = (block % blocksWide) * 4 + i % 4;
        const int y = (block / blocksWide) * 4 + i / 4;
        picture[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = colour;
    };

    int block = 0;
    while (block < totalBlocks) {
        std::uint16_t w = 0;
        if (!read(w)) {
            return result;
        }
        const int hi = w >> 8;
        if ((hi & 0xFC) == 0x84) {
            result.sawSkip = true;
            block += ((hi - 0x84) << 8) + (w & 0xFF);
            continue;
        }
        if (hi >= 0x80) {
            for (int i = 0; i < 16; ++i) {
                put(block, i, w & 0x7FFF);
            }
            ++block;
            continue;
        }
        std::uint16_t colours[8] = {};
        if (!read(colours[0]) || !read(colours[1])) {
            return result;
        }
        const bool eight = (colours[0] & 0x8000) != 0;
        if (eight) {
            for (int c = 2; c < 8; ++c) {
                if (!read(colours[c])) {
                    return result;
                }
            }
        }
        for (int i = 0; i < 16; ++i) {
            const int quadrant = eight ? 2 * (i / 4 >= 2) + (i % 4 >= 2) : 0;
            const bool first = (w >> i) & 1;
            put(block, i, colours[2 * quadrant + (first ? 0 : 1)] & 0x7FFF);
        }
        ++block;
    }
    result.complete = block == totalBlocks;
    result.bytesRead = pos;
    return result;
}
