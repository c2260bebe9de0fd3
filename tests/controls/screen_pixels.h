#pragma once
// What a window shows on screen, read back as rows of pixels.
#include "win/dib_header.h"
#include "win/handles.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

    // Smoothed text mixes its colour with the background: near enough counts.
    static bool Near(uint32_t a, uint32_t b, int tolerance = 48)
    {
        for (int shift : {0, 8, 16}) {
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
                return false;
            }
        }
        return true;
    }

    // Rows holding at least `minimum` pixels of (near) the colour, top first.
    std::vector<int> RowsWith(uint32_t rgb, int minimum = 1) const
    {
        std::vector<int> rows;
        for (int y = 0; y < height; ++y) {
            int count = 0;
            for (int x = 0; x < width; ++x) {
                count += Near(at(x, y), rgb) ? 1 : 0;
            }
            if (count >= minimum) {
                rows.push_back(y);
            }
        }
        return rows;
    }
};

inline ScreenPixels GrabClient(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT client{};
    GetClientRect(window, &client);
    ScreenPixels grab;
    grab.width = client.right;
    grab.height = client.bottom;
    grab.pixels.resize(static_cast<size_t>(grab.width) * grab.height);
    BITMAPINFO info = TopDownDibHeader(grab.width, grab.height);
    WindowDC screen(window);
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    GdiBitmap image(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !image) {
        return grab;
    }
    SelectGuard select(memory.get(), image.get());
    BitBlt(memory.get(), 0, 0, grab.width, grab.height, screen.get(), 0, 0, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < grab.pixels.size(); ++i) {
        grab.pixels[i] = source[i] & 0xFFFFFF;
    }
    return grab;
}
