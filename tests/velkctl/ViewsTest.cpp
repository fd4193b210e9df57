// velkctl's views: top on a pipe, with messages posted while it runs, and
// plot from a recording, against the reference bus, velkctl in child
// processes.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "velk/VelkApi.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Views;

// The blocks top prints on a pipe, split at their blank lines.
std::vector<std::vector<std::string>> Blocks(const std::vector<std::string>& lines)
{
    std::vector<std::vector<std::string>> blocks(1);
    for (const std::string& line : lines) {
        if (line.empty())
            blocks.push_back(std::vector<std::string>());
        else
            blocks.back().push_back(line);
    }
    while (!blocks.empty() && blocks.back().empty())
        blocks.pop_back();
    return blocks;
}

// The row of a code in a block, or empty.
std::string RowOf(const std::vector<std::string>& block, const char* code)
{
    for (const std::string& line : block) {
        if (line.compare(2, strlen(code), code) == 0)
            return line;
    }
    return std::string();
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST_F(Views, TopOnAPipePrintsTheTableEveryIntervalAndMarksChanges)
{
    ChildProcess top;
    ASSERT_TRUE(top.Start("velkctl.exe", "top --interval 500ms --count 8"));
    ASSERT_TRUE(WaitForClients(1));
    ASSERT_GE(vPostData(window_, 0x20001001, 5, 4), 1);
    const char text[] = "hi there";
    ASSERT_GE(vPostData(window_, 0x30000203, reinterpret_cast<LPARAM>(text), 8), 1);
    Sleep(1300);   // two intervals and more
    ASSERT_GE(vPostData(window_, 0x20001001, -6, 4), 1);
    ASSERT_EQ(0, top.Wait(20000));

    std::vector<std::vector<std::string>> blocks = Blocks(top.Lines());
    ASSERT_EQ(8u, blocks.size());
    for (const std::vector<std::string>& block : blocks) {
        ASSERT_GE(block.size(), 3u);
        EXPECT_EQ(0u, block.front().find("-- ")) << block.front();       // headed by the time
        EXPECT_EQ(0u, block[1].find("  CODE     DIR   TYPE"));
        EXPECT_EQ(0u, block.back().find("bus: posted +")) << block.back();
        EXPECT_EQ(std::string::npos, block.back().find("LOSING"));
    }
    // 5 arrives and is marked; an interval later it is not; -6 is marked again.
    size_t first = 0, quiet = 0, second = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::string row = RowOf(blocks[i], "20001001");
        if (first == 0 && row[0] == '*' && EndsWith(row, "  5"))
            first = i + 1;
        else if (first != 0 && quiet == 0 && row[0] == ' ' && EndsWith(row, "  5"))
            quiet = i + 1;
        else if (quiet != 0 && second == 0 && row[0] == '*' && EndsWith(row, "  -6"))
            second = i + 1;
    }
    EXPECT_NE(0u, first);
    EXPECT_NE(0u, quiet);
    EXPECT_NE(0u, second);
    std::string last = RowOf(blocks.back(), "20001001");
    EXPECT_EQ(0u, last.find("  20001001 WV    ADC       1          2 ")) << last;
    EXPECT_TRUE(EndsWith(RowOf(blocks.back(), "30000203"), "  hi there"));
    EXPECT_NE(std::string::npos, RowOf(blocks.back(), "30000203").find("RV+WV STR       3          1 "));
}

TEST_F(Views, PlotWritesTheChartOfARecordingOrNothing)
{
    std::string recording = "# velk record 1\n";
    for (int i = 0; i < 5000; ++i) {
        char line[64];
        snprintf(line, sizeof line, "%d.%06d 20001001 V %d\n", i / 1000, (i % 1000) * 1000, i - 2500);
        recording += line;
        if (i % 100 == 0) {
            snprintf(line, sizeof line, "%d.%06d 30000404 A %02x02\n", i / 1000, (i % 1000) * 1000, i % 256);
            recording += line;
        }
    }
    std::string path = WriteTempFile(recording);
    std::string svg = path + ".svg";
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunVelkctl("plot \"" + path + "\" --code 20001001 --code 0x30000404 --code 20001077 --out \"" + svg +
                            "\" --title \"bench <7>\"", &lines));
    std::string chart = ReadFileText(svg);
    EXPECT_EQ(0u, chart.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "));
    size_t polylines = 0;
    for (size_t at = chart.find("<polyline"); at != std::string::npos; at = chart.find("<polyline", at + 1))
        ++polylines;
    EXPECT_EQ(2u, polylines);
    EXPECT_NE(std::string::npos, chart.find("<title>bench &lt;7&gt;</title>"));
    EXPECT_NE(std::string::npos, chart.find("20001077 (no data)"));
    EXPECT_NE(std::string::npos, chart.find("30000404 (byte 0)"));
    EXPECT_NE(std::string::npos, lines.back().find("plotted 5050 of 5050 messages"));
    DeleteFileA(svg.c_str());

    // A bad line: named, exit 2, no chart at all.
    std::string broken = WriteTempFile("# velk record 1\n0.000000 20001001 V 1\n0.001000 2000100 V 2\n");
    lines.clear();
    EXPECT_EQ(2, RunVelkctl("plot \"" + broken + "\" --code 20001001 --out \"" + svg + "\"", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find(":3: ")) << lines[0];
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(svg.c_str()));
    EXPECT_EQ(2, RunVelkctl("plot \"" + path + "\" --code 2000100G --out \"" + svg + "\""));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(svg.c_str()));
    DeleteFileA(path.c_str());
    DeleteFileA(broken.c_str());
}

} // namespace
