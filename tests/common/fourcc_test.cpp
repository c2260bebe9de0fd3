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

TEST(FourCC, HandlersMatchWithoutRegardToCase)
{
    EXPECT_TRUE(SameHandler(kFourCCVideo1, MakeFourCC('m', 's', 'v', 'c')));
    EXPECT_TRUE(SameHandler(MakeFourCC('c', 'v', 'I', 'd'), MakeFourCC('C', 'V', 'i', 'D')));
    EXPECT_FALSE(SameHandler(kFourCCVideo1, MakeFourCC('m', 'r', 'l', 'e')));
    // Only letters fold: '@' (0x40) is not '`' (0x60).
    EXPECT_FALSE(SameHandler(MakeFourCC('@', 'A', 'B', 'C'), MakeFourCC('`', 'A', 'B', 'C')));
}
