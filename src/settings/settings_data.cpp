#include "settings/settings_data.h"

#include <cstddef>

namespace {
constexpr std::size_t kWaveFormatHeaderSize = 18;
constexpr std::size_t kWaveFormatExtraSizeOffset = 16;

struct BlockLength {
    std::uint64_t length; // 0: not stored
    bool readable;
};

// Directory texts of kLongestDirectoryText bytes or fewer are read; longer ones only skipped.
BlockLength DirectoryLength(std::int32_t length)
{
    return {length > 0 ? static_cast<std::uint64_t>(length) : 0, length <= kLongestDirectoryText};
}

BlockLength BlobLength(std::int64_t length)
{
    return {length > 0 ? static_cast<std::uint64_t>(length) : 0, true};
}

class CdataCursor {
public:
    explicit CdataCursor(std::string_view data) : m_data(data) {}

    CdataBlock Next(BlockLength block)
    {
        CdataBlock result;
        if (block.length == 0) {
            return result;
        }
        result.stored = true;
        const std::uint64_t end = m_position + block.length;
        if (block.readable && end <= m_data.size()) {
            result.whole = true;
            result.bytes = m_data.substr(static_cast<std::size_t>(m_position), static_cast<std::size_t>(block.length));
        }
        m_position = end;
        return result;
    }

private:
    std::string_view m_data;
    std::uint64_t m_position = 0;
};

} // namespace

std::uint64_t CdataBytesNeeded(const CdataLengths& lengths, const SettingsVersionRules& rules)
{
    std::uint64_t total = 0;
    if (rules.hasDirectoryTexts) {
        total += DirectoryLength(lengths.savedir).length + DirectoryLength(lengths.cursordir).length;
        if (rules.hasBlobs) {
            total += BlobLength(lengths.audioFormat).length + BlobLength(lengths.compressorState).length +
                     DirectoryLength(lengths.ffmpegPath).length;
        }
    }
    return total;
}

CdataBlocks SplitCdata(std::string_view data, const CdataLengths& lengths, const SettingsVersionRules& rules)
{
    CdataBlocks blocks;
    if (!rules.hasDirectoryTexts) {
        return blocks;
    }
    CdataCursor cursor(data);
    blocks.savedir = cursor.Next(DirectoryLength(lengths.savedir));
    blocks.cursordir = cursor.Next(DirectoryLength(lengths.cursordir));
    if (rules.hasBlobs) {
        blocks.audioFormat = cursor.Next(BlobLength(lengths.audioFormat));
        blocks.compressorState = cursor.Next(BlobLength(lengths.compressorState));
        blocks.ffmpegPath = cursor.Next(DirectoryLength(lengths.ffmpegPath));
    }
    return blocks;
}

std::string FormatCdata(std::string_view savedir, std::string_view cursordir, std::string_view audioFormat,
                        std::string_view compressorState, std::string_view ffmpegPath)
{
    std::string out;
    out.reserve(savedir.size() + cursordir.size() + audioFormat.size() + compressorState.size() + ffmpegPath.size());
    out.append(savedir).append(cursordir).append(audioFormat).append(compressorState).append(ffmpegPath);
    return out;
}

bool HoldsWholeWaveFormat(std::string_view block)
{
    if (block.size() < kWaveFormatHeaderSize) {
        return false;
    }
    const std::size_t extra = static_cast<unsigned char>(block[kWaveFormatExtraSizeOffset]) |
                              (static_cast<std::size_t>(static_cast<unsigned char>(block[kWaveFormatExtraSizeOffset + 1]))
                               << 8);
    return kWaveFormatHeaderSize + extra <= block.size();
}
