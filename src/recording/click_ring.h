#pragma once
// The ring drawn around a mouse click in a recording: it grows from the click's point for a short
// while and fades in its second half; each button has its own colour.
#include <cstdint>
#include <optional>

enum class MouseButton : std::uint8_t { Left, Right, Middle };

constexpr std::int32_t kClickRingMs = 400;

struct ClickMark {
    std::uint32_t time = 0; // milliseconds on the recording's clock
    MouseButton button = MouseButton::Left;
    std::int32_t x = 0;     // screen coordinates
    std::int32_t y = 0;
};

struct RingShape {
    double radius = 0;    // to the middle of the line, in pixels
    double thickness = 0; // of the line, in pixels
    int opacity = 0;      // 255 whole
};

// The ring ageMs after the click on a monitor of the given dpi; none before the click or once over.
std::optional<RingShape> RingAt(std::int32_t ageMs, int dpi);

// Colours as 0x00BBGGRR. Left clicks take the chosen colour; right and middle clicks take it with
// its components turned round, so that the three differ for any colour that is not a grey.
std::uint32_t ClickColour(MouseButton button, std::uint32_t leftColour);
