// velkctl's pure checks at their bounds: at the bound, one past it, and the
// case each check exists for.
#include <gtest/gtest.h>

#include "protocol/BusCounters.h"
#include "velkctl/CodeStats.h"
#include "formats/Duration.h"
#include "formats/NumberArgument.h"
#include "formats/Schedule.h"
#include "common/FormatText.h"

namespace {

TEST(VelkctlBounds, NumberArguments)
{
    struct Case {
        const char* text;
        int64_t minimum, maximum;
        bool accepted;
        int64_t value;
    };
    const Case cases[] = {
        { "0x20000801", 0, UINT32_MAX, true, 0x20000801 },
        { "0XfFfFfFfF", 0, UINT32_MAX, true, UINT32_MAX },
        { "4294967296", 0, UINT32_MAX, false, 0 },
        { "0x100000000", 0, UINT32_MAX, false, 0 },
        { "-2147483648", INT32_MIN, UINT32_MAX, true, INT32_MIN },
        { "-2147483649", INT32_MIN, UINT32_MAX, false, 0 },
        { "255", 0, 255, true, 255 },
        { "256", 0, 255, false, 0 },
        { "0", 0, 255, true, 0 },
        { "-1", 0, 255, false, 0 },
        { "+7", 0, 255, true, 7 },
        { "-0", 0, 255, true, 0 },
        { "010", 0, 255, true, 10 },     // decimal, not octal
        { "0x", 0, 255, false, 0 },
        { "-", 0, 255, false, 0 },
        { "", 0, 255, false, 0 },
        { "12a", 0, 255, false, 0 },
        { "0xg", 0, 255, false, 0 },
        { "1 ", 0, 255, false, 0 },
        { "-0x1", INT32_MIN, 255, false, 0 },
        // The accumulator's own bound: 2^63 - 1 and -2^63 are the last it takes.
        { "9223372036854775807", INT64_MIN, INT64_MAX, true, INT64_MAX },
        { "9223372036854775808", INT64_MIN, INT64_MAX, false, 0 },
        { "-9223372036854775808", INT64_MIN, INT64_MAX, true, INT64_MIN },
        { "-9223372036854775809", INT64_MIN, INT64_MAX, false, 0 },
        { "0x7FFFFFFFFFFFFFFF", INT64_MIN, INT64_MAX, true, INT64_MAX },
        { "0x8000000000000000", INT64_MIN, INT64_MAX, false, 0 },
        { "0xFFFFFFFFFFFFFFFFF", INT64_MIN, INT64_MAX, false, 0 },   // would wrap
        { "18446744073709551617", INT64_MIN, INT64_MAX, false, 0 },  // 2^64 + 1 wraps to 1
    };
    for (const Case& test : cases) {
        int64_t value = -12345;
        EXPECT_EQ(test.accepted, ParseNumberArgument(test.text, test.minimum, test.maximum, &value)) << test.text;
        EXPECT_EQ(test.accepted ? test.value : -12345, value) << test.text;
    }
    EXPECT_FALSE(ParseNumberArgument(nullptr, 0, 1, nullptr));
}

TEST(VelkctlBounds, DecimalNumbersAndReplaySpeed)
{
    struct Case { const char* text; bool accepted; double value; };
    const Case decimals[] = {
        { "2", true, 2 }, { "0.5", true, 0.5 }, { ".5", true, 0.5 }, { "2.5E-3", true, 0.0025 },
        { "0", true, 0 }, { "0.000", true, 0 }, { "0e-400", true, 0 },   // zero written as zero
        { "1e-400", false, 0 }, { "0.0001e-320", false, 0 },            // the reason for the check: no 0
        { "4e-320", false, 0 },                                          // below the normal range
        { "1e-300", true, 1e-300 },
        { "1e308", true, 1e308 }, { "1e309", false, 0 },
        { "inf", false, 0 }, { "nan", false, 0 }, { "0x10", false, 0 }, { "-1", false, 0 }, { "+1", false, 0 },
        { " 1", false, 0 }, { "1 ", false, 0 }, { "1.", false, 0 }, { ".", false, 0 }, { "1e", false, 0 },
        { "1e+", false, 0 }, { "", false, 0 },
    };
    for (const Case& test : decimals) {
        double value = -7;
        EXPECT_EQ(test.accepted, ParseDecimalArgument(test.text, &value)) << test.text;
        EXPECT_EQ(test.accepted ? test.value : -7, value) << test.text;
    }
    const Case speeds[] = {
        { "0", true, 0 }, { "1e-400", false, 0 },
        { "0.001", true, 0.001 }, { "0.000999", false, 0 },
        { "1000000", true, 1e6 }, { "1000000.1", false, 0 },
    };
    for (const Case& test : speeds) {
        double speed = -7;
        EXPECT_EQ(test.accepted, ParseReplaySpeed(test.text, &speed)) << test.text;
        EXPECT_EQ(test.accepted ? test.value : -7, speed) << test.text;
    }
}

TEST(VelkctlBounds, DurationsUpToOneHundredDays)
{
    struct Case { const char* text; bool accepted; };
    const Case cases[] = {
        { "8640000000000us", true }, { "8640000000001us", false },
        { "8640000000ms", true }, { "8640000000.001ms", false },
        { "8640000s", true }, { "8640000.000001s", false },
        { "144000m", true }, { "144000.0000001m", false },   // 6 us more
        { "2400h", true }, { "2400.000000001h", false },    // 3.6 us more
        { "2401h", false }, { "99999999999999999999us", false },
        { "18446744073709551616s", false },                  // would wrap to 0
        { "8640000000000.000us", true },
    };
    for (const Case& test : cases) {
        uint64_t micros = 0;
        EXPECT_EQ(test.accepted, ParseDuration(test.text, &micros, nullptr)) << test.text;
        if (test.accepted) {
            EXPECT_EQ(8640000000000ULL, micros) << test.text;
        }
    }
    // Whole microseconds: the last digit that still makes one, and the next.
    struct Fine { const char* text; uint64_t micros; };
    const Fine fine[] = {
        { "0.000001s", 1 }, { "0.0000001s", 0 }, { "0.0000010s", 1 },
        { "0.00000001h", 36 }, { "0.000000001h", 0 }, { "0.0000001m", 6 }, { "0.00000001m", 0 },
    };
    for (const Fine& test : fine) {
        uint64_t micros = 0;
        EXPECT_EQ(test.micros != 0, ParseDuration(test.text, &micros, nullptr)) << test.text;
        EXPECT_EQ(test.micros, micros) << test.text;
    }
}

TEST(VelkctlBounds, CountersParsedAndTheirChange)
{
    CounterValues values = ParseCounters("max 18446744073709551615\nover 18446744073709551616\n"
                                         "big 18446744073709551609\nzero 0\n 5\nnovalue \nbare\ntwo  5\nx 5y\n");
    EXPECT_EQ(3u, values.size());
    EXPECT_EQ(UINT64_MAX, values["max"]);
    EXPECT_EQ(18446744073709551609ULL, values["big"]);
    EXPECT_EQ(0u, values["zero"]);
    EXPECT_EQ(0u, values.count("over"));

    bool losing = true;
    CounterValues before = { { "posted", 7 }, { "delivered", 7 }, { "dropped", 3 }, { "expired", 3 }, { "abandoned", 0 } };
    CounterValues after = before;
    EXPECT_EQ("posted +0, delivered +0, dropped +0, expired +0, abandoned +0", FormatCounterChange(before, after, &losing));
    EXPECT_FALSE(losing);   // no change is no loss
    after["expired"] = 4;   // one more
    EXPECT_EQ("posted +0, delivered +0, dropped +0, expired +1 (LOSING), abandoned +0", FormatCounterChange(before, after, &losing));
    EXPECT_TRUE(losing);
    after["expired"] = 2;   // one less: a bus made afresh, counting from 0
    after["dropped"] = 4;
    EXPECT_EQ("posted +0, delivered +0, dropped +1 (LOSING), expired +2 (LOSING), abandoned +0",
              FormatCounterChange(before, after, &losing));
    before["posted"] = UINT64_MAX - 1;
    after["posted"] = UINT64_MAX;
    after.erase("delivered");
    EXPECT_EQ("posted +1, delivered ?, dropped +1 (LOSING), expired +2 (LOSING), abandoned +0",
              FormatCounterChange(before, after, &losing));
}

TEST(VelkctlBounds, CodesRankedWithinTheLimit)
{
    // Twenty codes of equal count, counted in falling code order: a sort
    // that is not stable, or not by count alone, reorders them.
    CodeStats stats;
    stats.Count(0);
    for (int n = 0; n < 2; ++n) {
        stats.Count(0xFFFFFFFF);
        for (uint32_t code = 0x30000012; code >= 0x30000000; --code)
            stats.Count(code);
    }
    for (int n = 0; n < 3; ++n)
        stats.Count(0x20000801);
    std::vector<std::string> expected = { "20000801" };
    for (uint32_t code = 0x30000000; code <= 0x30000012; ++code)
        expected.push_back(FormatText("%08x", code));
    expected.push_back("ffffffff");   // codes compare unsigned
    expected.push_back("00000000");

    auto lines = [&](size_t limit) {
        std::vector<std::string> split;
        std::string text = stats.Format(1000000, limit);
        for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
            split.push_back(text.substr(at, end - at));
        return split;
    };
    std::vector<std::string> all = lines(22);   // exactly the codes there are: no "more" line
    ASSERT_EQ(23u, all.size());
    EXPECT_EQ("44 messages in 1.000 s, 44.0 msg/s, 22 codes", all[0]);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ("  " + expected[i], all[i + 1].substr(0, 10)) << i;
    EXPECT_EQ("  20000801          3        3.0/s", all[1]);
    std::vector<std::string> cut = lines(21);   // one fewer
    ASSERT_EQ(23u, cut.size());
    EXPECT_EQ(all[21], cut[21]);
    EXPECT_EQ("  (1 more codes)", cut[22]);
    std::vector<std::string> none = lines(0);
    ASSERT_EQ(2u, none.size());
    EXPECT_EQ("  (22 more codes)", none[1]);
}

} // namespace
