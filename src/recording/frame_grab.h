#pragma once
// Frame grab: a screen rectangle with the cursor drawn in, as a packed device-independent bitmap
// (header, colour table, bottom-up rows) in one locked movable global block.
#include <windows.h>

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "recording/input_marks.h"
#include "recording/pixel_overlay.h"
#include "recording/window_fit.h"
#include "win/handles.h"

// Null when the frame block cannot be allocated or locked. With feedback suppressed (probe and
// sample frames) the flashing frame is left alone.
BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback);

// Unlocks and frees a grabbed frame; null is ignored.
void ReleaseFrame(BITMAPINFOHEADER* frame);

// The recording's frame blocks, kept for the next grab once released: a fresh screen-sized block
// per frame faults in every one of its pages again. Each block is a pagefile section that holds
// the whole frame (header, colour table, rows); frames of more than 8 bits have a DIB section over
// their rows, so that the screen is copied straight into the frame.
class CFrameBlocks {
public:
    struct Block {
        BITMAPINFOHEADER* frame = nullptr; // null when no block can be had
        HBITMAP bitmap = nullptr;          // null without a DIB section
        std::uint8_t* pixels = nullptr;
    };

    CFrameBlocks() = default;
    CFrameBlocks(const CFrameBlocks&) = delete;
    CFrameBlocks& operator=(const CFrameBlocks&) = delete;

    // A block that no frame holds; zero-filled when new. With format (of more than 8 bits) it has
    // a DIB section of that format over its rows, which start at pixelOffset.
    Block Take(std::uint32_t size, std::uint32_t pixelOffset, const BITMAPINFO* format);
    void Give(BITMAPINFOHEADER* frame);

private:
    struct Section {
        KernelHandle mapping;
        MappedView view; // null when the DIB section maps the block
        GdiBitmap bitmap;
        Block block;
        std::uint32_t size = 0;
        bool held = false;
    };
    std::list<Section> m_sections; // as many as were held at once: two while the writer works
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

// The screen copy of one size: its drawing context, format and bitmap are made once.
class CScreenCopy {
public:
    // For a recording (blocks given to Grab) the cursor is learnt once and replayed, and frames of
    // more than 8 bits are drawn straight into their blocks, with the clicks and keys shown; a single grab draws the cursor
    // through GDI into a bitmap of its own and copies that into a new global block.
    CScreenCopy(int width, int height, bool recording = false);
    explicit operator bool() const { return m_screen && m_memory && (m_bitmap || m_drawsIntoBlocks); }
    // Copies the placement's screen pixels and draws the cursor into a frame block from blocks, or
    // into a new global block without them.
    BITMAPINFOHEADER* Grab(const FramePlacement& placement, bool suppressFeedback, CFrameBlocks* blocks);
    // The copy's own size at (left, top).
    FramePlacement At(int left, int top) const { return Unscaled({left, top, left + m_width - 1, top + m_height - 1}); }

private:
    void CopyScreen(HBITMAP target, std::uint8_t* pixels, const FramePlacement& placement);
    void FillHeader(BITMAPINFOHEADER* header) const;
    void CopyOut(BITMAPINFOHEADER* header) const;

    int m_width;
    int m_height;
    int m_bits;
    bool m_drawsIntoBlocks;
    BITMAPINFO m_format{};
    WindowDC m_screen{nullptr}; // kept: under Wine each GetDC asks the server for the visible region
    MemoryDC m_memory;
    GdiBitmap m_bitmap;            // none when frames are drawn into their blocks
    std::uint8_t* m_pixels = nullptr; // the DIB section's rows; null for a palette frame's bitmap
    CCursorHotSpot m_hotSpots;
    std::optional<CCursorOverlays> m_overlays;
    std::optional<CInputMarks> m_marks; // a recording's clicks and keys
};

// The recording's grabs: one screen copy and recycled frame blocks for all its frames. The loop
// still owns each frame until it releases it.
class CFrameGrabber {
public:
    CFrameGrabber(int width, int height) : m_copy(width, height, true) {}
    // Empty when the frame cannot be had.
    FramePtr Grab(int left, int top) { return Grab(m_copy.At(left, top)); }
    FramePtr Grab(const FramePlacement& placement);

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
