#pragma once
// The General Options dialog's checks of a fixed region, and how a region that runs off the screen
// is brought back, apart from any window.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FixedRegionFields {
    std::optional<std::int32_t> width, height, left, top; // empty: the field holds no number
    bool fixedCorner = false;
};

struct FixedRegionOutcome {
    std::string refusal;            // non-empty: shown, and nothing is stored
    std::vector<std::string> notes; // adjustments, each shown before the values are stored
    std::int32_t left = 0, top = 0, width = 0, height = 0;
};

FixedRegionOutcome CheckFixedRegion(const FixedRegionFields& fields, std::int32_t screenWidth,
                                    std::int32_t screenHeight);
