#pragma once
// One fuzz input: a short sequence whose size, depth, key frames, palettes and pixels all come
// from the data. False when a frame does not decode to its input; a damaged copy of each frame
// must be refused or decoded without harm.
#include <cstddef>
#include <cstdint>

bool EncodeFuzzedZmbvSequence(const std::uint8_t* data, std::size_t size);
