#include "settings_fuzz_body.h"

#include "settings/settings_data.h"
#include "settings/settings_text.h"

#include <string_view>

namespace {
constexpr std::int32_t kSeed = 4242;

StoredSettings Seeded()
{
    StoredSettings values;
    std::int32_t seed = kSeed;
    for (const SettingsLine& line : kSettingsLines) {
        values.*line.value = seed++;
    }
    return values;
}

bool BlockWithin(const CdataBlock& block, std::string_view data, std::uint64_t length)
{
    if (!block.whole) {
        return block.bytes.empty();
    }
    return block.stored && block.bytes.size() == length && block.bytes.data() >= data.data() &&
           block.bytes.data() + block.bytes.size() <= data.data() + data.size();
}
} // namespace

bool ReadFuzzedSettings(const std::uint8_t* data, std::size_t size)
{
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t split = all.find('\xFE');
    const std::string_view text = all.substr(0, split);
    const std::string_view cdata = split == std::string_view::npos ? std::string_view() : all.substr(split + 1);

    StoredSettings values = Seeded();
    const SettingsTextRead read = ReadSettingsText(text, values);
    if (read.linesRead > kSettingsLines.size()) {
        return false;
    }
    const StoredSettings seeded = Seeded();
    for (std::size_t i = read.linesRead; i < kSettingsLines.size(); ++i) {
        if (values.*kSettingsLines[i].value != seeded.*kSettingsLines[i].value) {
            return false;
        }
    }

    StoredSettings again;
    const SettingsTextRead reread = ReadSettingsText(FormatSettingsText(values, "\r\n"), again);
    if (reread.linesRead != kSettingsLines.size() || !(again == values)) {
        return false;
    }

    const SettingsVersionRules rules = RulesForVersion(read.version);
    const CdataLengths lengths{values.savedir, values.cursordir, static_cast<std::uint32_t>(values.cbwfx),
                               values.CompressorStateSize, values.ffmpegPath};
    const CdataBlocks blocks = SplitCdata(cdata, lengths, rules);
    return BlockWithin(blocks.savedir, cdata, static_cast<std::uint32_t>(lengths.savedir)) &&
           BlockWithin(blocks.cursordir, cdata, static_cast<std::uint32_t>(lengths.cursordir)) &&
           BlockWithin(blocks.audioFormat, cdata, lengths.audioFormat) &&
           BlockWithin(blocks.compressorState, cdata, static_cast<std::uint32_t>(lengths.compressorState)) &&
           BlockWithin(blocks.ffmpegPath, cdata, static_cast<std::uint32_t>(lengths.ffmpegPath));
}
