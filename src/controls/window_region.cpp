#include "controls/window_region.h"

#include "win/dib_header.h"
#include "win/dpi.h"
#include "win/handles.h"

#include <cstdint>
#include <vector>

namespace {
struct MaskPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rows; // top-down, 0x00RRGGBB

    bool transparentAt(int x, int y, COLORREF transparent) const
    {
        const std::uint32_t p = rows[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        const COLORREF colour = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
        return colour == (transparent & 0xFFFFFF);
    }
};

// One read of the whole bitmap instead of a pixel query per pixel.
bool ReadMask(HBITMAP mask, HDC compatibleDC, MaskPixels& out)
{
    BITMAP info{};
    if (!mask || !GetObjectA(mask, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0) {
        return false;
    }
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    out.rows.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
    BITMAPINFO header = TopDownDibHeader(out.width, out.height);
    MemoryDC memory(CreateCompatibleDC(compatibleDC));
    if (!memory) {
        return false;
    }
    // GetDIBits wants the bitmap not selected into any DC; the memory DC only gives the format.
    return GetDIBits(memory.get(), mask, 0, static_cast<UINT>(out.height), out.rows.data(), &header,
                     DIB_RGB_COLORS) == out.height;
}
} // namespace

HRGN WindowRegionFromMask(HBITMAP mask, HDC compatibleDC, int width, int height, COLORREF transparent)
{
    MaskPixels pixels;
    if (!ReadMask(mask, compatibleDC, pixels)) {
        return nullptr;
    }
    GdiRegion region(CreateRectRgn(0, 0, width, height));
    GdiRegion pixel(CreateRectRgn(0, 0, 0, 0));
    if (!region || !pixel) {
        return nullptr;
    }
    for (int x = 0; x < width && x < pixels.width; ++x) {
        for (int y = 0; y < height && y < pixels.height; ++y) {
            if (pixels.transparentAt(x, y, transparent)) {
                SetRectRgn(pixel.get(), x, y, x + 1, y + 1);
                CombineRgn(region.get(), region.get(), pixel.get(), RGN_DIFF);
            }
        }
    }
    return region.release();
}

bool SetRegionFromBitmap(HWND window, HDC compatibleDC, UINT maskId, COLORREF transparent, int dpi)
{
    RECT outer{};
    if (!GetWindowRect(window, &outer)) {
        return false;
    }
    const GdiBitmap mask = LoadBitmapForDpi(maskId, dpi, BitmapKind::Mask);
    GdiRegion region(WindowRegionFromMask(mask.get(), compatibleDC, outer.right - outer.left,
                                          outer.bottom - outer.top, transparent));
    if (!region) {
        return false;
    }
    // The window owns the region from here on.
    return SetWindowRgn(window, region.release(), TRUE) != 0;
}

HRGN RegionFromMask(HBITMAP mask, COLORREF transparent)
{
    if (!mask) {
        return nullptr;
    }
    MaskPixels pixels;
    {
        WindowDC screen(nullptr);
        if (!ReadMask(mask, screen.get(), pixels)) {
            return nullptr;
        }
    }
    std::vector<RECT> runs;
    runs.reserve(40);
    for (int y = pixels.height - 1; y >= 0; --y) {
        int x = 0;
        while (x < pixels.width) {
            if (pixels.transparentAt(x, y, transparent)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < pixels.width && !pixels.transparentAt(x, y, transparent)) {
                ++x;
            }
            runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    GdiRegion region(CreateRectRgn(0, 0, 0, 0));
    GdiRegion run(CreateRectRgn(0, 0, 0, 0));
    if (!region || !run) {
        return nullptr;
    }
    for (const RECT& r : runs) {
        SetRectRgn(run.get(), r.left, r.top, r.right, r.bottom);
        CombineRgn(region.get(), region.get(), run.get(), RGN_OR);
    }
    return region.release();
}
