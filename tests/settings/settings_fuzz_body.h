#pragma once
// Hostile settings files: the bytes up to the first 0xFE are CS.ini, the rest Cdata.ini.
#include <cstddef>
#include <cstdint>

// False when the reader broke one of its promises (sanitizers report the rest).
bool ReadFuzzedSettings(const std::uint8_t* data, std::size_t size);
