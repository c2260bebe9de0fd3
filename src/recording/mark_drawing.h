#pragma once
// Marks blended straight into a frame's memory: a click's ring and the key caption's box and text.
// Frames of 24 and 32 bits only; others are left as they are.
#include "recording/click_ring.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Bottom-up rows, as a device-independent bitmap lies in memory.
struct FrameRows {
    std::uint8_t* pixels = nullptr;
    std::size_t stride = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
};

// Colours are 0x00BBGGRR; opacity 255 covers.
void DrawRing(const FrameRows& frame, double centreX, double centreY, const RingShape& ring, std::uint32_t colour);

// A coverage mask of top-down rows (0 none, 255 whole), its top-left corner at (x, y), clipped.
struct CoverageMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;
};
void BlendMask(const FrameRows& frame, const CoverageMask& mask, int x, int y, std::uint32_t colour, int opacity);

// A box of the size with corners rounded to the radius, smoothed at its edge.
CoverageMask RoundedBox(int width, int height, double radius);
