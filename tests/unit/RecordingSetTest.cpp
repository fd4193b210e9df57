// The open recordings' bookkeeping at its edges: the cap, tokens never
// given twice, a workspace's numbering after a close in the middle.
#include <string>

#include <gtest/gtest.h>

#include "velkscope/RecordingSet.h"

TEST(RecordingSetTest, CapTokensAndNumbering)
{
    RecordingSet<int> set;
    std::string why;
    for (size_t source = 1; source <= kMaxRecordings; ++source)
        ASSERT_NE(set.Add(source, L"r" + std::to_wstring(source), static_cast<int>(source * 10), &why), nullptr) << source;
    EXPECT_EQ(set.Size(), 16u);
    EXPECT_FALSE(set.Room(&why));
    why.clear();
    EXPECT_EQ(set.Add(17, L"r17", 170, &why), nullptr);
    EXPECT_NE(why.find("16"), std::string::npos) << why;
    EXPECT_EQ(set.Size(), 16u);
    EXPECT_EQ(set.BySource(17), nullptr);

    // Look-ups by source and by token, and a workspace's numbers.
    ASSERT_NE(set.BySource(3), nullptr);
    const uintptr_t third = set.BySource(3)->token;
    EXPECT_EQ(set.ByToken(third)->open, 30);
    EXPECT_EQ(set.ByToken(third)->path, L"r3");
    EXPECT_FALSE(set.ByToken(third)->ticked);
    EXPECT_EQ(set.NumberOf(0), 0u);
    EXPECT_EQ(set.NumberOf(1), 1u);
    EXPECT_EQ(set.NumberOf(4), 4u);
    EXPECT_EQ(set.NumberOf(16), 16u);
    EXPECT_EQ(set.Numbered(0), nullptr);
    EXPECT_EQ(set.Numbered(16)->source, 16u);
    EXPECT_EQ(set.Numbered(17), nullptr);

    // A close in the middle: the later ones move down a number, and the
    // 16th may open again, with a token never seen before.
    set.Close(third);
    EXPECT_EQ(set.ByToken(third), nullptr);
    EXPECT_EQ(set.BySource(3), nullptr);
    EXPECT_EQ(set.NumberOf(2), 2u);
    EXPECT_EQ(set.NumberOf(4), 3u);
    EXPECT_EQ(set.NumberOf(16), 15u);
    EXPECT_EQ(set.Numbered(15)->source, 16u);
    EXPECT_EQ(set.Numbered(16), nullptr);
    auto* reopened = set.Add(3, L"r3", 31, &why);
    ASSERT_NE(reopened, nullptr);
    EXPECT_GT(reopened->token, set.BySource(16)->token);
    EXPECT_EQ(set.NumberOf(3), 16u);

    // Tokens go on counting after all are closed.
    const uintptr_t latest = reopened->token;
    set.Clear();
    EXPECT_TRUE(set.Empty());
    EXPECT_EQ(set.Add(1, L"r1", 0, &why)->token, latest + 1);
}
