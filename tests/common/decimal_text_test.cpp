#include "common/decimal_text.h"

#include <gtest/gtest.h>

#include <limits>

TEST(DecimalText, ReadsLikeADecimalScan)
{
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"200", 200},      {"  \t42", 42},    {"-5", -5},          {"+7", 7},           {"12abc", 12},
        {"0", 0},          {"007", 7},        {"7200001", 7200001}, {"", std::nullopt}, {"   ", std::nullopt},
        {"abc", std::nullopt}, {"-", std::nullopt}, {"+ 3", std::nullopt}, {"x12", std::nullopt},
        {"99999999999", std::numeric_limits<std::int32_t>::max()},
        {"-99999999999", std::numeric_limits<std::int32_t>::min()},
        {"2147483647", 2147483647}, {"-2147483648", std::numeric_limits<std::int32_t>::min()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadDecimal(c.text), c.value) << '"' << c.text << '"';
    }
}
