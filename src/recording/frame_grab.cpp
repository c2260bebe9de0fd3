#include "recording/frame_grab.h"

#include "recording/recording_arithmetic.h"
#include "recording/recording_seams.h"
#include "recording/stage_times.h"
#include "settings/app_settings.h"
#include "win/handles.h"

#include <algorithm>
#include <cstring>
#include <utility>

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

// The highlight, then the cursor (null: none), for the cursor's hot spot at (x, y).
void DrawCursor(HDC dc, int x, int y, HCURSOR cursor, bool highlight, CCursorHotSpot& hotSpots)
{
    if (highlight) {
        DrawHighlight(dc, x - kHighlightCell / 2, y - kHighlightCell / 2);
    }
    if (cursor) {
        const POINT hotSpot = hotSpots.Of(cursor);
        DrawIcon(dc, x - hotSpot.x, y - hotSpot.y, cursor);
    }
}

HCURSOR RecordedCursor()
{
    return Settings().g_recordcursor == 1 ? ChooseCursor() : nullptr;
}

bool HighlightDrawn()
{
    return Settings().g_highlightcursor == 1;
}

// How far the cursor's image may reach from the point it is drawn at, in either direction.
int CursorReach(HCURSOR cursor)
{
    int reach = std::max({GetSystemMetrics(SM_CXCURSOR), GetSystemMetrics(SM_CYCURSOR), GetSystemMetrics(SM_CXICON),
                          GetSystemMetrics(SM_CYICON)});
    ICONINFO info{};
    if (cursor && GetIconInfo(cursor, &info)) {
        GdiBitmap mask(info.hbmMask);
        GdiBitmap color(info.hbmColor);
        BITMAP bitmap{};
        if (GetObjectA(mask.get(), sizeof(bitmap), &bitmap)) {
            reach = std::max({reach, static_cast<int>(bitmap.bmWidth), static_cast<int>(bitmap.bmHeight)});
        }
        reach = std::max({reach, static_cast<int>(info.xHotspot), static_cast<int>(info.yHotspot)});
    }
    return reach;
}

HDC ScreenCompatibleDC()
{
    const WindowDC screen(nullptr);
    return CreateCompatibleDC(screen.get());
}
} // namespace

POINT CCursorHotSpot::Of(HCURSOR cursor)
{
    if (cursor == m_cursor) {
        return m_hotSpot;
    }
    m_cursor = cursor;
    m_hotSpot = POINT{};
    ICONINFO info{};
    if (GetIconInfo(cursor, &info)) {
        m_hotSpot = POINT{static_cast<LONG>(info.xHotspot), static_cast<LONG>(info.yHotspot)};
        GdiBitmap mask(info.hbmMask);
        GdiBitmap color(info.hbmColor);
    }
    return m_hotSpot;
}

bool CCursorOverlays::Draw(std::uint8_t* pixels, std::size_t stride, int width, int height, int x, int y,
                           CCursorHotSpot& hotSpots)
{
    // Forgotten only here, before any look is taken: the list keeps the others where they are.
    constexpr std::size_t kKept = 16;
    while (m_learnt.size() >= kKept) {
        m_learnt.pop_front();
    }
    const AppSettings& settings = Settings();
    const PixelOverlay* highlight = nullptr;
    if (HighlightDrawn()) {
        const Look look{nullptr, settings.g_highlightcolor, settings.g_highlightsize, settings.g_highlightshape};
        const std::optional<PixelOverlay>& overlay = Overlay(look, hotSpots);
        if (!overlay) {
            return false;
        }
        highlight = &*overlay;
    }
    const PixelOverlay* cursor = nullptr;
    if (const HCURSOR recorded = RecordedCursor()) {
        const std::optional<PixelOverlay>& overlay = Overlay(Look{recorded}, hotSpots);
        if (!overlay) {
            return false;
        }
        cursor = &*overlay;
    }
    for (const PixelOverlay* overlay : {highlight, cursor}) {
        if (overlay) {
            ApplyOverlay(*overlay, pixels, stride, width, height, x, y);
        }
    }
    return true;
}

const std::optional<PixelOverlay>& CCursorOverlays::Overlay(const Look& look, CCursorHotSpot& hotSpots)
{
    const auto known = std::find_if(m_learnt.begin(), m_learnt.end(), [&](const Learnt& l) { return l.look == look; });
    if (known != m_learnt.end()) {
        return known->overlay;
    }
    m_learnt.push_back({look, Learn(look, hotSpots)});
    return m_learnt.back().overlay;
}

// Draws the look through GDI at the middle of canvases of the frame's format, as the frame grab
// would, and reads back what it did.
std::optional<PixelOverlay> CCursorOverlays::Learn(const Look& look, CCursorHotSpot& hotSpots) const
{
    OverlayCanvas canvas;
    canvas.size = 2 * std::max(kHighlightCell / 2, look.cursor ? CursorReach(look.cursor) : 0) + 8;
    canvas.bytesPerPixel = m_bits / 8;
    canvas.stride = LayoutFor(canvas.size, 1, m_bits).rowBytes;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = canvas.size;
    info.bmiHeader.biHeight = canvas.size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(m_bits);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDC dc(ScreenCompatibleDC());
    if (!bitmap || !dc || !bits) {
        return std::nullopt;
    }
    SelectGuard select(dc.get(), bitmap.get());
    const std::size_t bytes = canvas.stride * static_cast<std::size_t>(canvas.size);
    auto* memory = static_cast<std::uint8_t*>(bits);
    constexpr int kProbes = 2 + kOverlayPatterns;
    std::vector<std::uint8_t> drawn[kProbes];
    for (int probe = 0; probe < kProbes; ++probe) {
        for (std::size_t i = 0; i < bytes; ++i) {
            memory[i] = probe == 0 ? 0x00 : probe == 1 ? 0xFF : OverlayPatternByte(probe - 2, i);
        }
        DrawCursor(dc.get(), canvas.size / 2, canvas.size / 2, look.cursor, !look.cursor, hotSpots);
        GdiFlush();
        drawn[probe].assign(memory, memory + bytes);
    }
    OverlayProbes probes;
    probes.onZeros = drawn[0].data();
    probes.onOnes = drawn[1].data();
    for (int n = 0; n < kOverlayPatterns; ++n) {
        probes.onPatterns[n] = drawn[2 + n].data();
    }
    return LearnOverlay(canvas, probes, canvas.size / 2, canvas.size / 2);
}

CFrameBlocks::~CFrameBlocks()
{
    ReleaseFrame(m_spare);
}

BITMAPINFOHEADER* CFrameBlocks::Take(std::uint32_t size)
{
    BITMAPINFOHEADER* frame = std::exchange(m_spare, nullptr);
    if (frame && GlobalSize(GlobalHandle(frame)) >= size) {
        return frame;
    }
    ReleaseFrame(frame);
    OwnedGlobal block(GlobalAlloc(GHND, size));
    frame = static_cast<BITMAPINFOHEADER*>(block ? GlobalLock(block.get()) : nullptr);
    if (frame) {
        block.release();
    }
    return frame;
}

void CFrameBlocks::Give(BITMAPINFOHEADER* frame)
{
    // The loop releases each frame before it grabs the next: one spare block is all it needs.
    if (!m_spare) {
        m_spare = frame;
    } else {
        ReleaseFrame(frame);
    }
}

void FrameReleaser::operator()(BITMAPINFOHEADER* frame) const
{
    if (blocks) {
        blocks->Give(frame);
    } else {
        ReleaseFrame(frame);
    }
}

// A screen-compatible bitmap of full-screen size takes milliseconds to create and delete under Wine;
// a DIB section in the frame's own format does not, and its rows copy out as they are. Palette
// frames keep the compatible bitmap, whose palette fills their colour table.
CScreenCopy::CScreenCopy(int width, int height, bool replayCursor)
    : m_width(width), m_height(height), m_bits(Settings().g_capturebits), m_memory(ScreenCompatibleDC())
{
    const WindowDC screen(nullptr);
    if (replayCursor && m_bits > 8) {
        m_overlays.emplace(m_bits);
    }
    if (m_bits <= 8) {
        m_bitmap.reset(CreateCompatibleBitmap(screen.get(), width, height));
        return;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(m_bits);
    info.bmiHeader.biCompression = BI_RGB;
    m_bitmap.reset(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &m_pixels, nullptr, 0));
}

BITMAPINFOHEADER* CScreenCopy::Grab(int left, int top, bool suppressFeedback, CFrameBlocks* blocks)
{
    // No frame of another depth than the copy's: the movie's format was fixed when it opened.
    if (!*this || Settings().g_capturebits != m_bits) {
        return nullptr;
    }
    WindowDC screen(nullptr);
    if (!suppressFeedback) {
        MarkCapture(true, left, top, m_width, m_height);
    }
    {
        SelectGuard select(m_memory.get(), m_bitmap.get());
        {
            const StageTimer timer(RecordingStage::Grab);
            BitBlt(m_memory.get(), 0, 0, m_width, m_height, screen.get(), left, top, SRCCOPY);
        }
        const StageTimer timer(RecordingStage::Cursor);
        POINT cursor{};
        GetCursorPos(&cursor);
        const int x = cursor.x - left;
        const int y = cursor.y - top;
        bool drawn = false;
        if (m_overlays && m_pixels) {
            GdiFlush();
            drawn = m_overlays->Draw(static_cast<std::uint8_t*>(m_pixels), LayoutFor(m_width, 1, m_bits).rowBytes, m_width, m_height, x,
                                     y, m_hotSpots);
        }
        if (!drawn) {
            DrawCursor(m_memory.get(), x, y, RecordedCursor(), HighlightDrawn(), m_hotSpots);
        }
    }
    BITMAPINFOHEADER* frame = nullptr;
    {
        const StageTimer timer(RecordingStage::Grab);
        frame = ToFrameBlock(screen.get(), blocks);
    }
    if (!suppressFeedback) {
        MarkCapture(false, left, top, m_width, m_height);
    }
    return frame;
}

BITMAPINFOHEADER* CScreenCopy::ToFrameBlock(HDC screen, CFrameBlocks* blocks)
{
    const FrameLayout layout = LayoutFor(m_width, m_height, m_bits);
    if (layout.blockSize == 0) {
        return nullptr;
    }
    CFrameBlocks fresh;
    BITMAPINFOHEADER* header = (blocks ? blocks : &fresh)->Take(layout.blockSize);
    if (!header) {
        return nullptr;
    }
    *header = BITMAPINFOHEADER{};
    header->biSize = kBitmapHeaderSize;
    header->biWidth = m_width;
    header->biHeight = m_height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(m_bits);
    header->biCompression = BI_RGB;
    header->biSizeImage = layout.imageSize;
    header->biClrUsed = layout.colours;
    BYTE* pixels = reinterpret_cast<BYTE*>(header) + layout.pixelOffset;
    if (m_pixels) {
        // The DIB section's rows are laid out as the frame's; a copy is all it takes.
        GdiFlush();
        std::memcpy(pixels, m_pixels, layout.imageSize);
    } else {
        GetDIBits(screen, m_bitmap.get(), 0, static_cast<UINT>(m_height), pixels, reinterpret_cast<BITMAPINFO*>(header),
                  DIB_RGB_COLORS);
        // GetDIBits may clear it; the frame's readers take the table's length from it.
        header->biClrUsed = layout.colours;
    }
    return header;
}

FramePtr CFrameGrabber::Grab(int left, int top)
{
    return FramePtr(m_copy.Grab(left, top, false, &m_blocks), FrameReleaser{&m_blocks});
}

BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback)
{
    CScreenCopy copy(width, height);
    return copy.Grab(left, top, suppressFeedback, nullptr);
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
