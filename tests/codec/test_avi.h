#pragma once
// Compressed frames wrapped in a minimal AVI file (one video stream at 25 frames/s) for an outside
// decoder.
#include <cstdint>
#include <string>
#include <vector>

struct CompressedFrame {
    std::vector<std::uint8_t> data;
    bool key = false;
};

// handler and compression are four-character codes.
bool WriteTestAvi(const std::string& path, const char* handler, const char* compression, int bits, int codedWidth,
                  int codedHeight, const std::vector<CompressedFrame>& frames);
