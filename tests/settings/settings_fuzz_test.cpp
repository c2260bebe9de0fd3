// The fuzz target's checks on deterministic hostile inputs, so that every sanitizer build runs them.
#include "settings_fuzz_body.h"

#include "settings/settings_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {
std::string ValidFiles()
{
    StoredSettings values;
    values.savedir = 3;
    values.cbwfx = 20;
    values.CompressorStateSize = 4;
    return FormatSettingsText(values, "\r\n") + '\xFE' + std::string(30, 'd');
}
} // namespace

TEST(SettingsFuzz, MutatedAndRandomFilesKeepTheReadersPromises)
{
    std::mt19937 random(20261207);
    const std::string valid = ValidFiles();
    for (int run = 0; run < 3000; ++run) {
        std::string data;
        if (run % 2 == 0) {
            data = valid;
            for (int edits = 1 + static_cast<int>(random() % 8); edits > 0; --edits) {
                const std::size_t at = random() % data.size();
                switch (random() % 4) {
                case 0: data[at] = static_cast<char>(random()); break;
                case 1: data.erase(at, random() % 40); break;
                case 2: data.insert(at, std::string(random() % 12, "9 -\n\0"[random() % 5])); break;
                default: data.insert(at, std::to_string(static_cast<std::int64_t>(random()) * 7919)); break;
                }
            }
        } else {
            data.resize(random() % 3000);
            for (char& c : data) {
                c = static_cast<char>(random());
            }
        }
        ASSERT_TRUE(ReadFuzzedSettings(reinterpret_cast<const std::uint8_t*>(data.data()), data.size())) << run;
    }
}

TEST(SettingsFuzz, AHundredMegabytesOfDigitsAreReadInOnePass)
{
    std::string data = "[Framelark Settings ver1.5 -- Please do not edit ]\nflashingRect=";
    data.append(100u << 20, '7');
    EXPECT_TRUE(ReadFuzzedSettings(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}
