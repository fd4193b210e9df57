#include <gtest/gtest.h>

#include "bus/StatusTitle.h"
#include "bus/SubscriptionMask.h"
#include "res/resource.h"
#include "velk/TraceChannels.h"

namespace {

TEST(SubscriptionMask, EachCheckBoxHasItsTypeBit)
{
    struct Case { int id; uint32_t bit; };
    const Case cases[] = {
        { IDC_DEP, 0x00000800 }, { IDC_ADC, 0x00001000 }, { IDC_WTC, 0x00002000 },
        { IDC_CNT, 0x00008000 }, { IDC_TMR, 0x00004000 }, { IDC_STR, 0x00000200 },
        { IDC_ARR, 0x00000400 }, { IDC_CTL, 0x00800000 }, { IDC_ABS, 0x00000100 },
    };
    uint32_t all = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(c.bit, SubscriptionBitOf(c.id)) << c.id;
        all |= SubscriptionBitOf(c.id);
    }
    EXPECT_EQ(0x0080FF00u, all);   // nine distinct bits, no direction, no channel
    EXPECT_EQ(all, AllSubscriptionBits());

    const int others[] = { 0, IDC_SEND, IDC_CHANNEL, 1034, 1042, 1047, -1 };
    for (int id : others)
        EXPECT_EQ(0u, SubscriptionBitOf(id)) << id;
}

TEST(StatusTitle, NamesLibraryAndConsoleBuilds)
{
    EXPECT_EQ("VELK(2.1) Build(Apr 2 2024) VTOOL(v1.0-7-gc94d415) Build(2024-04-20)",
              FormatStatusTitle("2.1", "Apr 2 2024"));
    EXPECT_EQ("VELK() Build() VTOOL(v1.0-7-gc94d415) Build(2024-04-20)", FormatStatusTitle(nullptr, nullptr));
    EXPECT_EQ("VELK(%s%d) Build() VTOOL(v1.0-7-gc94d415) Build(2024-04-20)", FormatStatusTitle("%s%d", ""));

    const std::string longVersion(1000, 'v');
    EXPECT_EQ("VELK(" + longVersion + ") Build(b) VTOOL(v1.0-7-gc94d415) Build(2024-04-20)",
              FormatStatusTitle(longVersion.c_str(), "b"));
}

TEST(TraceChannels, VelkTraceNamesTheEntryPointsToTrace)
{
    const struct { const char* text; uint32_t channels; } cases[] = {
        { nullptr, 0 }, { "", 0 }, { "0", 0 }, { "2", 0 }, { "posts", 0 }, { "pos", 0 }, { ",, ", 0 },
        { "1", kTraceAll }, { "all", kTraceAll }, { "ALL", kTraceAll },
        { "post", kTracePost }, { "Post", kTracePost }, { "status", kTraceStatus },
        { "post,register", kTracePost | kTraceRegister },
        { " getp , info\tsetvar,", kTraceGetp | kTraceInfo | kTraceSetVar },
        { "unregister,getvar,nonsense", kTraceUnregister | kTraceGetVar },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.channels, ParseTraceChannels(c.text)) << (c.text != nullptr ? c.text : "null");
    EXPECT_EQ(0xFFu, static_cast<uint32_t>(kTraceAll));   // every entry point, one bit each
}

} // namespace
