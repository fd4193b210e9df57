#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>

#include "protocol/LogLines.h"
#include "logview/LineRing.h"

namespace {

std::string LineText(int n) { return "line " + std::to_string(n); }

// Writes lines numbered first..last (inclusive) into the ring.
void AddLines(LineRing& ring, int first, int last)
{
    for (int n = first; n <= last; ++n)
        ring.Add(LineText(n).c_str());
}

std::string RowNumberText(const LineRing& ring, int row)
{
    char text[16];
    int length = FormatRowNumber(ring.RowNumber(row), text);
    EXPECT_EQ(static_cast<int>(strlen(text)), length);
    return text;
}

bool AllRowsEmpty(const LineRing& ring)
{
    for (int row = 0; row < kLogRows; ++row) {
        if (ring.Row(row)[0] != '\0')
            return false;
    }
    return true;
}

TEST(LineRing, NewRingIsEmptyAndNumberedFromZero)
{
    LineRing ring;
    EXPECT_TRUE(AllRowsEmpty(ring));
    EXPECT_EQ(0, ring.WriteIndex());
    EXPECT_EQ("     0", RowNumberText(ring, 0));
    EXPECT_EQ("    39", RowNumberText(ring, 39));
    EXPECT_EQ(56, LineTextX(6));
}

TEST(LineRing, FirstLineGoesIntoRowZeroAndRepaintsTwoRows)
{
    LineRing ring;
    LogBand band = ring.Add("abc");
    EXPECT_STREQ("abc", ring.Row(0));
    EXPECT_EQ(0, band.top);
    EXPECT_EQ(32, band.bottom);
    EXPECT_EQ(1, ring.WriteIndex());
    EXPECT_STREQ("", ring.Row(1));

    band = ring.Add("");
    EXPECT_EQ(16, band.top);
    EXPECT_EQ(48, band.bottom);
    EXPECT_STREQ("", ring.Row(1));
    EXPECT_EQ(2, ring.WriteIndex());
}

TEST(LineRing, KeepsAtMost127Bytes)
{
    LineRing ring;
    const std::string exact(127, 'x');
    ring.Add(exact.c_str());
    EXPECT_EQ(exact, ring.Row(0));

    ring.Add(std::string(200, 'y').c_str());
    EXPECT_EQ(std::string(127, 'y'), ring.Row(1));

    // A double-byte character across the cut loses its second byte.
    const std::string split = std::string(126, 'z') + "\xB2\xE2" + "tail";
    ring.Add(split.c_str());
    EXPECT_EQ(std::string(126, 'z') + "\xB2", ring.Row(2));

    ring.Add(nullptr);
    EXPECT_STREQ("", ring.Row(3));
    EXPECT_EQ(4, ring.WriteIndex());
}

TEST(LineRing, EscapedNewlinesCutLeaveALoneBackslash)
{
    struct Text { std::string text; };
    Text payload = { std::string(54, '\n') };
    PayloadFetcher fetch = [](void* context, intptr_t, int32_t* length) -> const void* {
        const Text* t = static_cast<const Text*>(context);
        *length = static_cast<int32_t>(t->text.size());
        return t->text.c_str();
    };
    LineRing ring;
    ring.Add(FormatIncomingLine(250, 0x30000201, 1, fetch, &payload).c_str());

    std::string expected = "00250 30000201[ 54] ";
    for (int i = 0; i < 53; ++i)
        expected += "\\n";
    expected += "\\";
    EXPECT_EQ(127u, expected.size());
    EXPECT_EQ(expected, ring.Row(0));
}

TEST(LineRing, FortiethLineWrapsToTheTop)
{
    LineRing ring;
    AddLines(ring, 1, 39);
    EXPECT_EQ(0u, ring.FirstLineNumber());
    EXPECT_EQ(39, ring.WriteIndex());

    LogBand band = ring.Add(LineText(40).c_str());
    EXPECT_EQ(624, band.top);
    EXPECT_EQ(656, band.bottom);
    EXPECT_EQ(40u, ring.FirstLineNumber());
    EXPECT_EQ(0, ring.WriteIndex());
    EXPECT_STREQ("", ring.Row(0));              // the first line is gone
    EXPECT_EQ(LineText(40), ring.Row(39));
    EXPECT_EQ("    79", RowNumberText(ring, 39));
}

TEST(LineRing, AfterFortyOneLines)
{
    LineRing ring;
    AddLines(ring, 1, 41);
    EXPECT_EQ("    40", RowNumberText(ring, 0));
    EXPECT_EQ(LineText(41), ring.Row(0));
    EXPECT_EQ("    41", RowNumberText(ring, 1));
    EXPECT_STREQ("", ring.Row(1));
    for (int row = 2; row < kLogRows; ++row) {
        EXPECT_EQ(std::to_string(40 + row), RowNumberText(ring, row).substr(4)) << row;
        EXPECT_EQ(LineText(row + 1), ring.Row(row)) << row;
    }
}

TEST(LineRing, AMillionLinesGiveSevenDigitNumbers)
{
    LineRing ring;
    for (int n = 0; n < 1000000; ++n)
        ring.Add("x");
    EXPECT_EQ(1000000u, ring.FirstLineNumber());
    EXPECT_EQ(0, ring.WriteIndex());
    char text[16];
    int length = FormatRowNumber(ring.RowNumber(0), text);
    EXPECT_STREQ("1000000", text);
    EXPECT_EQ(64, LineTextX(length));
}

TEST(LineRing, NumbersWrapModulo2To32)
{
    LineRing ring;
    ring.SetFirstLineNumberForTests(4294967280u);
    EXPECT_EQ("4294967295", RowNumberText(ring, 15));
    EXPECT_EQ("     0", RowNumberText(ring, 16));
    EXPECT_EQ("    23", RowNumberText(ring, 39));

    char text[16];
    EXPECT_EQ(10, FormatRowNumber(4294967295u, text));
    EXPECT_EQ(88, LineTextX(10));

    AddLines(ring, 1, 40);
    EXPECT_EQ(24u, ring.FirstLineNumber());
}

TEST(LineRing, ClearAfterAnyNumberOfLinesStartsOver)
{
    const int counts[] = { 0, 1, 39, 40, 41, 79, 80, 123 };
    for (int count : counts) {
        LineRing ring;
        AddLines(ring, 1, count);
        ring.Clear();
        EXPECT_TRUE(AllRowsEmpty(ring)) << count;
        EXPECT_EQ(0u, ring.FirstLineNumber()) << count;
        EXPECT_EQ(0, ring.WriteIndex()) << count;

        LogBand band = ring.Add("next");
        EXPECT_STREQ("next", ring.Row(0)) << count;
        EXPECT_EQ(0, band.top) << count;
    }
}

TEST(LineRing, TheReadmesExampleRowIsOneTheConsoleDraws)
{
    std::ifstream file(CORVANE_SOURCE_DIR "/package/README.txt.in");
    std::string line, before;
    int examples = 0;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (before.find("控制台的日志中出现一行") != std::string::npos ||
            before.find("The console's log shows a line") != std::string::npos) {
            ++examples;
            unsigned row = 0, delta = 0, code = 0;
            int value = 0;
            ASSERT_EQ(4, sscanf(line.c_str(), "%u %u %x %d", &row, &delta, &code, &value)) << line;
            char number[16];
            FormatRowNumber(row, number);
            // The README's indent, the row number, the gap the view leaves, the line.
            EXPECT_EQ("       " + std::string(number) + " " + FormatIncomingLine(delta, code, value, nullptr, nullptr),
                      line);
        }
        before = line;
    }
    EXPECT_EQ(2, examples);
}

} // namespace
