#pragma once
// A plain MS ADPCM block decoder written from the format's description, for checks without ffmpeg.
#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes one block of size bytes into interleaved samples (appended); false when the header names
// a predictor outside the standard seven.
bool DecodeMsAdpcmBlock(const std::uint8_t* block, std::size_t size, int channels, std::vector<std::int16_t>& out);
