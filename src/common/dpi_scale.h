#pragma once
// The skin and the pictures are laid out in pixels at 96 dpi; these rules place and size them for a
// monitor of another dpi, and pick the set of images drawn nearest to it.
#include <cstdint>

constexpr int kBaseDpi = 96;

// length * dpi / 96, rounded half away from zero as MulDiv rounds.
int ScaleForDpi(int length, int dpi);

// A place and size in pixels; each of the four is scaled on its own, so that an image of the scaled
// size fills the scaled box exactly.
struct PixelBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelBox&, const PixelBox&) = default;
};
PixelBox ScaleForDpi(const PixelBox& box, int dpi);

// The highest dpi, up to dpi itself, at which a 96 dpi length still fits into space pixels (at
// least 1): a picture shrinks where the dialog around it came out smaller than its own scale.
int DpiToFit(int length, int space, int dpi);

// The images come drawn for 100, 150 and 200 %; the larger sets carry their own resource numbers.
struct ImageSet {
    int dpi = kBaseDpi;
    std::uint16_t resourceOffset = 0;
    friend bool operator==(const ImageSet&, const ImageSet&) = default;
};
// The smallest set drawn at or above the dpi (shrinking looks better than enlarging), else the largest.
ImageSet ImageSetForDpi(int dpi);

// The length at dpi of an image that its set, drawn at setDpi, holds setLength pixels long: the set
// was scaled from a 96 dpi length, which is recovered first so that it matches ScaleForDpi.
int ImageLengthForDpi(int setLength, int setDpi, int dpi);
