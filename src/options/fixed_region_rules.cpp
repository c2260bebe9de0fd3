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
// A region running off the screen is cut at its edge; with nothing left of it, it starts again at
// 100 with the default length.
void FitAxis(std::int32_t& start, std::int32_t& length, std::int32_t screen, std::int32_t defaultLength,
             const char* note, std::vector<std::string>& notes)
{
    if (start + length <= screen) {
        return;
    }
    length = screen - start;
    if (length <= 0) {
        start = 100;
        length = defaultLength;
    }
    notes.push_back(note + std::to_string(length));
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
    FitAxis(out.left, out.width, screenWidth, 320, "Value exceed screen width. The width is adjusted to ", out.notes);
    FitAxis(out.top, out.height, screenHeight, 240, "Value exceed screen height. The height is adjusted to ",
            out.notes);
    return out;
}
