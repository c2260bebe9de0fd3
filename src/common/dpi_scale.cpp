#include "common/dpi_scale.h"

#include <array>
#include <cstdlib>

namespace {
int MulDivRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long magnitude = (std::llabs(product) + half) / denominator;
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

constexpr std::array<ImageSet, 3> kImageSets{{{96, 0}, {144, 1000}, {192, 2000}}};
} // namespace

int ScaleForDpi(int length, int dpi)
{
    return MulDivRounded(length, dpi, kBaseDpi);
}

PixelBox ScaleForDpi(const PixelBox& box, int dpi)
{
    return {ScaleForDpi(box.x, dpi), ScaleForDpi(box.y, dpi), ScaleForDpi(box.width, dpi),
            ScaleForDpi(box.height, dpi)};
}

int DpiToFit(int length, int space, int dpi)
{
    if (length <= 0 || ScaleForDpi(length, dpi) <= space) {
        return dpi;
    }
    int fit = MulDivRounded(space, kBaseDpi, length) + 1;
    while (fit > 1 && ScaleForDpi(length, fit) > space) {
        --fit;
    }
    return fit;
}

ImageSet ImageSetForDpi(int dpi)
{
    for (const ImageSet& set : kImageSets) {
        if (dpi <= set.dpi) {
            return set;
        }
    }
    return kImageSets.back();
}

int ImageLengthForDpi(int setLength, int setDpi, int dpi)
{
    return ScaleForDpi(MulDivRounded(setLength, kBaseDpi, setDpi), dpi);
}
