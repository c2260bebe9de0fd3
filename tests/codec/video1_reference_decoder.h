#pragma once
// An independent Video 1 (16-bit) decoder for the tests, written from the format description.
#include <cstddef>
#include <cstdint>
#include <vector>

struct Video1Decoded {
    bool complete = false;     // every block was coded before the data ran out
    bool sawSkip = false;
    std::size_t bytesRead = 0;
};

// Decodes one frame onto picture: bottom-up rows of width 5-5-5 words (width, height multiples
// of 4). Skipped blocks keep what picture held.
Video1Decoded DecodeVideo1(const std::uint8_t* data, std::size_t size, int width, int height,
                           std::vector<std::uint16_t>& picture);
