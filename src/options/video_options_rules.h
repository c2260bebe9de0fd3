#pragma once
// What the Video Options dialog checks and converts, apart from any window.
#include <cstdint>
#include <optional>

// The quality slider runs 1..100 and stands for compquality in hundreds.
constexpr std::int32_t QualitySliderPosition(std::int32_t compquality) { return compquality / 100; }
constexpr std::int32_t QualityFromSlider(std::int32_t position) { return position * 100; }

constexpr std::int32_t kLongestCaptureInterval = 7200000; // two hours, in milliseconds

struct VideoNumbers {
    std::optional<std::int32_t> captureInterval;
    std::optional<std::int32_t> keyFrames;
    std::optional<std::int32_t> playbackRate;
};

// The message-table entry of the first refused field, checked in the order the user is told about
// them; empty when all are accepted. A field holding no number gets its own field's message.
std::optional<std::uint32_t> CheckVideoNumbers(const VideoNumbers& numbers);
