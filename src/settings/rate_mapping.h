#pragma once
// The "Auto Adjust" slider position turned into a playback rate and a capture interval.
#include <cstdint>

struct RateMapping {
    std::int32_t framesPerSecond; // also the key-frame interval
    std::int32_t intervalMs;      // timelapse
};

RateMapping MapRate(std::int32_t sliderValue);
