#pragma once
// Recordings made as the program writes them with its lossless ZMBV compressor, for the
// conversion benchmarks: 32-bit frames, a picture every few slots of the 200 frames/s time line.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Installs ZMBV and chooses it (quality 70, a key frame every 200 slots); false, and said, if not.
bool ChooseZmbv(int width, int height);
// Writes pictures pictures, each drawn into its bottom-up 32-bit pixels, slotsPerPicture apart.
bool WriteZmbvRecording(const std::string& path, int width, int height, int pictures, std::uint32_t slotsPerPicture,
                        const std::function<void(std::vector<std::uint8_t>& pixels, int n)>& draw);
