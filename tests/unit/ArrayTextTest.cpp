#include <gtest/gtest.h>

#include <vector>

#include "common/ArrayText.h"

namespace {

std::vector<unsigned char> Parse(const char* text)
{
    unsigned char bytes[kMaxArrayBytes];
    int count = ParseArrayText(text, bytes);
    return std::vector<unsigned char>(bytes, bytes + count);
}

typedef std::vector<unsigned char> Bytes;

TEST(ArrayText, OneByteForEveryToken)
{
    EXPECT_EQ(Bytes({ 0x01, 0x05, 0x09, 0x00, 0x02, 0x09, 0x00, 0x00, 0x01, 0x03, 0x03 }),
              Parse("01 05 09 00 02 09 00 00 01 03 03"));
    EXPECT_EQ(Bytes({ 0xFF }), Parse("ff"));
    EXPECT_EQ(Bytes({ 0xA0, 0x0B }), Parse("A0 b"));
}

TEST(ArrayText, EmptyTokensGiveZeroBytes)
{
    EXPECT_EQ(Bytes({ 0x01, 0x00, 0x02, 0x00 }), Parse("1  2 "));
    EXPECT_EQ(Bytes({ 0x00, 0x07 }), Parse(" 7"));
    EXPECT_EQ(Bytes({ 0x00, 0x00 }), Parse(" "));
    EXPECT_EQ(Bytes({ 0x00 }), Parse("zz"));
    EXPECT_EQ(Bytes({ 0x00, 0x00 }), Parse("0x12 -3"));
    EXPECT_EQ(Bytes({ 0x12 }), Parse("12\t34"));   // only a space separates
}

TEST(ArrayText, LongTokensKeepTheirLowByte)
{
    EXPECT_EQ(Bytes({ 0x34, 0xEF, 0x01 }), Parse("1234 deadbeef 100000000000000001"));
}

TEST(ArrayText, StopsAtTwentyBytes)
{
    EXPECT_EQ(20u, Parse("1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14 15 16 17 18 19").size());
    EXPECT_EQ(Bytes(20, 0), Parse(std::string(40, ' ').c_str()));
    Bytes exactly = Parse("1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14");
    ASSERT_EQ(20u, exactly.size());
    EXPECT_EQ(0x14, exactly[19]);
    EXPECT_EQ(19u, Parse("1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13").size());
}

TEST(ArrayText, EmptyOrNullTextGivesNothing)
{
    EXPECT_TRUE(Parse("").empty());
    EXPECT_TRUE(Parse(nullptr).empty());
}

} // namespace
