#pragma once
// 32-bit integers in byte buffers, least significant byte first: the byte order of RIFF files and
// of the recording journal.
#include <cstdint>
#include <vector>

inline std::uint32_t ReadLittle32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

inline void WriteLittle32(std::uint8_t* bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

inline void AppendLittle32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    out.resize(out.size() + 4);
    WriteLittle32(out.data() + out.size() - 4, value);
}
