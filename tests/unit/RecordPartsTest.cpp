#include <gtest/gtest.h>

#include "formats/RecordParts.h"

namespace {

std::string Split(const std::string& path)
{
    const PartSeries series = SeriesOfFile(path);
    return series.stem + "|" + series.extension;
}

} // namespace

TEST(RecordParts, APartIsNamedAfterItsFileAndKnownByItsName)
{
    EXPECT_EQ(Split("run.rec"), "run|.rec");
    EXPECT_EQ(Split("logs/run.rec.gz"), "logs/run|.rec.gz");
    EXPECT_EQ(Split("x.gz"), "x|.gz");
    EXPECT_EQ(Split("a.b\\run"), "a.b\\run|");       // a dot in the folder is no extension
    EXPECT_EQ(Split("logs/.rec"), "logs/.rec|");
    EXPECT_EQ(Split("logs/.rec.gz"), "logs/.rec|.gz");
    EXPECT_EQ(Split("run."), "run|.");

    const PartSeries series = SeriesOfFile("logs/run.rec.gz");
    EXPECT_EQ(PartName(series, 1), "logs/run-0001.rec.gz");
    EXPECT_EQ(PartName(series, 9999), "logs/run-9999.rec.gz");
    EXPECT_EQ(PartName(series, 10000), "logs/run-10000.rec.gz");
    EXPECT_EQ(PartName(SeriesOfFile("run"), 12), "run-0012");
    for (unsigned number : { 1u, 9999u, 10000u, 999999u })
        EXPECT_EQ(PartNumber(series, PartName(series, number)), number);
    for (const char* other : { "logs/run-0000.rec.gz", "logs/run-001.rec.gz", "logs/run-00001.rec.gz",
                               "logs/run-1000000.rec.gz", "logs/run-00a1.rec.gz", "logs/run-0001.rec",
                               "logs/run_0001.rec.gz", "logs/run-0001.rec.gz.tmp", "logs/run.rec.gz",
                               "logs/runs-0001.rec.gz", "run-0001.rec.gz" })
        EXPECT_EQ(PartNumber(series, other), 0u) << other;

    // The first part (or any) names its series.
    PartSeries found;
    unsigned number = 0;
    ASSERT_TRUE(SeriesOfPart("logs/run-a-0003.rec.gz", &found, &number));
    EXPECT_EQ(found.stem + "|" + found.extension + "|" + std::to_string(number), "logs/run-a|.rec.gz|3");
    for (const char* other : { "logs/run.rec", "logs-0001/run.rec", "logs/run-12.rec", "-0001.rec" })
        EXPECT_FALSE(SeriesOfPart(other, &found, &number)) << other;

    // Among a folder's names, the series' parts by number, not by text.
    EXPECT_EQ(PartsAmong(series, { "logs/run-10000.rec.gz", "logs/run-0002.rec.gz", "logs/other.txt",
                                   "logs/run-0001.rec", "logs/run-0001.rec.gz" }),
              (std::vector<std::string>{ "logs/run-0001.rec.gz", "logs/run-0002.rec.gz", "logs/run-10000.rec.gz" }));
}

TEST(RecordParts, TheKeepRuleDeletesTheOldestFinishedPartsBeyondTheBudget)
{
    const std::vector<uint64_t> finished = { 100, 200, 300 };
    KeepBudget count;
    count.count = 4;   // three finished and the one being written fit exactly
    EXPECT_EQ(PartsToDelete(finished, 0, count), 0u);
    count.count = 3;
    EXPECT_EQ(PartsToDelete(finished, 0, count), 1u);
    count.count = 1;   // only the part being written
    EXPECT_EQ(PartsToDelete(finished, 0, count), 3u);

    KeepBudget bytes;
    bytes.bytes = 650;
    EXPECT_EQ(PartsToDelete(finished, 50, bytes), 0u);    // exactly the budget
    EXPECT_EQ(PartsToDelete(finished, 51, bytes), 1u);    // one byte over: the oldest goes
    EXPECT_EQ(PartsToDelete(finished, 350, bytes), 2u);
    EXPECT_EQ(PartsToDelete(finished, 5000, bytes), 3u);  // the part being written stays, alone over
    EXPECT_EQ(PartsToDelete({}, 5000, bytes), 0u);

    KeepBudget both;   // whichever is the tighter
    both.bytes = 10000;
    both.count = 2;
    EXPECT_EQ(PartsToDelete(finished, 0, both), 2u);
    both.count = 0;
    both.bytes = 0;
    EXPECT_EQ(PartsToDelete(finished, 1u << 30, both), 0u);   // no budget
}
