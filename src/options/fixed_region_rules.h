#pragma once
// The General Options dialog's checks of a fixed region, and how a region that runs off the screen
// is brought back onto its monitor, apart from any window.
#include "common/monitor_layout.h"

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

// Sizes are checked against the whole virtual screen; a fixed corner must lie within it, and the
// region is cut at the edge of the monitor the corner is on.
FixedRegionOutcome CheckFixedRegion(const FixedRegionFields& fields, const MonitorLayout& monitors);
