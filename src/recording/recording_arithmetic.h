#pragma once
// The recording engine's arithmetic, kept free of Windows headers so that the host build checks it.
#include <cstdint>

// Packed bitmap frame: 40-byte header, colour table, bottom-up rows padded to 4 bytes.
struct FrameLayout {
    std::uint32_t rowBytes = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t colours = 0; // colour-table entries: 2^bits up to 8 bits, else 0
    std::uint32_t pixelOffset = 0;
    std::uint32_t blockSize = 0;
};
constexpr std::uint32_t kBitmapHeaderSize = 40;
// Zero sizes for a width, height or depth the block cannot hold.
FrameLayout LayoutFor(std::int32_t width, std::int32_t height, std::int32_t bits);

// The highlight's shape of the given size inside a square cell (128 x 128 when recording); right
// and bottom exclusive.
constexpr std::int32_t kHighlightCell = 128;
struct HighlightBox {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool ellipse = false;
    bool drawn = false; // an unknown shape leaves the cell white
};
HighlightBox HighlightBoxFor(std::int32_t size, std::int32_t shape, std::int32_t cell = kHighlightCell);

// Compressor check: a size brought to a multiple of n, rounded up unless that passes the screen.
std::int32_t SizeForMultiple(std::int32_t size, std::int32_t n, std::int32_t screen);

// Capture interval in 50 ms slices plus a remainder, so that Stop is seen within one slice.
constexpr std::uint32_t kSleepSlice = 50;
struct SleepPlan {
    std::int32_t slices = 0;
    std::uint32_t remainder = 0;
};
SleepPlan SleepPlanFor(std::int32_t timelapse);

// Time-line number of a capture after the first: by the wall clock, or one per capture for
// intervals above a second (and for an interval of 0, where the clock slot has no width).
constexpr std::int32_t kConsecutiveAbove = 1000;
std::uint32_t NextFrameNumber(std::int32_t timelapse, std::uint32_t previous, std::uint32_t elapsedMs);

// A frame is written when it reaches a slot after the last written one; slot 0 is always written.
constexpr bool IsWrittenSlot(std::uint32_t number, std::uint32_t lastWritten)
{
    return number == 0 || number > lastWritten;
}
