#include "recording/input_marks.h"

#include "common/dpi_scale.h"
#include "settings/app_settings.h"
#include "win/dib_header.h"
#include "win/dpi.h"
#include "win/handles.h"

#include <mmsystem.h>

#include <algorithm>

namespace {
constexpr std::uint32_t kBoxColour = 0x00202020; // dark, so that white text reads on any content
constexpr int kBoxOpacity = 210;

CaptionRules RulesNow()
{
    const AppSettings& settings = Settings();
    return {settings.g_shortcutsonly != 0, {settings.keyRecordStart, settings.keyRecordEnd, settings.keyRecordCancel}};
}
} // namespace

void NoteKeyEvent(WPARAM key, LPARAM data)
{
    const AppSettings& settings = Settings();
    if (settings.g_isrecording == 0 || settings.g_showkeys == 0) {
        return;
    }
    const auto bits = static_cast<std::uint32_t>(data);
    InputEvent event;
    event.kind = InputEvent::Kind::Key;
    event.key = {timeGetTime(), static_cast<std::int32_t>(key), (bits & (1u << 31)) != 0,
                 (bits & (1u << 31)) == 0 && (bits & (1u << 30)) != 0};
    InputEvents().Add(event);
}

void NoteMouseClick(WPARAM button, LPARAM point)
{
    const AppSettings& settings = Settings();
    if (settings.g_isrecording == 0 || settings.g_showclicks == 0 || button > 2) {
        return;
    }
    InputEvent event;
    event.kind = InputEvent::Kind::Click;
    event.click = {timeGetTime(), static_cast<MouseButton>(button), static_cast<short>(LOWORD(point)),
                   static_cast<short>(HIWORD(point))};
    InputEvents().Add(event);
}

CInputMarks::CInputMarks()
    : m_clicks(Settings().g_showclicks != 0), m_keys(Settings().g_showkeys != 0), m_clickColour(Settings().g_clickcolor),
      m_next(InputEvents().End()), m_caption(RulesNow())
{
}

void CInputMarks::Draw(const FrameRows& frame, const FramePlacement& placement, std::uint32_t now)
{
    if (!m_clicks && !m_keys) {
        return;
    }
    if (m_dpi == 0) {
        const ScreenRect& source = placement.source;
        m_dpi = MonitorDpiAt(source.left + source.Width() / 2, source.top + source.Height() / 2);
    }
    m_taken.clear();
    InputEvents().TakeSince(m_next, m_taken);
    for (const InputEvent& event : m_taken) {
        if (event.kind == InputEvent::Kind::Key) {
            m_caption.Feed(event.key);
        } else {
            m_recent.push_back(event.click);
        }
    }
    std::erase_if(m_recent, [&](const ClickMark& click) { return static_cast<std::int32_t>(now - click.time) >= kClickRingMs; });
    for (const ClickMark& click : m_recent) {
        // A click stamped just after the frame's time waits for the next frame.
        if (const auto ring = RingAt(static_cast<std::int32_t>(now - click.time), m_dpi)) {
            DrawRing(frame, placement.FrameX(click.x), placement.FrameY(click.y), *ring,
                     ClickColour(click.button, m_clickColour));
        }
    }
    DrawCaption(frame, now);
}

void CInputMarks::DrawCaption(const FrameRows& frame, std::uint32_t now)
{
    const std::string text = m_caption.Text(now);
    if (text.empty()) {
        return;
    }
    if (text != m_rendered) {
        Render(text);
    }
    const int opacity = m_caption.Opacity(now);
    const int x = (frame.width - m_box.width) / 2;
    const int y = frame.height - m_box.height - ScaleForDpi(24, m_dpi);
    BlendMask(frame, m_box, x, y, kBoxColour, opacity * kBoxOpacity / 255);
    BlendMask(frame, m_text, x, y, 0x00FFFFFF, opacity);
}

// White text drawn through GDI on black once per caption; its brightness is the text's coverage.
void CInputMarks::Render(const std::string& text)
{
    m_rendered = text;
    m_text = {};
    m_box = {};
    if (!m_dc) {
        const WindowDC screen(nullptr);
        m_dc.reset(CreateCompatibleDC(screen.get()));
        m_font.reset(CreateFontA(-ScaleForDpi(20, m_dpi), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Segoe UI"));
    }
    if (!m_dc || !m_font) {
        return;
    }
    const HDC dc = m_dc.get();
    SelectGuard selectFont(dc, m_font.get());
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    const int padX = ScaleForDpi(12, m_dpi);
    const int padY = ScaleForDpi(6, m_dpi);
    const int width = extent.cx + 2 * padX;
    const int height = extent.cy + 2 * padY;
    const BITMAPINFO info = TopDownDibHeader(width, height); // rows as the mask's
    void* bits = nullptr;
    GdiBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) {
        return;
    }
    SelectGuard selectBitmap(dc, bitmap.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, padX, padY, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    m_text.width = width;
    m_text.height = height;
    m_text.coverage.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const auto* pixels = static_cast<const std::uint8_t*>(bits);
    for (std::size_t i = 0; i < m_text.coverage.size(); ++i) {
        m_text.coverage[i] = pixels[i * 4 + 1];
    }
    m_box = RoundedBox(width, height, ScaleForDpi(8, m_dpi));
}
