#pragma once
// One fuzz input: a short sequence whose size, depth, quality, key frames and pixels all come
// from the data. False when a frame does not decode to the encoder's reconstruction.
#include <cstddef>
#include <cstdint>

bool EncodeFuzzedSequence(const std::uint8_t* data, std::size_t size);
