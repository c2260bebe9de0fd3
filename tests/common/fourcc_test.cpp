#include "common/fourcc.h"

#include <gtest/gtest.h>

TEST(FourCC, FirstCharacterIsTheLowestByte)
{
    EXPECT_EQ(kFourCCVideo1, 0x4356534Du);
    EXPECT_EQ(FourCCAsSigned(kFourCCVideo1), 1129730893);
    EXPECT_EQ(kFourCCVids, 0x73646976u);
    EXPECT_EQ(FourCCText(kFourCCIndeo50), "IV50");
}

TEST(FourCC, HighBitCodesAreNegativeAsSigned)
{
    const std::uint32_t code = MakeFourCC('a', 'b', 'c', static_cast<char>(0xE9));
    EXPECT_LT(FourCCAsSigned(code), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(FourCCAsSigned(code)), code);
    EXPECT_EQ(FourCCText(code), "abc?");
}
