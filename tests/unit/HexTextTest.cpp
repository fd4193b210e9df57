#include <gtest/gtest.h>

#include "common/HexText.h"

namespace {

TEST(HexText, ReadsOnlyTheLeadingRunOfHexDigits)
{
    struct Case { const char* text; uint64_t value; };
    const Case cases[] = {
        { "",                 0 },
        { "0",                0 },
        { "ff",               0xFF },
        { "FF",               0xFF },
        { "aBcDeF",           0xABCDEF },
        { "1234567890",       0x1234567890ULL },
        { "12g4",             0x12 },
        { "7f 01",            0x7F },
        { "10\n20",           0x10 },
        { "0x1F",             0 },       // no prefix: stops at the x
        { "-5",               0 },       // no sign
        { "+5",               0 },
        { " 5",               0 },       // no leading blank
        { "G",                0 },
        { "ffffffffffffffff", 0xFFFFFFFFFFFFFFFFULL },
        { "10000000000000000", 0 },      // wraps modulo 2^64
        { "123456789abcdef01", 0x23456789ABCDEF01ULL },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, ParseHexPrefix(c.text)) << '"' << c.text << '"';
    EXPECT_EQ(0u, ParseHexPrefix(nullptr));
}

} // namespace
