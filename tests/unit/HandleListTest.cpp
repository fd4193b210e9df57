#include <gtest/gtest.h>

#include "protocol/HandleList.h"

namespace {

typedef std::vector<uint64_t> Handles;

TEST(HandleList, SendsToEveryListedWindowButOurOwn)
{
    const char* list = "1a2b\tmask 800\r\n3c4d\tmask 0\r\n5e6f\r\n";
    EXPECT_EQ(Handles({ 0x1A2B, 0x5E6F }), EndSessionTargets(list, 0x3C4D, 64));
    EXPECT_EQ(Handles({ 0x1A2B, 0x3C4D, 0x5E6F }), EndSessionTargets(list, 0x9999, 64));
}

TEST(HandleList, SkipsLinesWithoutAHandle)
{
    EXPECT_TRUE(EndSessionTargets("3c4d", 0x3C4D, 64).empty());      // own handle only
    EXPECT_TRUE(EndSessionTargets("", 0x3C4D, 64).empty());
    EXPECT_TRUE(EndSessionTargets(nullptr, 0x3C4D, 64).empty());
    EXPECT_TRUE(EndSessionTargets("\n\n\r\n", 0x3C4D, 64).empty());
    EXPECT_TRUE(EndSessionTargets("0\n000\n", 0x3C4D, 64).empty());
    EXPECT_EQ(Handles({ 0x10 }), EndSessionTargets("handles:\n 20\n10\n", 0, 64));
}

TEST(HandleList, ListsADuplicateTwice)
{
    EXPECT_EQ(Handles({ 0x10, 0x20, 0x10 }), EndSessionTargets("10\n20\n10\n", 0x30, 64));
}

TEST(HandleList, CarriageReturnsAreRemovedNotLineBreaks)
{
    // "12\r34" reads as 1234 once the carriage return is gone.
    EXPECT_EQ(Handles({ 0x1234 }), EndSessionTargets("12\r34", 0, 64));
    EXPECT_EQ(Handles({ 0x12 }), EndSessionTargets("\r12\r", 0, 64));
}

TEST(HandleList, HandlesAreCutToTheirWidth)
{
    EXPECT_EQ(Handles({ 0x00000002 }), EndSessionTargets("100000002", 0, 32));
    EXPECT_EQ(Handles({ 0x100000002ULL }), EndSessionTargets("100000002", 0, 64));
    // Cut first, then compared with our own handle and with 0.
    EXPECT_TRUE(EndSessionTargets("500000007\n100000000", 7, 32).empty());
}

} // namespace
