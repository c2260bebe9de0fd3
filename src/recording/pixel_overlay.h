#pragma once
// What a drawing does to the pixels under it, learnt once and replayed into frame memory. Two forms
// cover how cursors and their highlight are drawn: bitwise (copying, masking, inverting: every byte
// becomes (byte AND mask) XOR bits) and blending over a premultiplied colour (every byte becomes
// colour + (byte * keep + 127) / 255).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// A square canvas of bottom-up rows (as a device-independent bitmap lies in memory).
struct OverlayCanvas {
    int size = 0;           // width and height in pixels
    int bytesPerPixel = 0;
    std::size_t stride = 0; // bytes from one row to the next
};

struct PixelOverlay {
    enum class Form { Bitwise, Blend };
    Form form = Form::Bitwise;
    // The box of pixels the drawing changes, relative to the point it was drawn at.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    // Top-down rows of width * bytesPerPixel bytes: mask and bits (bitwise), or keep and colour (blend).
    std::vector<std::uint8_t> first;
    std::vector<std::uint8_t> second;
};

// The byte that pattern canvas n holds at offset i before the drawing: varied, so that a drawing of
// neither form shows it.
std::uint8_t OverlayPatternByte(int n, std::size_t i);
constexpr int kOverlayPatterns = 4;

// What one drawing at (originX, originY) left on canvases that held all zero bits, all one bits and
// each of the kOverlayPatterns patterns.
struct OverlayProbes {
    const std::uint8_t* onZeros = nullptr;
    const std::uint8_t* onOnes = nullptr;
    const std::uint8_t* onPatterns[kOverlayPatterns] = {};
};

// Empty when the drawing has neither form.
std::optional<PixelOverlay> LearnOverlay(const OverlayCanvas& canvas, const OverlayProbes& probes, int originX, int originY);

// Replays the drawing at (x, y) of a frame of bottom-up rows, clipped to the frame.
void ApplyOverlay(const PixelOverlay& overlay, std::uint8_t* pixels, std::size_t stride, int width, int height, int x, int y);
