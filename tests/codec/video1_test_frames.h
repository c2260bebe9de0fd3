#pragma once
// Input frames for the Video 1 tests: bottom-up rows padded to 4 bytes, like a screen grab.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "test_avi.h"

struct TestFrame {
    int width = 0;
    int height = 0;
    int bits = 0;
    std::vector<std::uint8_t> pixels;

    TestFrame(int w, int h, int bitsPerPixel);
    // y counts from the top of the screen.
    void set(int x, int y, int r, int g, int b);
    // What the pixel is in 5-5-5 once the encoder has read it.
    std::uint16_t word555(int x, int y) const;
};

// A scene with flat areas (one in a colour whose fill collides with the skip code), gradients,
// text-like strokes, blocks with an odd upper-right corner, noise and a square that moves with n.
TestFrame MovingScene(int width, int height, int bits, int n);
