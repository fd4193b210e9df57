#include <stdio.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include "formats/GzipMembers.h"
#include "formats/RecordReader.h"
#include "tests/unit/TextFile.h"

namespace {

// A writer into a string, with its own limits.
struct Compressed {
    std::string bytes;
    GzipMemberWriter writer;
    explicit Compressed(size_t text = kGzipMemberText, uint64_t micros = kGzipMemberMicros)
        : writer([this](const char* data, size_t size) { bytes.append(data, size); return true; }, text, micros)
    {
    }
};

// Where each member of bytes starts in the text they hold, and that text.
std::vector<uint64_t> MemberTexts(const std::string& bytes, std::string* text)
{
    GzipInflater inflater;
    char out[4096];
    for (size_t at = 0; at < bytes.size();) {
        size_t used = 0, wrote = 0;
        EXPECT_TRUE(inflater.Inflate(bytes.data() + at, bytes.size() - at, &used, out, sizeof out, &wrote));
        text->append(out, wrote);
        at += used;
    }
    EXPECT_FALSE(inflater.InMember());
    std::vector<uint64_t> starts;
    for (const GzipMemberMark& mark : inflater.Members())
        starts.push_back(mark.textOffset);
    return starts;
}

// "0.000001 20000801 V 1\n" with the time given: 22 bytes up to 9.999999 s.
std::string Line(uint64_t micros)
{
    RecordedMessage message = { micros, 0x20000801, kValueMessage, 1, "" };
    return FormatRecordLine(message) + "\n";
}

std::vector<std::string> Messages(RecordReader* reader)
{
    std::vector<std::string> lines;
    RecordedMessage message;
    while (reader->Next(&message))
        lines.push_back(FormatRecordLine(message));
    return lines;
}

const char kHead[] = "# velk record 1\n# start 2026-12-08T09:12:03.123Z\n";

} // namespace

TEST(GzipMembers, AMemberEndsAtTheTextLimitOrASecondAndOnlyAtWholeLines)
{
    // 1 MiB of 64-byte lines fills a member exactly; one byte more starts the next.
    const std::string line(63, 'x');
    Compressed full;
    for (int i = 0; i < kGzipMemberText / 64; ++i)
        ASSERT_TRUE(full.writer.Write(line + "\n", 0));
    EXPECT_EQ(full.writer.Members(), 0u);
    ASSERT_TRUE(full.writer.Write("y\n", 0));
    EXPECT_EQ(full.writer.Members(), 1u);
    std::string text;
    EXPECT_EQ(MemberTexts(full.bytes.substr(0, full.writer.EndedBytes()), &text), std::vector<uint64_t>{ 0 });
    EXPECT_EQ(text.size(), static_cast<size_t>(kGzipMemberText));   // the ended member, whole
    ASSERT_TRUE(full.writer.EndMember());
    text.clear();
    EXPECT_EQ(MemberTexts(full.bytes, &text), (std::vector<uint64_t>{ 0, kGzipMemberText }));
    EXPECT_EQ(text.size(), static_cast<size_t>(kGzipMemberText) + 2);

    // A line that would straddle the limit goes whole into the next member.
    Compressed straddle(100);
    ASSERT_TRUE(straddle.writer.Write(std::string(89, 'a') + "\n", 0));
    ASSERT_TRUE(straddle.writer.Write(std::string(10, 'b') + "\n", 0));   // 101 > 100
    ASSERT_TRUE(straddle.writer.Write(std::string(99, 'c') + "\n", 0));   // 111 + 100 > 100 alone? no: 11 + 100
    ASSERT_TRUE(straddle.writer.EndMember());
    text.clear();
    EXPECT_EQ(MemberTexts(straddle.bytes, &text), (std::vector<uint64_t>{ 0, 90, 101 }));

    // Time: a message 999999 us after the member's first stays in it, one
    // at 1 s starts the next; a quiet member is ended at 1 s, not before.
    Compressed timed;
    ASSERT_TRUE(timed.writer.Write(Line(5000000), 5000000));
    ASSERT_TRUE(timed.writer.Write(Line(5999999), 5999999));
    ASSERT_TRUE(timed.writer.Write(Line(6000000), 6000000));
    ASSERT_TRUE(timed.writer.EndOldMember(6999999));
    EXPECT_EQ(timed.writer.Members(), 1u);
    ASSERT_TRUE(timed.writer.EndOldMember(7000000));
    EXPECT_EQ(timed.writer.Members(), 2u);
    ASSERT_TRUE(timed.writer.EndMember());   // none open: no empty member
    EXPECT_EQ(timed.writer.Members(), 2u);
    text.clear();
    EXPECT_EQ(MemberTexts(timed.bytes, &text), (std::vector<uint64_t>{ 0, 2 * Line(0).size() }));
    EXPECT_EQ(text, Line(5000000) + Line(5999999) + Line(6000000));

    for (const char* name : { "a.gz", "night.txt.GZ", "x.Gz" })
        EXPECT_TRUE(NamesCompressedFile(name)) << name;
    for (const char* name : { "a.gz.txt", "agz", "a.tgz", ".gz", "a.g" })
        EXPECT_FALSE(NamesCompressedFile(name)) << name;

    // A sink that fails stops the writer.
    int calls = 0;
    GzipMemberWriter failing([&calls](const char*, size_t) { return ++calls > 1 ? false : true; });
    EXPECT_TRUE(failing.Write("a\n", 0));
    EXPECT_FALSE(failing.EndMember());
    EXPECT_FALSE(failing.Write("b\n", 0));
    EXPECT_TRUE(failing.Failed());
}

TEST(GzipMembers, TheRecordReaderReadsMembersAsPlainTextAndZlibReadsThemWhole)
{
    std::string plain = kHead;
    Compressed file(200, 30000);
    ASSERT_TRUE(file.writer.Write(kHead, 0));
    for (uint64_t micros = 0; micros < 200000; micros += 7001) {
        plain += Line(micros);
        ASSERT_TRUE(file.writer.Write(Line(micros), micros));
    }
    ASSERT_TRUE(file.writer.EndMember());
    ASSERT_GT(file.writer.Members(), 5u);

    RecordReader reference(plain, "plain");
    const std::vector<std::string> expected = Messages(&reference);
    for (size_t chunk : { 1, 7, 65536 }) {
        RecordReader reader(file.bytes, "f.gz", chunk);
        EXPECT_EQ(Messages(&reader), expected) << chunk;
        EXPECT_EQ(reader.Outcome(), kRecordRead);
        EXPECT_EQ(reader.Notice(), "");
    }

    // zlib's own reader takes the members as one stream.
    FILE* stored = FileOf(file.bytes);
    ASSERT_NE(stored, nullptr);
    gzFile gz = gzdopen(dup(fileno(stored)), "rb");
    std::string whole(plain.size() + 10, '\0');
    whole.resize(static_cast<size_t>(gzread(gz, &whole[0], static_cast<unsigned>(whole.size()))));
    gzclose(gz);
    fclose(stored);
    EXPECT_EQ(whole, plain);

    // Members made from any split of the text, even inside a line, read the same.
    for (size_t split = 1; split < plain.size(); split += 13) {
        Compressed two;
        two.writer.Write(plain.substr(0, split), 0);
        two.writer.EndMember();
        two.writer.Write(plain.substr(split), 0);
        two.writer.EndMember();
        RecordReader reader(two.bytes, "two.gz", 64);
        EXPECT_EQ(Messages(&reader), expected) << split;
    }
}

TEST(GzipMembers, ATornLastMemberIsReadToItsLastWholeLineAndSaidOnce)
{
    Compressed file(1 << 20, 50000);
    std::vector<size_t> ends;   // the compressed size after each member
    std::vector<size_t> messages;   // and the messages in those members
    ASSERT_TRUE(file.writer.Write(kHead, 0));
    size_t count = 0;
    for (uint64_t micros = 0; micros < 300000; micros += 9000) {
        // What Write() would do first, so that the sizes fall between members.
        const uint64_t before = file.writer.Members();
        ASSERT_TRUE(file.writer.EndOldMember(micros));
        if (file.writer.Members() != before) {
            ends.push_back(file.bytes.size());
            messages.push_back(count);
        }
        ASSERT_TRUE(file.writer.Write(Line(micros), micros));
        ++count;
    }
    ASSERT_TRUE(file.writer.EndMember());
    ends.push_back(file.bytes.size());
    messages.push_back(count);
    ASSERT_GE(ends.size(), 4u);

    const std::string torn = "f.gz: the last compressed block is incomplete (recording cut short?): "
                             "read to its last whole line";
    for (size_t member = 1; member < ends.size(); ++member) {
        for (size_t cut = ends[member - 1]; cut <= ends[member]; cut += (cut == ends[member - 1] ? 1 : 5)) {
            const size_t at = std::min(cut, ends[member]);
            RecordReader reader(file.bytes.substr(0, at), "f.gz");
            const size_t read = Messages(&reader).size();
            EXPECT_EQ(reader.Outcome(), kRecordRead) << at;
            if (at == ends[member - 1] || at == ends[member]) {
                EXPECT_EQ(read, messages[at == ends[member] ? member : member - 1]) << at;
                EXPECT_EQ(reader.Notice(), "") << at;
            } else {   // cut in its trailer, all its text is there
                EXPECT_GE(read, messages[member - 1]) << at;
                EXPECT_LE(read, messages[member]) << at;
                EXPECT_EQ(read < messages[member], at < ends[member] - 8) << at;
                EXPECT_EQ(reader.Notice(), torn) << at;
            }
        }
    }

    // Nothing, or no recording inside: refused as plain text is.
    RecordReader empty(std::string(), "e.gz");
    EXPECT_FALSE(empty.Next(nullptr));
    EXPECT_EQ(empty.Outcome(), kRecordMalformed);
    Compressed nothing;
    nothing.writer.Write("", 0);
    nothing.writer.EndMember();
    RecordReader hollow(nothing.bytes, "n.gz");
    EXPECT_EQ(Messages(&hollow).size(), 0u);
    EXPECT_EQ(hollow.Outcome(), kRecordMalformed);

    // Bytes after a member that begin none are damage, with where.
    RecordReader trailing(file.bytes.substr(0, ends[0]) + "junk", "f.gz");
    EXPECT_EQ(Messages(&trailing).size(), messages[0]);
    EXPECT_EQ(trailing.Outcome(), kRecordUnreadable);
    EXPECT_EQ(trailing.Error(), "cannot read f.gz: damaged compressed data in the block starting at byte "
                                    + std::to_string(ends[0]));
}

TEST(GzipMembers, TheMemberIndexSeeksToAnyMessage)
{
    Compressed file(1 << 20, 40000);
    ASSERT_TRUE(file.writer.Write(kHead, 0));
    for (uint64_t micros = 0; micros < 250000; micros += 6000)
        ASSERT_TRUE(file.writer.Write(Line(micros), micros));
    ASSERT_TRUE(file.writer.EndMember());
    FILE* stored = FileOf(file.bytes);
    ASSERT_NE(stored, nullptr);

    RecordReader whole(stored, "f.gz", 100);
    std::vector<RecordedMessage> messages;
    std::vector<uint64_t> offsets;
    RecordedMessage message;
    while (whole.Next(&message)) {
        messages.push_back(message);
        offsets.push_back(whole.LineOffset());
    }
    ASSERT_NE(whole.Members(), nullptr);
    const std::vector<GzipMemberMark> index = *whole.Members();
    ASSERT_EQ(index.size(), file.writer.Members());
    // Each member's time is its first message's: the first 40 ms or more
    // after the member before's.
    uint64_t first = 0;
    for (size_t i = 0; i < index.size(); ++i) {
        EXPECT_TRUE(index[i].hasMessage);
        EXPECT_EQ(index[i].firstMicros, first) << i;
        first = (first + 40000 + 5999) / 6000 * 6000;
    }
    EXPECT_EQ(MemberBefore(index, index[2].textOffset), &index[2]);
    EXPECT_EQ(MemberBefore(index, index[2].textOffset - 1), &index[1]);

    // A fresh reader with the index, or without it (from the start), reads
    // on from any message's offset as the whole pass did.
    for (bool indexed : { true, false }) {
        for (size_t i = 0; i < messages.size(); i += 5) {
            RecordReader reader(stored, "f.gz", 100);
            if (indexed)
                reader.UseMembers(index);
            ASSERT_TRUE(reader.Resume(offsets[i], messages[i].line - 1, i == 0 ? 0 : messages[i - 1].micros));
            ASSERT_TRUE(reader.Next(&message));
            EXPECT_EQ(FormatRecordLine(message), FormatRecordLine(messages[i])) << i;
            EXPECT_EQ(message.line, messages[i].line);
            EXPECT_EQ(reader.LineOffset(), offsets[i]);
            if (indexed) {
                EXPECT_EQ(reader.Members()->size(), index.size());
            }
        }
    }
    fclose(stored);
}
