#include <gtest/gtest.h>

#include "console/VariableText.h"
#include "common/NumberText.h"

namespace {

TEST(VariableText, ConvertsLikeAtoiAndSaturates)
{
    struct Case { const char* text; int32_t value; };
    const Case cases[] = {
        { "",            0 },
        { "12",          12 },
        { "  \t\n42",    42 },
        { "-17",         -17 },
        { "+8",          8 },
        { "12abc",       12 },
        { "abc",         0 },
        { "- 5",         0 },
        { "--5",         0 },
        { "0x10",        0 },
        { "007",         7 },
        { "2147483647",  2147483647 },
        { "2147483648",  2147483647 },
        { "-2147483648", INT32_MIN },
        { "-2147483649", INT32_MIN },
        { "9999999999999999999999999999999", 2147483647 },    // 31 nines
        { "-9999999999999999999999999999999", INT32_MIN },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, ParseDecimalSaturating(c.text)) << '"' << c.text << '"';
    EXPECT_EQ(0, ParseDecimalSaturating(nullptr));
}

TEST(NumberText, AcceptsPlainUnsignedDecimalsWithBlanks)
{
    struct Case { const char* text; uint32_t value; };
    const Case cases[] = {
        { "0",           0 },
        { "255",         255 },
        { " 300 ",       300 },
        { "\t7",         7 },
        { "0004",        4 },
        { "4294967295",  4294967295u },
    };
    for (const Case& c : cases) {
        uint32_t value = 12345;
        EXPECT_TRUE(ParseUnsignedDecimal(c.text, &value)) << '"' << c.text << '"';
        EXPECT_EQ(c.value, value) << '"' << c.text << '"';
    }
}

TEST(NumberText, RejectsEverythingElseAndKeepsTheOldValue)
{
    const char* const bad[] = { "", "   ", "-1", "+1", "1 2", "12a", "a12", "0x10", "1.5",
                                "4294967296", "99999999999999999999", "\xA3\xB1" };
    for (const char* text : bad) {
        uint32_t value = 12345;
        EXPECT_FALSE(ParseUnsignedDecimal(text, &value)) << '"' << text << '"';
        EXPECT_EQ(12345u, value) << '"' << text << '"';
    }
    uint32_t value = 1;
    EXPECT_FALSE(ParseUnsignedDecimal(nullptr, &value));
    EXPECT_EQ(1u, value);
}

} // namespace
