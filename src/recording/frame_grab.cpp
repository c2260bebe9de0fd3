#include "recording/frame_grab.h"

#include "recording/recording_arithmetic.h"
#include "recording/recording_seams.h"
#include "settings/app_settings.h"
#include "win/handles.h"

namespace {
constexpr COLORREF kCaptureMark = RGB(255, 255, 180);
constexpr COLORREF kIdleMark = RGB(0, 255, 80);

void MarkCapture(bool before, int left, int top, int width, int height)
{
    AppSettings& settings = Settings();
    IFlashingFrame* frame = Seams().flashingFrame;
    if (!frame || settings.flashingRect == 0) {
        return;
    }
    if (settings.autopan != 0) {
        if (before) {
            frame->SetShape(left, top, width, height, true);
        }
        frame->Invert(kIdleMark);
    } else {
        frame->Paint(before ? kCaptureMark : kIdleMark);
    }
}

void DrawCursor(HDC dc, int x, int y)
{
    AppSettings& settings = Settings();
    if (settings.g_highlightcursor == 1) {
        DrawHighlight(dc, x - kHighlightCell / 2, y - kHighlightCell / 2);
    }
    if (settings.g_recordcursor != 1) {
        return;
    }
    const HCURSOR cursor = ChooseCursor();
    if (!cursor) {
        return;
    }
    ICONINFO info{};
    if (GetIconInfo(cursor, &info)) {
        x -= static_cast<int>(info.xHotspot);
        y -= static_cast<int>(info.yHotspot);
        GdiBitmap mask(info.hbmMask);
        GdiBitmap color(info.hbmColor);
    }
    DrawIcon(dc, x, y, cursor);
}

// The screen copy's bitmap. A screen-compatible one of full-screen size takes milliseconds to create
// and delete under Wine; a DIB section in the frame's own format does not, and its rows copy out
// unconverted. Palette frames keep the compatible bitmap, whose palette fills their colour table.
HBITMAP ScreenCopyBitmap(HDC screen, int width, int height)
{
    const int bits = Settings().g_capturebits;
    if (bits <= 8) {
        return CreateCompatibleBitmap(screen, width, height);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    return CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
}

// Converts the bitmap into a new locked frame block; null when the block cannot be had.
BITMAPINFOHEADER* ToFrameBlock(HDC screen, HBITMAP bitmap)
{
    BITMAP info{};
    if (!GetObjectA(bitmap, sizeof(info), &info)) {
        return nullptr;
    }
    const FrameLayout layout = LayoutFor(info.bmWidth, info.bmHeight, Settings().g_capturebits);
    if (layout.blockSize == 0) {
        return nullptr;
    }
    OwnedGlobal block(GlobalAlloc(GHND, layout.blockSize));
    auto* header = static_cast<BITMAPINFOHEADER*>(block ? GlobalLock(block.get()) : nullptr);
    if (!header) {
        return nullptr;
    }
    header->biSize = kBitmapHeaderSize;
    header->biWidth = info.bmWidth;
    header->biHeight = info.bmHeight;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(Settings().g_capturebits);
    header->biCompression = BI_RGB;
    header->biSizeImage = layout.imageSize;
    header->biClrUsed = layout.colours;
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), reinterpret_cast<BYTE*>(header) + layout.pixelOffset,
              reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS);
    // GetDIBits may clear it; the frame's readers take the table's length from it.
    header->biClrUsed = layout.colours;
    block.release();
    return header;
}
} // namespace

BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback)
{
    WindowDC screen(nullptr);
    if (!suppressFeedback) {
        MarkCapture(true, left, top, width, height);
    }
    BITMAPINFOHEADER* frame = nullptr;
    {
        MemoryDC memory(CreateCompatibleDC(screen.get()));
        GdiBitmap bitmap(ScreenCopyBitmap(screen.get(), width, height));
        if (memory && bitmap) {
            {
                SelectGuard select(memory.get(), bitmap.get());
                BitBlt(memory.get(), 0, 0, width, height, screen.get(), left, top, SRCCOPY);
                POINT cursor{};
                GetCursorPos(&cursor);
                DrawCursor(memory.get(), cursor.x - left, cursor.y - top);
            }
            frame = ToFrameBlock(screen.get(), bitmap.get());
        }
    }
    if (!suppressFeedback) {
        MarkCapture(false, left, top, width, height);
    }
    return frame;
}

void ReleaseFrame(BITMAPINFOHEADER* frame)
{
    if (!frame) {
        return;
    }
    const HGLOBAL block = GlobalHandle(frame);
    GlobalUnlock(block);
    GlobalFree(block);
}

std::uint32_t FramePixelOffset(const BITMAPINFOHEADER* frame)
{
    return frame->biSize + frame->biClrUsed * 4;
}

HCURSOR ChooseCursor()
{
    AppSettings& settings = Settings();
    switch (settings.g_cursortype) {
    case kCursorActual: {
        HCURSOR cursor = settings.g_hookcursor;
        if (!cursor) {
            // A thread without windows of its own often sees no cursor: the arrow stands in.
            cursor = GetCursor();
            if (!cursor) {
                cursor = LoadCursor(nullptr, IDC_ARROW);
            }
            settings.g_hookcursor = cursor;
        }
        return cursor;
    }
    case kCursorBuiltIn:
        return settings.g_cursorhandle.builtIn;
    default:
        return settings.g_cursorhandle.fromFile;
    }
}

void DrawHighlight(HDC target, int x, int y)
{
    const AppSettings& settings = Settings();
    MemoryDC cell(CreateCompatibleDC(target));
    GdiBitmap bitmap(CreateCompatibleBitmap(target, kHighlightCell, kHighlightCell));
    if (!cell || !bitmap) {
        return;
    }
    SelectGuard selectBitmap(cell.get(), bitmap.get());
    const RECT whole{0, 0, kHighlightCell, kHighlightCell};
    FillRect(cell.get(), &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const HighlightBox box = HighlightBoxFor(settings.g_highlightsize, settings.g_highlightshape);
    if (box.drawn) {
        GdiBrush brush(CreateSolidBrush(settings.g_highlightcolor));
        SelectGuard selectBrush(cell.get(), brush.get());
        SelectGuard selectPen(cell.get(), GetStockObject(NULL_PEN));
        if (box.ellipse) {
            Ellipse(cell.get(), box.left, box.top, box.right, box.bottom);
        } else {
            Rectangle(cell.get(), box.left, box.top, box.right, box.bottom);
        }
    }
    BitBlt(target, x, y, kHighlightCell, kHighlightCell, cell.get(), 0, 0, SRCAND);
}
