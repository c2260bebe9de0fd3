#pragma once
// A WAV file whose writer never closed it has its RIFF and data sizes still unwritten. The sizes
// it should carry follow from the file's length; the last, incomplete sample frame is cut off.
#include <cstdint>
#include <optional>
#include <span>

struct WaveRepair {
    std::uint32_t riffSize = 0;            // written at offset 4
    std::uint64_t dataSizeOffset = 0;      // where the data chunk's size goes
    std::uint32_t dataSize = 0;
    std::uint64_t length = 0;              // the file's length afterwards
};

// head: the file's first bytes (the format chunk and the data chunk's header must be among them).
// Empty when the file holds no complete format or no data chunk.
std::optional<WaveRepair> PlanWaveRepair(std::span<const std::uint8_t> head, std::uint64_t fileSize);
