#include "options/fixed_region_rules.h"

namespace {
std::string WithNumber(const char* text, std::int32_t number) { return text + std::to_string(number) + ")"; }

// A field without a number is refused like one too small.
std::string CheckAxis(const std::optional<std::int32_t>& value, std::int32_t limit, const char* tooSmall,
                      const char* tooLarge)
{
    if (!value || *value <= 0) {
        return tooSmall;
    }
    if (*value > limit) {
        return WithNumber(tooLarge, limit);
    }
    return {};
}
} // namespace

FixedRegionOutcome CheckFixedRegion(const FixedRegionFields& fields, std::int32_t screenWidth,
                                    std::int32_t screenHeight)
{
    FixedRegionOutcome out;
    out.refusal = CheckAxis(fields.width, screenWidth, "The width must be greater than 0",
                            "The width must be smaller than the screen width (");
    if (out.refusal.empty()) {
        out.refusal = CheckAxis(fields.height, screenHeight, "The height must be greater than 0",
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
    out.refusal = CheckAxis(fields.left, screenWidth, "The left value must be greater than 0",
                            "The left value must be smaller than the screen width (");
    if (out.refusal.empty()) {
        out.refusal = CheckAxis(fields.top, screenHeight, "The top value must be greater than 0",
                                "The top value must be smaller than the screen height (");
    }
    if (!out.refusal.empty()) {
        return out;
    }
    out.left = *fields.left;
    out.top = *fields.top;
    if (out.left + out.width > screenWidth) {
        out.width = screenWidth - out.left;
        if (out.width <= 0) {
            out.left = 100;
            out.width = 320;
        }
        out.notes.push_back("Value exceed screen width. The width is adjusted to " + std::to_string(out.width));
    }
    if (out.top + out.height > screenHeight) {
        out.height = screenHeight - out.top;
        if (out.height <= 0) {
            out.top = 100;
            out.height = 240;
        }
        out.notes.push_back("Value exceed screen height. The height is adjusted to " + std::to_string(out.height));
    }
    return out;
}
