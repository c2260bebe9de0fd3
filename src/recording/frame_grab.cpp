#include "recording/frame_grab.h"

#include "recording/recording_arithmetic.h"
#include "recording/recording_seams.h"
#include "recording/stage_times.h"
#include "settings/app_settings.h"
#include "win/handles.h"

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
constexpr COLORREF kCaptureMark = RGB(255, 255, 180);
constexpr COLORREF kIdleMark = RGB(0, 255, 80);

void MarkCapture(bool before, const ScreenRect& source)
{
    AppSettings& settings = Settings();
    IFlashingFrame* frame = Seams().flashingFrame;
    if (!frame || settings.flashingRect == 0) {
        return;
    }
    if (RegionMoves(settings)) {
        if (before) {
            frame->SetShape(source.left, source.top, source.Width(), source.Height(), true);
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

// A zero-filled, locked movable block: what single grabs hand out and ReleaseFrame frees.
BITMAPINFOHEADER* NewGlobalBlock(std::uint32_t size)
{
    OwnedGlobal block(GlobalAlloc(GHND, size));
    auto* frame = static_cast<BITMAPINFOHEADER*>(block ? GlobalLock(block.get()) : nullptr);
    if (frame) {
        block.release();
    }
    return frame;
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

CFrameBlocks::Block CFrameBlocks::Take(std::uint32_t size, std::uint32_t pixelOffset, const BITMAPINFO* format)
{
    for (Section& section : m_sections) {
        if (!section.held && section.size == size && static_cast<bool>(section.bitmap) == (format != nullptr)) {
            section.held = true;
            return section.block;
        }
    }
    Section& section = m_sections.emplace_back();
    section.size = size;
    section.mapping.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, nullptr));
    if (section.mapping && format) {
        void* rows = nullptr;
        section.bitmap.reset(CreateDIBSection(nullptr, format, DIB_RGB_COLORS, &rows, section.mapping.get(), pixelOffset));
        if (section.bitmap && rows) {
            // The system maps a section from a page boundary: the header just before the rows
            // lies in the same view.
            auto* pixels = static_cast<std::uint8_t*>(rows);
            section.block = {reinterpret_cast<BITMAPINFOHEADER*>(pixels - pixelOffset), section.bitmap.get(), pixels};
        }
    } else if (section.mapping) {
        section.view.reset(MapViewOfFile(section.mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, size));
        if (section.view) {
            auto* start = static_cast<std::uint8_t*>(section.view.get());
            section.block = {reinterpret_cast<BITMAPINFOHEADER*>(start), nullptr, start + pixelOffset};
        }
    }
    if (!section.block.frame) {
        m_sections.pop_back();
        return {};
    }
    section.held = true;
    return section.block;
}

void CFrameBlocks::Give(BITMAPINFOHEADER* frame)
{
    for (Section& section : m_sections) {
        if (section.block.frame == frame) {
            section.held = false;
        }
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
// a DIB section in the frame's own format does not, and its rows are laid out as the frame's.
// Palette frames keep the compatible bitmap, whose palette fills their colour table.
CScreenCopy::CScreenCopy(int width, int height, bool recording)
    : m_width(width), m_height(height), m_bits(Settings().g_capturebits), m_drawsIntoBlocks(recording && m_bits > 8),
      m_memory(ScreenCompatibleDC())
{
    m_format.bmiHeader.biSize = sizeof(m_format.bmiHeader);
    m_format.bmiHeader.biWidth = width;
    m_format.bmiHeader.biHeight = height;
    m_format.bmiHeader.biPlanes = 1;
    m_format.bmiHeader.biBitCount = static_cast<WORD>(m_bits);
    m_format.bmiHeader.biCompression = BI_RGB;
    if (m_drawsIntoBlocks) {
        m_overlays.emplace(m_bits);
        m_marks.emplace();
        return;
    }
    if (m_bits <= 8) {
        m_bitmap.reset(CreateCompatibleBitmap(m_screen.get(), width, height));
        return;
    }
    void* rows = nullptr;
    m_bitmap.reset(CreateDIBSection(m_screen.get(), &m_format, DIB_RGB_COLORS, &rows, nullptr, 0));
    m_pixels = static_cast<std::uint8_t*>(rows);
}

BITMAPINFOHEADER* CScreenCopy::Grab(const FramePlacement& placement, bool suppressFeedback, CFrameBlocks* blocks)
{
    // No frame of another depth than the copy's: the movie's format was fixed when it opened.
    const FrameLayout layout = LayoutFor(m_width, m_height, m_bits);
    if (!*this || Settings().g_capturebits != m_bits || layout.blockSize == 0) {
        return nullptr;
    }
    CFrameBlocks::Block block;
    if (blocks) {
        block = blocks->Take(layout.blockSize, layout.pixelOffset, m_drawsIntoBlocks ? &m_format : nullptr);
    } else {
        block.frame = NewGlobalBlock(layout.blockSize);
    }
    if (!block.frame) {
        return nullptr;
    }
    if (!suppressFeedback) {
        MarkCapture(true, placement.source);
    }
    if (m_drawsIntoBlocks) {
        CopyScreen(block.bitmap, block.pixels, placement);
        GdiFlush();
        FillHeader(block.frame);
    } else {
        CopyScreen(m_bitmap.get(), m_pixels, placement);
        const StageTimer timer(RecordingStage::Grab);
        CopyOut(block.frame);
    }
    if (!suppressFeedback) {
        MarkCapture(false, placement.source);
    }
    return block.frame;
}

void CScreenCopy::CopyScreen(HBITMAP target, std::uint8_t* pixels, const FramePlacement& placement)
{
    SelectGuard select(m_memory.get(), target);
    const ScreenRect& source = placement.source;
    {
        const StageTimer timer(RecordingStage::Grab);
        if (placement.Scaled()) {
            // A resized window: the bars black, the picture fitted between them.
            PatBlt(m_memory.get(), 0, 0, m_width, m_height, BLACKNESS);
            SetStretchBltMode(m_memory.get(), HALFTONE);
            SetBrushOrgEx(m_memory.get(), 0, 0, nullptr);
            StretchBlt(m_memory.get(), placement.x, placement.y, placement.width, placement.height, m_screen.get(),
                       source.left, source.top, source.Width(), source.Height(), SRCCOPY);
        } else {
            BitBlt(m_memory.get(), 0, 0, m_width, m_height, m_screen.get(), source.left, source.top, SRCCOPY);
        }
    }
    const StageTimer timer(RecordingStage::Cursor);
    POINT cursor{};
    GetCursorPos(&cursor);
    const int x = static_cast<int>(std::floor(placement.FrameX(cursor.x)));
    const int y = static_cast<int>(std::floor(placement.FrameY(cursor.y)));
    bool drawn = false;
    if (m_overlays && pixels) {
        GdiFlush();
        const std::size_t stride = LayoutFor(m_width, 1, m_bits).rowBytes;
        // Under the cursor, which stays on top.
        m_marks->Draw(FrameRows{pixels, stride, m_width, m_height, m_bits / 8}, placement, timeGetTime());
        drawn = m_overlays->Draw(pixels, stride, m_width, m_height, x, y, m_hotSpots);
    }
    if (!drawn) {
        DrawCursor(m_memory.get(), x, y, RecordedCursor(), HighlightDrawn(), m_hotSpots);
    }
}

void CScreenCopy::FillHeader(BITMAPINFOHEADER* header) const
{
    const FrameLayout layout = LayoutFor(m_width, m_height, m_bits);
    *header = BITMAPINFOHEADER{};
    header->biSize = kBitmapHeaderSize;
    header->biWidth = m_width;
    header->biHeight = m_height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(m_bits);
    header->biCompression = BI_RGB;
    header->biSizeImage = layout.imageSize;
    header->biClrUsed = layout.colours;
}

void CScreenCopy::CopyOut(BITMAPINFOHEADER* header) const
{
    FillHeader(header);
    BYTE* pixels = reinterpret_cast<BYTE*>(header) + FramePixelOffset(header);
    if (m_pixels) {
        // The DIB section's rows are laid out as the frame's; a copy is all it takes.
        GdiFlush();
        std::memcpy(pixels, m_pixels, header->biSizeImage);
        return;
    }
    GetDIBits(m_screen.get(), m_bitmap.get(), 0, static_cast<UINT>(m_height), pixels, reinterpret_cast<BITMAPINFO*>(header),
              DIB_RGB_COLORS);
    // GetDIBits may clear it; the frame's readers take the table's length from it.
    header->biClrUsed = LayoutFor(m_width, m_height, m_bits).colours;
}

FramePtr CFrameGrabber::Grab(const FramePlacement& placement)
{
    return FramePtr(m_copy.Grab(placement, false, &m_blocks), FrameReleaser{&m_blocks});
}

BITMAPINFOHEADER* GrabFrame(int left, int top, int width, int height, bool suppressFeedback)
{
    CScreenCopy copy(width, height);
    return copy.Grab(copy.At(left, top), suppressFeedback, nullptr);
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
        if (HCURSOR cursor = settings.g_hookcursor) {
            return cursor;
        }
        // Until the hook reports one: a thread without windows of its own often sees no cursor,
        // and the arrow stands in. The hook's value is the main window's alone to write.
        if (HCURSOR cursor = GetCursor()) {
            return cursor;
        }
        return LoadCursor(nullptr, IDC_ARROW);
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
