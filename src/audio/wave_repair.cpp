#include "audio/wave_repair.h"

#include "common/little_endian.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint64_t kLargestRiff = 0xFFFFFFFF;
constexpr std::uint32_t kShortestFormat = 16;
constexpr std::size_t kBlockAlignAt = 12; // within the format chunk

bool Is(std::span<const std::uint8_t> bytes, std::size_t at, const char* tag)
{
    return std::memcmp(bytes.data() + at, tag, 4) == 0;
}
} // namespace

std::optional<WaveRepair> PlanWaveRepair(std::span<const std::uint8_t> head, std::uint64_t fileSize)
{
    head = head.first(static_cast<std::size_t>(std::min<std::uint64_t>(head.size(), fileSize)));
    if (head.size() < 12 || !Is(head, 0, "RIFF") || !Is(head, 8, "WAVE")) {
        return std::nullopt;
    }
    std::uint32_t blockAlign = 0;
    std::size_t at = 12;
    while (at + 8 <= head.size()) {
        const std::uint32_t size = ReadLittle32(head.data() + at + 4);
        if (Is(head, at, "data")) {
            if (blockAlign == 0) {
                return std::nullopt;
            }
            const std::uint64_t start = at + 8;
            const std::uint64_t available = std::min(fileSize - start, kLargestRiff - start);
            std::uint64_t data = available - available % blockAlign;
            // Kept even, so that no pad byte is owed after the data.
            if (data % 2 != 0) {
                data -= blockAlign;
            }
            WaveRepair repair;
            repair.dataSizeOffset = at + 4;
            repair.dataSize = static_cast<std::uint32_t>(data);
            repair.length = start + data;
            repair.riffSize = static_cast<std::uint32_t>(repair.length - 8);
            return repair;
        }
        const std::uint64_t next = at + 8 + std::uint64_t{size} + (size & 1);
        if (Is(head, at, "fmt ")) {
            if (size < kShortestFormat || next > head.size()) {
                return std::nullopt;
            }
            blockAlign = static_cast<std::uint32_t>(head[at + 8 + kBlockAlignAt]) |
                         static_cast<std::uint32_t>(head[at + 8 + kBlockAlignAt + 1]) << 8;
        }
        if (next > head.size()) {
            return std::nullopt;
        }
        at = static_cast<std::size_t>(next);
    }
    return std::nullopt;
}
