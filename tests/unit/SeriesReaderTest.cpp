#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/FormatText.h"
#include "formats/GzipMembers.h"
#include "formats/RecordLine.h"
#include "formats/RecordParts.h"
#include "formats/SeriesFiles.h"
#include "formats/SeriesReader.h"
#include "TextFile.h"

namespace {

// Folders of names held in memory.
class FakeFolders : public FolderView {
public:
    std::map<std::string, std::vector<std::string>> folders;   // "logs/" -> names
    Kind KindOf(const std::string& path) const override
    {
        if (folders.count(path + "/") != 0 || (path.back() == '/' && folders.count(path) != 0))
            return kFolder;
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const auto in = folders.find(folder);
        if (in == folders.end())
            return kMissing;
        for (const std::string& name : in->second) {
            if (folder + name == path)
                return kFile;
        }
        return kMissing;
    }
    bool Names(const std::string& folder, std::vector<std::string>* names, std::string* why) const override
    {
        const auto in = folders.find(folder);
        if (in == folders.end()) {
            *why = "no such folder";
            return false;
        }
        *names = in->second;
        return true;
    }
};

std::vector<std::string> Found(const FakeFolders& view, const std::string& named, std::string* error = nullptr)
{
    std::vector<std::string> files;
    std::string why;
    if (!FindRecordingFiles(named, view, &files, &why))
        files = { "error: " + why };
    if (error != nullptr)
        *error = why;
    return files;
}

const WallTime kSeriesStart = { 1765000000000000, 480 };

// A part as record --split writes it: header, start, part line, lines timed from its start.
std::string Part(unsigned number, uint64_t seriesMicros, const std::vector<std::string>& lines,
                 const WallTime& seriesStart = kSeriesStart)
{
    WallTime start = seriesStart;
    start.utcMicros += static_cast<int64_t>(seriesMicros);
    std::string text = std::string(kRecordHeader) + "\n" + FormatStartLine(start) + "\n" +
                       FormatPartLine(number, seriesMicros, seriesStart) + "\n";
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

struct Reading {
    std::vector<uint64_t> micros;
    std::vector<uint64_t> lines;
    RecordReadOutcome outcome;
    std::string error, notice;
};

Reading ReadAll(SeriesReader* reader)
{
    Reading read;
    RecordedMessage message;
    while (reader->Next(&message)) {
        read.micros.push_back(message.micros);
        read.lines.push_back(message.line);
    }
    read.outcome = reader->Outcome();
    read.error = reader->Error();
    read.notice = reader->Notice();
    return read;
}

// Parts held as texts, opened as temporary files.
Reading ReadParts(const std::map<std::string, std::string>& texts, const std::vector<std::string>& order,
                  WallTime* start = nullptr, uint64_t from = 0, uint64_t to = UINT64_MAX)
{
    SeriesReader reader(order,
        [&texts](const std::string& path, std::string* why) -> FILE* {
            const auto found = texts.find(path);
            if (found == texts.end()) {
                *why = "No such file or directory";
                return nullptr;
            }
            return FileOf(found->second);
        },
        [](const std::string& path) { return path; });
    reader.Window(from, to);
    Reading read = ReadAll(&reader);
    if (start != nullptr) {
        EXPECT_TRUE(reader.Start(start));
    }
    return read;
}

} // namespace

TEST(SeriesFiles, AFirstPartAGlobOrAFolderNamesTheSeriesInTheOrderOfItsNumbers)
{
    FakeFolders view;
    // Part 0002 is missing; 10000 comes after 9999, not after 1000 as names sort.
    view.folders["logs/"] = { "run-10000.txt.gz", "run-0001.txt.gz", "run-9999.txt.gz", "run-0003.txt.gz",
                              "notes.txt", "run-0003.txt" };
    view.folders[""] = { "solo.txt", "other-0001.txt" };
    const std::vector<std::string> all = { "logs/run-0001.txt.gz", "logs/run-0003.txt.gz", "logs/run-9999.txt.gz",
                                           "logs/run-10000.txt.gz" };
    EXPECT_EQ(Found(view, "logs/run-0001.txt.gz"), all);
    EXPECT_EQ(Found(view, "logs/run.txt.gz"), all);            // the FILE record was given
    EXPECT_EQ(Found(view, "logs/run-*.TXT.gz"), all);           // letters in either case
    EXPECT_EQ(Found(view, "logs/run-9999.txt.gz"),
              (std::vector<std::string>{ "logs/run-9999.txt.gz", "logs/run-10000.txt.gz" }));
    EXPECT_EQ(Found(view, "logs/run-10000.txt.gz"), std::vector<std::string>{ "logs/run-10000.txt.gz" });
    // Files that are no series' parts come by name.
    EXPECT_EQ(Found(view, "logs/*.txt"), (std::vector<std::string>{ "logs/notes.txt", "logs/run-0003.txt" }));
    EXPECT_EQ(Found(view, "solo.txt"), std::vector<std::string>{ "solo.txt" });
    EXPECT_EQ(Found(view, "gone.txt"), std::vector<std::string>{ "gone.txt" });   // opening it says why
    EXPECT_EQ(Found(view, "-"), std::vector<std::string>{ "-" });
    EXPECT_EQ(Found(view, "logs/run-000?.txt.gz"),
              (std::vector<std::string>{ "logs/run-0001.txt.gz", "logs/run-0003.txt.gz" }));

    std::string error;
    EXPECT_EQ(Found(view, "logs/*.csv", &error).size(), 1u);
    EXPECT_EQ(error, "no file matches 'logs/*.csv'");
    Found(view, "missing/*.txt", &error);
    EXPECT_EQ(error, "cannot list 'missing/': no such folder");
    // A folder of two series is not guessed at; one of one series opens it.
    Found(view, "logs", &error);
    EXPECT_EQ(error, "'logs' holds 2 recordings in parts: name the first part of one");
    view.folders["one/"] = { "a-0002.txt", "readme", "a-0001.txt" };
    view.folders["none/"] = { "readme" };
    EXPECT_EQ(Found(view, "one"), (std::vector<std::string>{ "one/a-0001.txt", "one/a-0002.txt" }));
    Found(view, "none/", &error);
    EXPECT_EQ(error, "'none/' holds no recording in parts");

    EXPECT_TRUE(MatchesWildcard("*", ""));
    EXPECT_TRUE(MatchesWildcard("a*b*c", "aXbYbc"));
    EXPECT_FALSE(MatchesWildcard("a*b", "aXbc"));
    EXPECT_FALSE(MatchesWildcard("?", ""));
    EXPECT_FALSE(MatchesWildcard("", "a"));
}

TEST(SeriesFiles, APartLineReadsBackAtTheEndsOfItsNumbers)
{
    for (unsigned number : { 1u, 9999u, 10000u, static_cast<unsigned>(kMaxPartNumber) }) {
        PartLine part;
        ASSERT_TRUE(ParsePartLine(FormatPartLine(number, 3600000123, kSeriesStart), &part)) << number;
        EXPECT_EQ(part.number, number);
        EXPECT_EQ(part.seriesMicros, 3600000123u);
        EXPECT_EQ(part.seriesStart.utcMicros, kSeriesStart.utcMicros);
        EXPECT_EQ(part.seriesStart.offsetMinutes, 480);
    }
    PartLine part;
    const std::string good = FormatPartLine(2, 5000000, kSeriesStart);
    EXPECT_FALSE(ParsePartLine("# part 0, 1.000000 s into the series started 2026-12-08T17:12:03.123+08:00", &part));
    EXPECT_FALSE(ParsePartLine("# part 1000000, 1.000000 s into the series started 2026-12-08T17:12:03.123+08:00",
                               &part));
    EXPECT_FALSE(ParsePartLine("# part 2, 1.00000 s into the series started 2026-12-08T17:12:03.123+08:00", &part));
    EXPECT_FALSE(ParsePartLine(good.substr(0, good.size() - 1), &part));
    EXPECT_FALSE(ParsePartLine("# start 2026-12-08T17:12:03.123+08:00", &part));
}

TEST(SeriesReader, PartsReadAsOneRecordingOnOneTimeAxisWithTheirGaps)
{
    std::map<std::string, std::string> texts;
    texts["r-0001.txt"] = Part(1, 0, { "0.500000 20000801 V 1", "3599.000000 20000801 V 2" });
    // Part 2 is gone: part 3 starts two hours in, its times from there.
    texts["r-0003.txt"] = Part(3, 7200000000, { "0.000000 20000801 V 3", "1.250000 20000801 V 4" });
    WallTime start;
    Reading read = ReadParts(texts, { "r-0001.txt", "r-0003.txt" }, &start);
    EXPECT_EQ(read.outcome, kRecordRead) << read.error;
    EXPECT_EQ(read.micros, (std::vector<uint64_t>{ 500000, 3599000000, 7200000000, 7201250000 }));
    EXPECT_EQ(read.lines, (std::vector<uint64_t>{ 4, 5, 4, 5 }));   // each part's own line numbers
    EXPECT_EQ(start.utcMicros, kSeriesStart.utcMicros);

    // The oldest parts deleted by --keep: the axis is still the series'.
    read = ReadParts(texts, { "r-0003.txt" }, &start);
    EXPECT_EQ(read.micros, (std::vector<uint64_t>{ 7200000000, 7201250000 }));
    EXPECT_EQ(start.utcMicros, kSeriesStart.utcMicros);

    // A window of the series: the parts before it are not even opened (r-0002 is not there).
    read = ReadParts(texts, { "r-0002.txt", "r-0001.txt", "r-0003.txt" }, nullptr, 7200000001, 7201250000);
    EXPECT_EQ(read.outcome, kRecordRead) << read.error;
    EXPECT_EQ(read.micros, std::vector<uint64_t>{ 7201250000 });
    read = ReadParts(texts, { "r-0001.txt", "r-0003.txt" }, nullptr, 3599000000, 7200000000);
    EXPECT_EQ(read.micros, (std::vector<uint64_t>{ 3599000000, 7200000000 }));   // both ends inside

    // Compressed parts and plain ones, a torn last member said once for its part.
    std::string gz;
    GzipMemberWriter writer([&gz](const char* bytes, size_t size) {
        gz.append(bytes, size);
        return true;
    });
    writer.Write(Part(4, 7300000000, { "0.100000 20000801 V 5" }), 0);
    writer.EndMember();
    writer.Write("0.200000 20000801 V 6\n", 200000);
    writer.EndMember();
    texts["r-0004.txt.gz"] = gz.substr(0, gz.size() - 4);
    read = ReadParts(texts, { "r-0001.txt", "r-0003.txt", "r-0004.txt.gz" });
    EXPECT_EQ(read.outcome, kRecordRead) << read.error;
    ASSERT_EQ(read.micros.size(), 6u);
    EXPECT_EQ(read.micros[4], 7300100000u);
    EXPECT_EQ(read.micros[5], 7300200000u);
    EXPECT_NE(read.notice.find("r-0004.txt.gz: the last compressed block is incomplete"), std::string::npos)
        << read.notice;

    // Recordings of their own (triggered files): placed by their start lines.
    WallTime later = kSeriesStart;
    later.utcMicros += 60000000;
    texts["t-1.txt"] = std::string(kRecordHeader) + "\n" + FormatStartLine(kSeriesStart) + "\n1.000000 00000001 V 1\n";
    texts["t-2.txt"] = std::string(kRecordHeader) + "\n" + FormatStartLine(later) + "\n1.000000 00000001 V 1\n";
    read = ReadParts(texts, { "t-1.txt", "t-2.txt" });
    EXPECT_EQ(read.micros, (std::vector<uint64_t>{ 1000000, 61000000 }));
}

TEST(SeriesReader, WhatDoesNotJoinIsAFaultNamingThePart)
{
    std::map<std::string, std::string> texts;
    texts["r-0001.txt"] = Part(1, 0, { "0.500000 20000801 V 1", "10.000000 20000801 V 2" });
    // A part left from another run in the same name.
    WallTime other = kSeriesStart;
    other.utcMicros -= 86400000000;
    texts["r-0002.txt"] = Part(2, 5000000, { "0.000000 20000801 V 3" }, other);
    Reading read = ReadParts(texts, { "r-0001.txt", "r-0002.txt" });
    EXPECT_EQ(read.outcome, kRecordUnreadable);
    EXPECT_EQ(read.micros.size(), 2u);
    EXPECT_EQ(read.error.find("cannot read r-0002.txt: it is a part of another recording"), 0u) << read.error;

    // Of the same series but before the previous part's last message.
    texts["r-0002.txt"] = Part(2, 5000000, { "4.000000 20000801 V 3", "6.000000 20000801 V 3" });
    read = ReadParts(texts, { "r-0001.txt", "r-0002.txt" });
    EXPECT_EQ(read.outcome, kRecordMalformed);
    EXPECT_EQ(read.error, "r-0002.txt:4: time 9.000000 is before the last of r-0001.txt, 10.000000");
    texts["r-0002.txt"] = Part(2, 10000000, { "0.000000 20000801 V 3" });   // the same time is in order
    EXPECT_EQ(ReadParts(texts, { "r-0001.txt", "r-0002.txt" }).outcome, kRecordRead);

    // A part gone between the listing and the reading; a bad line in a later part.
    read = ReadParts(texts, { "r-0001.txt", "r-0009.txt" });
    EXPECT_EQ(read.outcome, kRecordUnreadable);
    EXPECT_EQ(read.error, "cannot open r-0009.txt: No such file or directory");
    texts["r-0002.txt"] = Part(2, 10000000, { "0.000000 20000801 Q 3" });
    read = ReadParts(texts, { "r-0001.txt", "r-0002.txt" });
    EXPECT_EQ(read.outcome, kRecordMalformed);
    EXPECT_EQ(read.error.find("r-0002.txt:4: "), 0u) << read.error;
}

TEST(SeriesReader, FileBytesReadCountsThePartsAsOnDisk)
{
    // A plain part, then a compressed one of text that packs to a small
    // fraction of itself: a progress in text bytes would run far past the
    // files' size.
    std::map<std::string, std::string> files;
    files["r-0001.txt"] = Part(1, 0, { "0.500000 20000801 V 1", "1.000000 20000801 V 2" });
    std::string gz;
    {
        GzipMemberWriter writer([&gz](const char* bytes, size_t size) {
            gz.append(bytes, size);
            return true;
        }, 16384);
        writer.Write(Part(2, 2000000, {}), 0);
        for (uint64_t n = 0; n < 5000; ++n)
            writer.Write(FormatText("%llu.%06llu 20000801 V 7\n", static_cast<unsigned long long>(n / 1000),
                                    static_cast<unsigned long long>(n % 1000 * 1000)), n * 1000);
        writer.EndMember();
    }
    files["r-0002.txt.gz"] = gz;
    const uint64_t total = files["r-0001.txt"].size() + gz.size();
    SeriesReader reader({ "r-0001.txt", "r-0002.txt.gz" },
                        [&files](const std::string& path, std::string*) { return FileOf(files[path]); },
                        [](const std::string& path) { return path; });
    RecordedMessage message;
    uint64_t read = 0, messages = 0;
    bool climbs = true;
    while (reader.Next(&message)) {
        climbs = climbs && reader.FileBytesRead() >= read && reader.FileBytesRead() <= total;
        read = reader.FileBytesRead();
        if (++messages == 3) {   // the compressed part's first: the plain one counted whole
            EXPECT_GT(read, files["r-0001.txt"].size());
            EXPECT_LT(read, total);
        }
    }
    EXPECT_EQ(kRecordRead, reader.Outcome()) << reader.Error();
    EXPECT_EQ(5002u, messages);
    EXPECT_TRUE(climbs);
    EXPECT_EQ(total, reader.FileBytesRead());
    EXPECT_GT(reader.PartBytes() + reader.LineOffset(), 5 * total);   // the text, for the index's costs
}

namespace {

// A compressed part 1 of 20,000 messages a millisecond apart (40 at 10.000 s,
// spanning members), members of about 200 bytes; bad: the text of line
// badLine + 3 replaced by a bad one. *windowMember: where the member holding
// the message at 15.000 s and a bad line after it (when badAt15) starts.
std::string CompressedPart(uint64_t badLine, bool badAt15 = false, uint64_t* windowMember = nullptr)
{
    std::string gz;
    GzipMemberWriter writer([&gz](const char* bytes, size_t size) {
        gz.append(bytes, size);
        return true;
    }, 200);
    writer.Write(Part(1, 0, {}), 0);
    writer.EndMember();
    for (uint64_t i = 0; i < 20000; ++i) {
        const uint64_t micros = i >= 10000 && i < 10040 ? 10000000 : i * 1000;
        RecordedMessage message = { micros, 0x20000801, kValueMessage, static_cast<int32_t>(i), "" };
        const bool window = badAt15 && micros == 15000000;
        if (window) {
            writer.EndMember();
            if (windowMember != nullptr)
                *windowMember = gz.size();
        }
        writer.Write(i == badLine ? "1.000000 20000801 Q 1\n" : FormatRecordLine(message) + "\n", micros);
        if (window) {
            writer.Write("15.000000 20000801 Q 1\n", micros);
            writer.EndMember();
        }
    }
    writer.EndMember();
    return gz;
}

} // namespace

TEST(SeriesReader, AWindowEntersACompressedPartAtAMemberBeforeItsStart)
{
    std::map<std::string, std::string> texts;
    texts["r-0001.txt.gz"] = CompressedPart(UINT64_MAX);
    Reading whole = ReadParts(texts, { "r-0001.txt.gz" });
    ASSERT_EQ(whole.outcome, kRecordRead) << whole.error;
    ASSERT_EQ(whole.micros.size(), 20000u);
    ASSERT_GT(texts["r-0001.txt.gz"].size(), 3u * 64 * 1024);   // past the search's reading span
    // The window's messages exactly, whatever member the reading enters at:
    // the 40 at 10.000 s span members, and each end is inside.
    for (uint64_t from : { uint64_t(0), uint64_t(5000), uint64_t(9999000), uint64_t(10000000), uint64_t(10001000),
                           uint64_t(19999000) }) {
        Reading read = ReadParts(texts, { "r-0001.txt.gz" }, nullptr, from, from + 2000000);
        std::vector<uint64_t> expected;
        for (uint64_t micros : whole.micros) {
            if (micros >= from && micros <= from + 2000000)
                expected.push_back(micros);
        }
        EXPECT_EQ(read.outcome, kRecordRead) << read.error;
        EXPECT_EQ(read.micros, expected) << from;
    }
    // The members before it are not read: a bad line at 1 s stops the whole
    // reading, not the window's; one in the window is named by its block.
    texts["r-0001.txt.gz"] = CompressedPart(1000);
    EXPECT_EQ(ReadParts(texts, { "r-0001.txt.gz" }).error, "r-0001.txt.gz:1004: bad kind 'Q': expected V, S or A");
    EXPECT_EQ(ReadParts(texts, { "r-0001.txt.gz" }, nullptr, 12000000).micros.size(), 8000u);
    uint64_t member = 0;
    texts["r-0001.txt.gz"] = CompressedPart(UINT64_MAX, true, &member);
    Reading read = ReadParts(texts, { "r-0001.txt.gz" }, nullptr, 15000001);
    EXPECT_EQ(read.outcome, kRecordMalformed);
    EXPECT_EQ(read.error, "r-0001.txt.gz from the block at byte " + std::to_string(member) +
                              ":2: bad kind 'Q': expected V, S or A");
}
