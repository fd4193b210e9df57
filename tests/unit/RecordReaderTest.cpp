#include <stdio.h>

#include <gtest/gtest.h>

#include "formats/RecordReader.h"

namespace {

// A temporary file holding text, at its start.
FILE* FileOf(const std::string& text)
{
    FILE* file = tmpfile();
    if (file != nullptr) {
        fwrite(text.data(), 1, text.size(), file);
        rewind(file);
    }
    return file;
}

std::vector<std::string> ReadAll(RecordReader* reader)
{
    std::vector<std::string> lines;
    RecordedMessage message;
    while (reader->Next(&message))
        lines.push_back(std::to_string(message.line) + ": " + FormatRecordLine(message));
    return lines;
}

const char kSession[] =
    "# velk record 1\r\n"
    "# start 2026-12-08T09:12:03.123Z\n"
    "0.000000 20000801 V -3\n"
    "\n"
    "0.012345 30000201 S 68656c6c6f09776f726c64\r\n"
    "# a comment\n"
    "0.020000 30000402 A 0100ff\n"
    "0.031000 30000203 S -\n";

TEST(RecordReader, ChunkBoundariesChangeNothingAndAPassCanBeRepeated)
{
    const std::vector<std::string> expected = {
        "3: 0.000000 20000801 V -3",
        "5: 0.012345 30000201 S 68656c6c6f09776f726c64",
        "7: 0.020000 30000402 A 0100ff",
        "8: 0.031000 30000203 S -",
    };
    for (size_t chunk : { 1, 2, 7, 64, 4096 }) {
        SCOPED_TRACE(chunk);
        FILE* file = FileOf(kSession);
        ASSERT_TRUE(file != nullptr);
        FILE* copy = tmpfile();
        RecordReader reader(file, "s.txt", chunk);
        reader.CopyTo(copy);
        EXPECT_EQ(expected, ReadAll(&reader));
        EXPECT_EQ(kRecordRead, reader.Outcome());
        EXPECT_EQ("", reader.Error());
        EXPECT_EQ("", reader.Notice());
        // The copy holds every byte; a second pass reads the same.
        ASSERT_EQ(0, fflush(copy));
        RecordReader again(copy, "copy", chunk);
        ASSERT_TRUE(again.Rewind());
        EXPECT_EQ(expected, ReadAll(&again));
        ASSERT_TRUE(reader.Rewind());
        EXPECT_EQ(expected, ReadAll(&reader));
        fclose(copy);
        fclose(file);
    }
}

TEST(RecordReader, AnIncompleteLastLineIsNeverUsed)
{
    // The first 3 of 11 bytes of a string: it parses, but is not what was recorded.
    const std::string lines = "# velk record 1\n0.000000 20000801 V 1\n0.001000 20000801 V 2\n";
    for (const char* torn : { "0.002000 30000201 S 68656c", "0.002000 20000801 V 3\r", "0.00", "#" }) {
        SCOPED_TRACE(torn);
        RecordReader reader(lines + torn, "cut.txt", 5);
        EXPECT_EQ(2u, ReadAll(&reader).size());
        EXPECT_EQ(kRecordRead, reader.Outcome());
        EXPECT_EQ(4u, reader.SkippedLine());
        EXPECT_EQ("cut.txt:4: last line is incomplete (recording cut short?), skipped", reader.Notice());
    }
    RecordParse whole = ParseRecordText(lines);
    EXPECT_EQ(2u, whole.messages.size());
    EXPECT_EQ(0u, whole.skippedLine);
    // A header cut short is still checked as the header.
    EXPECT_EQ(1u, ParseRecordText("# velk record 1").skippedLine);
    EXPECT_EQ(1u, ParseRecordText("# velk rec").errorLine);
}

TEST(RecordReader, WhatIsNoRecordingIsRefusedWithoutReadingOn)
{
    // Zeros, as from /dev/zero: refused at line 1 after one chunk.
    FILE* zeros = FileOf(std::string(1 << 20, '\0'));
    ASSERT_TRUE(zeros != nullptr);
    RecordReader reader(zeros, "zero", 4096);
    RecordedMessage message;
    EXPECT_FALSE(reader.Next(&message));
    EXPECT_EQ(kRecordMalformed, reader.Outcome());
    EXPECT_EQ("zero:1: not a velk recording: the first line must be '# velk record 1'", reader.Error());
    EXPECT_EQ(4096, ftell(zeros));
    fclose(zeros);

    // A line longer than any record line, at the bound and one past it.
    const std::string longest = "#" + std::string(kMaxRecordLineBytes - 1, 'x');
    EXPECT_EQ(0u, ParseRecordText("# velk record 1\n" + longest + "\r\n").errorLine);
    EXPECT_EQ(2u, ParseRecordText("# velk record 1\n" + longest + "x\n").errorLine);
    FILE* endless = FileOf("# velk record 1\n#" + std::string(4 << 20, 'x'));
    ASSERT_TRUE(endless != nullptr);
    RecordReader tooLong(endless, "endless", 4096);
    EXPECT_FALSE(tooLong.Next(&message));
    EXPECT_EQ(2u, tooLong.FaultLine());
    EXPECT_NE(std::string::npos, tooLong.Fault().find("line longer than")) << tooLong.Fault();
    EXPECT_LT(ftell(endless), kMaxRecordLineBytes + 2 * 4096);
    fclose(endless);

    // A file that cannot be read.
    FILE* writeOnly = fopen("/dev/null", "wb");
    ASSERT_TRUE(writeOnly != nullptr);
    RecordReader unreadable(writeOnly, "w");
    EXPECT_FALSE(unreadable.Next(&message));
    EXPECT_EQ(kRecordUnreadable, unreadable.Outcome());
    EXPECT_EQ(0u, unreadable.Error().find("cannot read w: ")) << unreadable.Error();
    fclose(writeOnly);
}

} // namespace
