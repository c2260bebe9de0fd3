#include "options/fixed_region_rules.h"

#include <algorithm>

namespace {
std::string WithNumber(const char* text, std::int32_t number) { return text + std::to_string(number) + ")"; }

// One axis of the monitors: the virtual screen's first pixel and one past its last.
struct Span {
    std::int32_t first = 0, end = 0;
};

// A field without a number is refused like one too small.
std::string CheckAxis(const std::optional<std::int32_t>& value, std::int32_t lowest, std::int32_t limit,
                      const std::string& tooSmall, const char* tooLarge)
{
    if (!value || *value < lowest) {
        return tooSmall;
    }
    if (*value > limit) {
        return WithNumber(tooLarge, limit);
    }
    return {};
}

std::string CheckLength(const std::optional<std::int32_t>& value, Span span, const char* tooSmall,
                        const char* tooLarge)
{
    return CheckAxis(value, 1, span.end - span.first, tooSmall, tooLarge);
}

// On a virtual screen starting at 0 its first column is refused, as it always was; a monitor at
// negative coordinates may be used.
std::string CheckPosition(const std::optional<std::int32_t>& value, Span span, const char* tooSmall,
                          const char* belowEdge, const char* tooLarge)
{
    if (span.first < 0) {
        return CheckAxis(value, span.first, span.end, WithNumber(belowEdge, span.first), tooLarge);
    }
    return CheckAxis(value, 1, span.end, tooSmall, tooLarge);
}

// A region running off its monitor is cut at the monitor's edge; with nothing left of it, it starts
// again 100 pixels in with the default length. A corner in a gap between monitors moves onto the
// nearest one.
void FitAxis(std::int32_t& start, std::int32_t& length, Span monitor, std::int32_t defaultLength, const char* note,
             std::vector<std::string>& notes)
{
    start = std::max(start, monitor.first);
    if (start + length <= monitor.end) {
        return;
    }
    length = monitor.end - start;
    if (length <= 0) {
        start = monitor.first + 100;
        length = defaultLength;
    }
    notes.push_back(note + std::to_string(length));
}

Span Horizontal(const ScreenRect& r) { return {r.left, r.right + 1}; }
Span Vertical(const ScreenRect& r) { return {r.top, r.bottom + 1}; }
} // namespace

FixedRegionOutcome CheckFixedRegion(const FixedRegionFields& fields, const MonitorLayout& monitors)
{
    const ScreenRect all = VirtualScreen(monitors);
    FixedRegionOutcome out;
    out.refusal = CheckLength(fields.width, Horizontal(all), "The width must be greater than 0",
                              "The width must be smaller than the screen width (");
    if (out.refusal.empty()) {
        out.refusal = CheckLength(fields.height, Vertical(all), "The height must be greater than 0",
                                  "The height must be smaller than the screen height (");
    }
    if (!out.refusal.empty()) {
        return out;
    }
    out.width = *fields.width;
    out.height = *fields.height;
    if (!fields.fixedCorner) {
        return out;
    }
    out.refusal = CheckPosition(fields.left, Horizontal(all), "The left value must be greater than 0",
                                "The left value must not be smaller than the screen's left edge (",
                                "The left value must be smaller than the screen width (");
    if (out.refusal.empty()) {
        out.refusal = CheckPosition(fields.top, Vertical(all), "The top value must be greater than 0",
                                    "The top value must not be smaller than the screen's top edge (",
                                    "The top value must be smaller than the screen height (");
    }
    if (!out.refusal.empty()) {
        return out;
    }
    out.left = *fields.left;
    out.top = *fields.top;
    const ScreenRect& monitor = monitors.empty() ? all : monitors[MonitorForPoint(monitors, out.left, out.top)];
    FitAxis(out.left, out.width, Horizontal(monitor), 320, "Value exceed screen width. The width is adjusted to ",
            out.notes);
    FitAxis(out.top, out.height, Vertical(monitor), 240, "Value exceed screen height. The height is adjusted to ",
            out.notes);
    return out;
}
