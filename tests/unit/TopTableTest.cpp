// velkctl top's table: one row per code in code order or by rate, marks that
// last one interval, and a bound past which new codes are only counted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FormatText.h"
#include "velkctl/TopTable.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }

LatestValue Value(int32_t word)
{
    LatestValue latest;
    latest.Set(kValueMessage, word, nullptr, 0);
    return latest;
}

std::vector<TopLine> Rows(const TopTable& table, size_t maxRows = 100)
{
    std::vector<TopLine> lines = table.Format(200, maxRows, 0, NoLeadBytes);
    lines.erase(lines.begin());   // the head
    return lines;
}

std::string CodeOf(const TopLine& line) { return line.text.substr(2, 8); }

TEST(TopTable, RowsByCodeOrByRateWithTheirCountsAndRates)
{
    TopTable table;
    table.Receive(0x20001003, 1, Value(1));
    table.Receive(0x10001001, 2, Value(1));
    for (int i = 0; i < 3; ++i)
        table.Receive(0x10001002, 3, Value(1));
    table.Receive(0x10001001, 4, Value(1));
    table.EndInterval(500000, 500000);
    EXPECT_EQ(3u, table.Codes());

    std::vector<TopLine> rows = Rows(table);
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ("10001001", CodeOf(rows[0]));
    EXPECT_EQ("10001002", CodeOf(rows[1]));
    EXPECT_EQ("20001003", CodeOf(rows[2]));
    EXPECT_NE(std::string::npos, rows[1].text.find(FormatText(" %10d %9.1f ", 3, 6.0)));   // 3 in 0.5 s

    // Fastest first; equal rates keep code order.
    table.SortByRate(true);
    rows = Rows(table);
    EXPECT_EQ("10001002", CodeOf(rows[0]));
    EXPECT_EQ("10001001", CodeOf(rows[1]));
    EXPECT_EQ("20001003", CodeOf(rows[2]));
    EXPECT_EQ(1u, Rows(table, 1).size());

    // Cleared counts keep the rows and their order by code.
    table.ClearCounts();
    table.SortByRate(false);
    rows = Rows(table);
    ASSERT_EQ(3u, rows.size());
    EXPECT_NE(std::string::npos, rows[1].text.find(FormatText(" %10d %9.1f ", 0, 0.0)));
}

TEST(TopTable, AChangeIsMarkedOneIntervalAndSilenceAfterTen)
{
    TopTable table;
    table.Receive(7, 0, Value(1));
    table.EndInterval(1, 1);
    EXPECT_EQ(kTopChanged, Rows(table)[0].mark);   // new
    EXPECT_EQ('*', Rows(table)[0].text[0]);

    table.Receive(7, 2, Value(1));
    table.EndInterval(2, 1);
    EXPECT_EQ(kTopPlain, Rows(table)[0].mark);     // same value
    EXPECT_EQ(' ', Rows(table)[0].text[0]);

    table.Receive(7, 3, Value(2));
    table.EndInterval(3, 1);
    EXPECT_EQ(kTopChanged, Rows(table)[0].mark);

    for (size_t i = 1; i < kTopSilentIntervals; ++i)
        table.EndInterval(3 + i, 1);
    EXPECT_EQ(kTopPlain, Rows(table)[0].mark);     // nine silent intervals
    table.EndInterval(20, 1);
    EXPECT_EQ(kTopSilent, Rows(table)[0].mark);
    EXPECT_EQ('.', Rows(table)[0].text[0]);

    table.Receive(7, 21, Value(2));
    table.EndInterval(22, 1);
    EXPECT_EQ(kTopPlain, Rows(table)[0].mark);     // back, unchanged
}

TEST(TopTable, CodesPastTheBoundAreOnlyCounted)
{
    TopTable table;
    for (uint32_t code = 1; code <= kTopMaxCodes; ++code)
        table.Receive(code * 2, 0, Value(0));
    EXPECT_EQ(kTopMaxCodes, table.Codes());
    EXPECT_EQ(0u, table.Unlisted());

    table.Receive(1, 0, Value(0));                       // before every row
    table.Receive(3, 0, Value(0));                       // between rows
    table.Receive((kTopMaxCodes + 1) * 2, 0, Value(0));  // after every row
    table.Receive(2, 0, Value(5));                       // listed: still counted in its row
    EXPECT_EQ(kTopMaxCodes, table.Codes());
    EXPECT_EQ(3u, table.Unlisted());
    std::vector<TopLine> rows = Rows(table, 1);
    EXPECT_EQ("00000002", CodeOf(rows[0]));
    EXPECT_NE(std::string::npos, rows[0].text.find(FormatText(" %10d ", 2)));
}

// "DTC 15" for the columns DIR, TYPE and CH kept and a NAME 15 wide.
std::string ColumnsAt(size_t width, size_t nameWant, size_t valueWant)
{
    const TopColumns columns = ChooseTopColumns(width, nameWant, valueWant);
    return FormatText("%s%s%s %zu", columns.direction ? "D" : "", columns.type ? "T" : "",
                      columns.channel ? "C" : "", columns.nameWidth);
}

TEST(TopTable, TheValueKeepsItsRoomTheNameGivesWayThenDirTypeAndChannelGo)
{
    // 59 bytes of fixed columns (DIR 6, TYPE 8, CH 4), NAME, 2 blanks, the value.
    EXPECT_EQ("DTC 23", ColumnsAt(94, 23, 10));
    EXPECT_EQ("DTC 22", ColumnsAt(93, 23, 10));
    EXPECT_EQ("DTC 12", ColumnsAt(83, 23, 10));
    EXPECT_EQ("TC 17", ColumnsAt(82, 23, 10));
    EXPECT_EQ("TC 15", ColumnsAt(80, 23, 10));   // a console 80 wide
    EXPECT_EQ("TC 12", ColumnsAt(77, 23, 10));
    EXPECT_EQ("C 19", ColumnsAt(76, 23, 10));
    EXPECT_EQ("C 12", ColumnsAt(69, 23, 10));
    EXPECT_EQ(" 15", ColumnsAt(68, 23, 10));
    EXPECT_EQ(" 12", ColumnsAt(30, 23, 10));     // then the value is cut
    EXPECT_EQ("DTC 5", ColumnsAt(80, 5, 10));     // a short name needs no room made
    EXPECT_EQ("DTC 32", ColumnsAt(200, 40, 10));  // a long name is always cut
    EXPECT_EQ("DTC 32", ColumnsAt(113, 40, 100)); // a long value keeps 20 bytes, not all it wants
    EXPECT_EQ("DTC 31", ColumnsAt(112, 40, 100));
    EXPECT_EQ("DTC 0", ColumnsAt(30, 0, 10));     // no NAME column: nothing goes
}

TEST(TopTable, LinesKeepToTheWidth)
{
    TopTable table;
    table.Receive(0x10001001, 0, Value(-123456));
    for (size_t width : { size_t(1), size_t(20), size_t(50), size_t(200) }) {
        for (const TopLine& line : table.Format(width, 10, 0, NoLeadBytes))
            EXPECT_LE(line.text.size(), width);
    }
    std::vector<TopLine> wide = table.Format(200, 10, 0, NoLeadBytes);
    EXPECT_NE(std::string::npos, wide[1].text.find("-123456"));
}

} // namespace
