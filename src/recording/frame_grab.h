#pragma once
// Frame grab: a screen rectangle with the cursor drawn in, as a packed device-independent bitmap
// (header, colour table, bottom-up rows) in one locked movable global block.
#include <windows.h>

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "recording/pixel_overlay.h"
#include "win/handles.h"

// Null when the frame block cannot be allocated or locked. With feedback suppressed (probe and
// sample frames) the flashing frame is left alone.
BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback);

// Unlocks and frees a grabbed frame; null is ignored.
void ReleaseFrame(BITMAPINFOHEADER* frame);

// Released frame blocks kept locked for the next grab of the same size: a fresh screen-sized
// block per frame faults in every one of its pages again.
class CFrameBlocks {
public:
    CFrameBlocks() = default;
    CFrameBlocks(const CFrameBlocks&) = delete;
    CFrameBlocks& operator=(const CFrameBlocks&) = delete;
    ~CFrameBlocks();

    // A zero-filled block of the size on first use, a recycled one after; null when none can be had.
    BITMAPINFOHEADER* Take(std::uint32_t size);
    void Give(BITMAPINFOHEADER* frame);

private:
    BITMAPINFOHEADER* m_spare = nullptr;
};

// Gives the frame back to its blocks, or frees it when it has none.
struct FrameReleaser {
    CFrameBlocks* blocks = nullptr;
    void operator()(BITMAPINFOHEADER* frame) const;
};
using FramePtr = std::unique_ptr<BITMAPINFOHEADER, FrameReleaser>;

// The hot spot of the cursor drawn last. Reading it copies the cursor's two bitmaps, which under
// Wine costs more than drawing the cursor; (0, 0) when it cannot be read.
class CCursorHotSpot {
public:
    POINT Of(HCURSOR cursor);

private:
    HCURSOR m_cursor = nullptr;
    POINT m_hotSpot{};
};

// The cursor and its highlight as GDI draws them into frames of one format, each learnt from GDI's
// own drawing once, then replayed into the frame's memory: drawing them through GDI every frame
// costs more under Wine than the rest of a small frame's grab.
class CCursorOverlays {
public:
    explicit CCursorOverlays(int bitsPerPixel) : m_bits(bitsPerPixel) {}
    // Draws the highlight and cursor for the cursor at (x, y) into the bottom-up rows. False, with
    // nothing drawn, when either cannot be replayed: the caller then draws both through GDI.
    bool Draw(std::uint8_t* pixels, std::size_t stride, int width, int height, int x, int y, CCursorHotSpot& hotSpots);

private:
    // One thing drawn: a cursor, or (cursor null) the highlight of the given colour, size and shape.
    struct Look {
        HCURSOR cursor = nullptr;
        COLORREF colour = 0;
        int size = 0;
        int shape = 0;
        bool operator==(const Look&) const = default;
    };
    struct Learnt {
        Look look;
        std::optional<PixelOverlay> overlay;
    };
    const std::optional<PixelOverlay>& Overlay(const Look& look, CCursorHotSpot& hotSpots);
    std::optional<PixelOverlay> Learn(const Look& look, CCursorHotSpot& hotSpots) const;

    int m_bits;
    std::list<Learnt> m_learnt; // the few cursors one recording meets
};

// The screen copy of one size: its bitmap and drawing context are made once.
class CScreenCopy {
public:
    // With replayCursor the cursor is learnt once and replayed (recordings); without it, drawn
    // through GDI (single grabs).
    CScreenCopy(int width, int height, bool replayCursor = false);
    explicit operator bool() const { return m_memory && m_bitmap; }
    // Copies the rectangle at (left, top), draws the cursor and converts the copy into the block
    // that blocks gives (a new one without blocks).
    BITMAPINFOHEADER* Grab(int left, int top, bool suppressFeedback, CFrameBlocks* blocks);

private:
    BITMAPINFOHEADER* ToFrameBlock(HDC screen, CFrameBlocks* blocks);

    int m_width;
    int m_height;
    int m_bits;
    MemoryDC m_memory;
    GdiBitmap m_bitmap;
    void* m_pixels = nullptr; // the DIB section's rows; null for a palette frame's bitmap
    CCursorHotSpot m_hotSpots;
    std::optional<CCursorOverlays> m_overlays;
};

// The recording's grabs: one screen copy and recycled frame blocks for all its frames. The loop
// still owns each frame until it releases it.
class CFrameGrabber {
public:
    CFrameGrabber(int width, int height) : m_copy(width, height, true) {}
    // Empty when the frame cannot be had.
    FramePtr Grab(int left, int top);

private:
    CScreenCopy m_copy;
    CFrameBlocks m_blocks;
};

// Header size plus colour table: where the pixels start.
std::uint32_t FramePixelOffset(const BITMAPINFOHEADER* frame);

// The cursor drawn into frames, by g_cursortype.
HCURSOR ChooseCursor();

// ANDs the 128 x 128 highlight cell onto the target with its top-left corner at (x, y).
void DrawHighlight(HDC target, int x, int y);
