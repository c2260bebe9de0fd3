#pragma once
// Four-character codes: one 32-bit value with the first character in the lowest byte.
#include <cstdint>
#include <string>

constexpr std::uint32_t MakeFourCC(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24);
}

// Settings store codes as signed decimals.
constexpr std::int32_t FourCCAsSigned(std::uint32_t code) { return static_cast<std::int32_t>(code); }

constexpr std::uint32_t kFourCCVideo1 = MakeFourCC('M', 'S', 'V', 'C');
constexpr std::uint32_t kFourCCIndeo50 = MakeFourCC('I', 'V', '5', '0');
constexpr std::uint32_t kFourCCVids = MakeFourCC('v', 'i', 'd', 's');
constexpr std::uint32_t kFourCCVidc = MakeFourCC('v', 'i', 'd', 'c');

std::string FourCCText(std::uint32_t code);

// Handlers are looked up without regard to case: "msvc" and "MSVC" name the same compressor.
bool SameHandler(std::uint32_t a, std::uint32_t b);
