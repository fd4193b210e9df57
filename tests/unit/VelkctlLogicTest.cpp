#include <gtest/gtest.h>

#include "protocol/BusCounters.h"
#include "velkctl/CodeStats.h"
#include "formats/Duration.h"
#include "formats/Schedule.h"

namespace {

TEST(Durations, NumberAndUnitToMicroseconds)
{
    struct Case { const char* text; bool accepted; uint64_t micros; const char* error; };
    const Case cases[] = {
        { "100ms", true, 100000, "" },
        { "2.5ms", true, 2500, "" },
        { "1s", true, 1000000, "" },
        { "3m", true, 180000000, "" },
        { "1.5h", true, 5400000000ULL, "" },
        { "7us", true, 7, "" },
        { ".5s", true, 500000, "" },
        { "0.0000001m", true, 6, "" },
        { "0ms", true, 0, "" },
        { "2400h", true, 8640000000000ULL, "" },
        { "2400.0001h", false, 0, "at most 100 days" },
        { "99999999999999999999999s", false, 0, "at most 100 days" },
        { "20", true, 20000000, "" },           // a bare number is seconds
        { "0.25", true, 250000, "" },
        { "8640000", true, 8640000000000ULL, "" },
        { "8640001", false, 0, "at most 100 days" },
        { "20 ms", false, 0, "unknown unit" },
        { "20MS", false, 0, "unknown unit" },
        { "1.5us", false, 0, "finer than a microsecond" },
        { "0.0001ms", false, 0, "finer than a microsecond" },
        { "0.0010ms", true, 1, "" },
        { "ms", false, 0, "expected a number" },
        { "-1s", false, 0, "expected a number" },
        { "1.s", false, 0, "digits after the decimal point" },
        { "", false, 0, "expected a number" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        uint64_t micros = 12345;
        std::string error;
        EXPECT_EQ(test.accepted, ParseDuration(test.text, &micros, &error));
        EXPECT_EQ(test.accepted ? test.micros : 12345u, micros);
        EXPECT_NE(std::string::npos, error.find(test.error)) << error;
        if (!test.accepted) {
            EXPECT_NE(std::string::npos, error.find("a bare number is seconds")) << error;   // says what would do
        }
    }
}

TEST(Schedules, DeadlinesCountFromTheStartAndScaleWithSpeed)
{
    // A counter of 10 MHz (Wine's) and one of 3 GHz over a year: exact, no overflow.
    EXPECT_EQ(15000u, MicrosToTicks(1500, 10000000));
    EXPECT_EQ(31536000ULL * 3000000000ULL, MicrosToTicks(31536000ULL * 1000000, 3000000000ULL));
    EXPECT_EQ(31536000LL * 1000000, TicksToMicros(31536000LL * 3000000000LL, 3000000000ULL));
    EXPECT_EQ(-1500, TicksToMicros(-15000, 10000000));

    const uint64_t times[] = { 2000000, 2000000, 2010000, 2030000 };   // the first after 2 s of quiet
    RecordingSpan span;
    for (uint64_t micros : times)
        span.Add(micros);
    ReplaySchedule once(span, 1);
    EXPECT_EQ(0u, once.OffsetMicros(0, times[0]));
    EXPECT_EQ(0u, once.OffsetMicros(0, times[1]));
    EXPECT_EQ(30000u, once.OffsetMicros(0, times[3]));
    EXPECT_EQ(40000u, once.PassMicros());          // 30 ms plus the mean spacing of 10 ms
    EXPECT_EQ(40000u + 10000u, once.OffsetMicros(1, times[2]));
    EXPECT_EQ(999u * 40000u + 30000u, once.OffsetMicros(999, times[3]));   // pass 1000, no drift
    ReplaySchedule faster(span, 2.5);
    EXPECT_EQ(12000u, faster.OffsetMicros(0, times[3]));
    EXPECT_EQ(16000u + 4000u, faster.OffsetMicros(1, times[2]));
    ReplaySchedule flat(span, 0);
    EXPECT_EQ(0u, flat.OffsetMicros(5, times[3]));
    RecordingSpan one;
    one.Add(times[3]);
    ReplaySchedule single(one, 1);
    EXPECT_EQ(0u, single.OffsetMicros(7, times[3]));

    EXPECT_EQ("sent 25 messages in 0.480 s (50.0 msg/s)", FormatSendSummary("sent", 25, 480000));
    EXPECT_EQ("posted 1 message in 0.000 s", FormatSendSummary("posted", 1, 0));
}

TEST(Statistics, CodesRankedByCountAndCountersByName)
{
    CodeStats stats;
    for (int i = 0; i < 5; ++i)
        stats.Count(0x20000802);
    for (int i = 0; i < 5; ++i)
        stats.Count(0x20000801);
    stats.Count(0x30000201);
    for (int i = 0; i < 9; ++i)
        stats.Count(0xFFFFFFFF);
    EXPECT_EQ(20u, stats.Total());
    EXPECT_EQ("20 messages in 2.000 s, 10.0 msg/s, 4 codes\n"
              "  ffffffff          9        4.5/s\n"
              "  20000801          5        2.5/s\n"   // equal counts in code order
              "  20000802          5        2.5/s\n"
              "  (1 more codes)\n",
              stats.Format(2000000, 3));
    stats.Clear();
    EXPECT_EQ("0 messages in 0.000 s, 0.0 msg/s, 0 codes\n", stats.Format(0, 20));

    // Unknown and new counters are skipped; so is anything that is not "name number".
    CounterValues before = ParseCounters("clients 2\r\nposted 10\r\ndelivered 20\r\ndropped 1\r\nexpired 0\r\n"
                                         "future-counter 5\r\nnot a counter\r\nrefused -1\r\nposted2 x\r\n");
    EXPECT_EQ(6u, before.size());
    CounterValues after = ParseCounters("posted 15\ndelivered 29\ndropped 1\nexpired 2\nnew 1");
    bool losing = false;
    EXPECT_EQ("posted +5, delivered +9, dropped +0, expired +2 (LOSING), abandoned ?", FormatCounterChange(before, after, &losing));
    EXPECT_TRUE(losing);
    after["dropped"] = 4;
    after["expired"] = 0;   // a bus made afresh meanwhile counts from 0
    EXPECT_EQ("posted +5, delivered +9, dropped +3 (LOSING), expired +0, abandoned ?", FormatCounterChange(before, after, &losing));
    before["abandoned"] = 7;
    after = before;
    after["abandoned"] = 8;   // a sender that died mid-post
    EXPECT_EQ("posted +0, delivered +0, dropped +0, expired +0, abandoned +1 (LOSING)", FormatCounterChange(before, after, &losing));
    EXPECT_TRUE(losing);
    EXPECT_EQ("posted ?, delivered ?, dropped ?, expired ?, abandoned ?",
              FormatCounterChange(ParseCounters("no bus: not attached (-7)\r\n"), after, &losing));
    EXPECT_FALSE(losing);
    EXPECT_TRUE(ParseCounters(nullptr).empty());
}

} // namespace
