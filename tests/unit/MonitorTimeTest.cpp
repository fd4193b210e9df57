// velkctl monitor --time: the three words exactly, nothing near them.
#include <gtest/gtest.h>

#include "velkctl/MonitorTime.h"

TEST(MonitorTime, TakesEachWordAndNothingNearIt)
{
    MonitorTime time = kMonitorTimeConsole;
    ASSERT_TRUE(ParseMonitorTime("rel", &time));
    EXPECT_EQ(kMonitorTimeRelative, time);
    ASSERT_TRUE(ParseMonitorTime("abs", &time));
    EXPECT_EQ(kMonitorTimeAbsolute, time);
    ASSERT_TRUE(ParseMonitorTime("delta", &time));
    EXPECT_EQ(kMonitorTimeDelta, time);

    for (const char* wrong : { "Rel", "ABS", "abs ", " rel", "", "delta2", "delt", "re", "absolute", "console" }) {
        time = kMonitorTimeRelative;
        EXPECT_FALSE(ParseMonitorTime(wrong, &time)) << '"' << wrong << '"';
        EXPECT_EQ(kMonitorTimeRelative, time) << '"' << wrong << '"';
    }
    EXPECT_FALSE(ParseMonitorTime(std::string("abs\0", 4), &time));
}
