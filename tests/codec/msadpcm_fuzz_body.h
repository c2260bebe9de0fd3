#pragma once
// One fuzz input for the MS ADPCM encoder: channels, block size, block lengths and samples all come
// from the data. False when a block is not what the format and the reconstruction say.
#include <cstddef>
#include <cstdint>

bool EncodeFuzzedAudio(const std::uint8_t* data, std::size_t size);
