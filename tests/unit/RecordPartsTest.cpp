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

TEST(RecordParts, SplitAndKeepTakeASizeADurationOrACountAtTheirBounds)
{
    uint64_t bytes = 0;
    EXPECT_TRUE(ParseByteSize("256MiB", &bytes) && bytes == 256u << 20);
    EXPECT_TRUE(ParseByteSize("1B", &bytes) && bytes == 1);
    EXPECT_TRUE(ParseByteSize("1024TiB", &bytes) && bytes == 1ULL << 50);
    for (const char* bad : { "0MiB", "1025TiB", "18014398509481984B", "1.5GiB", "MiB", "1mib", "1 MiB", "1MB", "1" })
        EXPECT_FALSE(ParseByteSize(bad, &bytes)) << bad;

    PieceBound bound;
    std::string error;
    EXPECT_TRUE(ParseSplit("1MiB", &bound, &error) && bound.bytes == 1u << 20 && bound.micros == 0);
    EXPECT_TRUE(ParseSplit("1s", &bound, &error) && bound.micros == 1000000 && bound.bytes == 0);
    EXPECT_TRUE(ParseSplit("1h", &bound, &error) && bound.micros == 3600000000ULL);
    for (const char* bad : { "1023KiB", "999ms", "0", "10 parts" }) {
        EXPECT_FALSE(ParseSplit(bad, &bound, &error)) << bad;
        EXPECT_EQ(0u, error.find(std::string("bad --split '") + bad + "': expected a size of 1MiB or more")) << error;
    }

    KeepBudget budget;
    EXPECT_TRUE(ParseKeep("1", &budget, &error) && budget.count == 1 && budget.bytes == 0);
    EXPECT_TRUE(ParseKeep("999999", &budget, &error) && budget.count == 999999);
    EXPECT_TRUE(ParseKeep("10GiB", &budget, &error) && budget.bytes == 10ULL << 30 && budget.count == 0);
    for (const char* bad : { "0", "1000000", "99999999999999999999999", "1h", "-1", "" }) {
        EXPECT_FALSE(ParseKeep(bad, &budget, &error)) << bad;
        EXPECT_NE(std::string::npos, error.find("or a number of parts, 1 to 999999")) << error;
    }
}

TEST(RecordParts, APieceEndsBeforeTheLineThatWouldPassItsSizeOrAtItsTime)
{
    PieceBound bound;
    bound.bytes = 100;
    bound.micros = 1000;
    EXPECT_FALSE(StartsNewPiece(bound, 90, 5000, 10, 5999));   // exactly full, 999 us on
    EXPECT_TRUE(StartsNewPiece(bound, 90, 5000, 11, 5000));    // one byte over
    EXPECT_TRUE(StartsNewPiece(bound, 1, 5000, 1, 6000));      // its time is up
    EXPECT_FALSE(StartsNewPiece(bound, 0, 5000, 500, 9000));   // an empty piece takes anything
    EXPECT_FALSE(StartsNewPiece(PieceBound(), 1ULL << 40, 0, 1, 1ULL << 40));   // no bounds
}

// The part's own line in its header: a comment, its seconds as the record lines write them.
TEST(RecordParts, APartSaysItsNumberAndWhereItStandsInItsSeries)
{
    const WallTime start = { 1796721123123000, 480 };
    EXPECT_EQ(FormatPartLine(2, 3600000123, start),
              "# part 2, 3600.000123 s into the series started 2026-12-08T17:12:03.123+08:00");
    EXPECT_EQ(FormatPartLine(999999, 0, start), "# part 999999, 0.000000 s into the series started "
                                                "2026-12-08T17:12:03.123+08:00");
}
