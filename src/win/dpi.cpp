#include "win/dpi.h"

#include "win/dib_header.h"

#include <utility>

namespace {
GdiBitmap LoadBitmapResource(UINT id)
{
    return GdiBitmap(static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

GdiBitmap Stretched(HBITMAP source, SIZE to, BitmapKind kind)
{
    BITMAP from{};
    if (!GetObjectA(source, sizeof(from), &from) || to.cx <= 0 || to.cy <= 0) {
        return {};
    }
    const BITMAPINFO header = TopDownDibHeader(to.cx, to.cy);
    void* bits = nullptr;
    GdiBitmap target(CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDC sourceDC(CreateCompatibleDC(nullptr));
    MemoryDC targetDC(CreateCompatibleDC(nullptr));
    if (!target || !sourceDC || !targetDC) {
        return {};
    }
    SelectGuard selectSource(sourceDC.get(), source);
    SelectGuard selectTarget(targetDC.get(), target.get());
    // A one-bit mask maps through these: black stays black, white stays white.
    SetTextColor(targetDC.get(), RGB(0, 0, 0));
    SetBkColor(targetDC.get(), RGB(255, 255, 255));
    SetStretchBltMode(targetDC.get(), kind == BitmapKind::Mask ? COLORONCOLOR : HALFTONE);
    SetBrushOrgEx(targetDC.get(), 0, 0, nullptr);
    StretchBlt(targetDC.get(), 0, 0, to.cx, to.cy, sourceDC.get(), 0, 0, from.bmWidth, from.bmHeight, SRCCOPY);
    return target;
}
} // namespace

int WindowDpi(HWND window)
{
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    // Through void (*)() first: FARPROC's own type does not match the export's.
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0) {
            return static_cast<int>(dpi);
        }
    }
    WindowDC dc(window);
    const int dpi = dc.get() ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

GdiBitmap LoadBitmapForDpi(UINT id, int dpi, BitmapKind kind)
{
    ImageSet set = ImageSetForDpi(dpi);
    GdiBitmap bitmap = LoadBitmapResource(id + set.resourceOffset);
    if (!bitmap && set.resourceOffset != 0) {
        // A bitmap drawn only for 100 % is stretched from that.
        set = ImageSetForDpi(kBaseDpi);
        bitmap = LoadBitmapResource(id);
    }
    if (!bitmap || set.dpi == dpi) {
        return bitmap;
    }
    BITMAP info{};
    GetObjectA(bitmap.get(), sizeof(info), &info);
    const SIZE size{ImageLengthForDpi(info.bmWidth, set.dpi, dpi), ImageLengthForDpi(info.bmHeight, set.dpi, dpi)};
    GdiBitmap stretched = Stretched(bitmap.get(), size, kind);
    return stretched ? std::move(stretched) : std::move(bitmap);
}

// The process is per-monitor aware; GetDpiForMonitor is looked up, as systems before 8.1 lack it.
int MonitorDpiAt(int x, int y)
{
    using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto dpiForMonitor = [] {
        const HMODULE shcore = LoadLibraryA("shcore.dll");
        return shcore ? reinterpret_cast<DpiForMonitor>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (dpiForMonitor && dpiForMonitor(MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST), 0, &dpiX, &dpiY) == S_OK &&
        dpiY > 0) {
        return static_cast<int>(dpiY);
    }
    const WindowDC screen(nullptr);
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}
