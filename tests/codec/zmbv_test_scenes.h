#pragma once
// Screen-like frame sequences for the ZMBV tests and benchmark: bottom-up DIB rows padded to 4
// bytes, as the screen is grabbed, at 8 (with a palette), 16 (5-5-5), 24 or 32 bits.
#include <cstdint>
#include <string>
#include <vector>

enum class Scene {
    Typing,    // text appears a letter a frame, a cursor blinks
    Scrolling, // a page moves up a few pixels a frame under a fixed toolbar and beside a side bar
    Dragging,  // a window moves across a busy desktop
    Recolour,  // typing at 8 bits while the palette changes every few frames
    Bars,      // full-screen coloured bars move 7 pixels a frame (the recording benchmark's picture)
    FarBars,   // the same bars 100 pixels a frame, beyond any motion vector's reach
};

struct Sequence {
    int width = 0;
    int height = 0;
    int bits = 0;
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<std::vector<std::uint8_t>> palettes; // per frame: 256 x B, G, R, 0 (8 bits only)
};

Sequence MakeSequence(Scene scene, int width, int height, int bits, int frames);
const char* SceneName(Scene scene);

// What a decoder shows for frame n: top-down rows as the stream codes them (24 bits as 32).
std::vector<std::uint8_t> CodedPicture(const Sequence& sequence, std::size_t n);
// Frame n as ffmpeg shows it, top-down: 8 bits as B, G, R, 0 with the palette applied, else as coded.
std::vector<std::uint8_t> ShownPicture(const Sequence& sequence, std::size_t n);
