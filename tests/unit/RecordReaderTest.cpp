#include <stdio.h>

#include <gtest/gtest.h>

#include "formats/RecordReader.h"
#include "tests/unit/TextFile.h"

namespace {

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

TEST(RecordReader, TheExpiredNoteMarksOnlyTheEmptyPayloadRightAfterIt)
{
    const std::string note = std::string(kExpiredNote) + "\n";
    const std::string text = std::string("# velk record 1\n") + note + "0.1 30000402 A -\n"   // expired
                             "0.2 30000402 A -\n"                                            // empty, no note
                             + note + "0.3 30000402 A 01\n"                                  // a payload: not expired
                             "0.4 30000402 A -\n" + note + "0.5 20000801 V 1\n";
    RecordReader reader(text, "e.rec", 7);
    RecordedMessage message;
    std::vector<bool> expired;
    while (reader.Next(&message))
        expired.push_back(message.expired);
    EXPECT_EQ(std::vector<bool>({ true, false, false, false, false }), expired);

    // A note the end left pending marks nothing read after a resume.
    RecordReader pending(std::string("# velk record 1\n0.1 30000402 A -\n") + note, "p.rec", 7);
    ASSERT_TRUE(pending.Next(&message));
    const uint64_t offset = pending.LineOffset();
    EXPECT_FALSE(pending.Next(&message));
    ASSERT_TRUE(pending.Resume(offset, 1, 0));
    ASSERT_TRUE(pending.Next(&message));
    EXPECT_FALSE(message.expired);
}

TEST(RecordReader, AViewerReadsOnPastBadLinesAndResumesAtALinesOffset)
{
    const std::string longLine = "0.5 " + std::string(kMaxRecordLineBytes, '1') + "\n";
    const std::string text = std::string(kSession) +
                             "0.040000 2000080G V 1\r\n"     // line 9: a bad code
                             + longLine +                      // line 10: too long
                             "0.030000 20000801 V 2\n"        // line 11: before the previous line's time
                             "# trigger\r\n"
                             "0.050000 20000801 V 3\r\n"     // line 13
                             "0.060000 20000801 V 4";          // line 14, cut short
    for (size_t chunk : { 1, 7, 4096, 1 << 16 }) {
        SCOPED_TRACE(chunk);
        RecordReader reader(text, "bad.rec", chunk);
        reader.SkipBadLines();
        std::vector<RecordedMessage> messages;
        std::vector<uint64_t> offsets;
        RecordedMessage message;
        while (reader.Next(&message)) {
            messages.push_back(message);
            offsets.push_back(reader.LineOffset());
            EXPECT_EQ(message.line == 13, reader.AfterTriggerMark()) << message.line;
        }
        EXPECT_EQ(kRecordRead, reader.Outcome());
        ASSERT_EQ(5u, messages.size());
        EXPECT_EQ(3u, reader.BadLines());
        EXPECT_EQ(0u, reader.FirstBadLine().find("bad.rec:9: bad code")) << reader.FirstBadLine();
        EXPECT_EQ(0u, reader.LatestBadLine().find("bad.rec:11: time 0.030000 is before")) << reader.LatestBadLine();
        EXPECT_EQ(14u, reader.SkippedLine());
        // Each offset is its line's start, CR LF and comments counted; reading
        // resumed there gives the same messages from there on.
        for (size_t i = 0; i < messages.size(); ++i) {
            ASSERT_EQ(FormatRecordLine(messages[i]), text.substr(offsets[i], FormatRecordLine(messages[i]).size()));
            RecordReader resumed(text, "bad.rec", chunk);
            resumed.SkipBadLines();
            ASSERT_TRUE(resumed.Resume(offsets[i], messages[i].line - 1, i == 0 ? 0 : messages[i - 1].micros));
            std::vector<RecordedMessage> tail;
            while (resumed.Next(&message))
                tail.push_back(message);
            ASSERT_EQ(messages.size() - i, tail.size());
            for (size_t k = 0; k < tail.size(); ++k) {
                EXPECT_EQ(messages[i + k].line, tail[k].line);
                EXPECT_EQ(FormatRecordLine(messages[i + k]), FormatRecordLine(tail[k]));
            }
        }
    }
    // Without SkipBadLines the first bad line still ends the reading; the header is checked either way.
    EXPECT_EQ(9u, ParseRecordText(text).errorLine);
    RecordReader notOne("# velk record 2\n0.1 20000801 V 1\n", "x");
    notOne.SkipBadLines();
    RecordedMessage message;
    EXPECT_FALSE(notOne.Next(&message));
    EXPECT_EQ(kRecordMalformed, notOne.Outcome());
}

} // namespace
