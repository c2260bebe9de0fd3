#pragma once
// Cdata.ini: the savedir and cursordir texts, the compressed audio format, the video compressor's
// state and the ffmpegPath text, one after another with no separators; CS.ini holds their lengths.
#include "settings/settings_text.h"

#include <cstdint>
#include <string>
#include <string_view>

// Texts this long are not read but skipped, so that the blocks after them keep their places.
inline constexpr std::int32_t kLongestDirectoryText = 999;

struct CdataLengths {
    std::int32_t savedir = 0;
    std::int32_t cursordir = 0;
    std::uint32_t audioFormat = 0; // cbwfx
    std::int32_t compressorState = 0;
    std::int32_t ffmpegPath = 0;
};

struct CdataBlock {
    bool stored = false; // the file should hold it
    bool whole = false;  // and does, all of it
    std::string_view bytes;
};

struct CdataBlocks {
    CdataBlock savedir;
    CdataBlock cursordir;
    CdataBlock audioFormat;
    CdataBlock compressorState;
    CdataBlock ffmpegPath;
};

// How many bytes of Cdata.ini the blocks of this version take, at most.
std::uint64_t CdataBytesNeeded(const CdataLengths& lengths, const SettingsVersionRules& rules);

// Blocks the file does not hold whole come back not whole; nothing is read past the data.
CdataBlocks SplitCdata(std::string_view data, const CdataLengths& lengths, const SettingsVersionRules& rules);

std::string FormatCdata(std::string_view savedir, std::string_view cursordir, std::string_view audioFormat,
                        std::string_view compressorState, std::string_view ffmpegPath);

// A wave format header (18 bytes) whose extra bytes all lie within the block.
bool HoldsWholeWaveFormat(std::string_view block);
