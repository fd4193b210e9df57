// velkscope's analysis engine: the summary pyramid at its edges, the offset
// index and the stretches read again through it, the value in force at a
// cursor, the statistics between cursors, and the bus's history.
#include <stdio.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "formats/GzipMembers.h"
#include "formats/RecordParts.h"
#include "formats/RecordReader.h"
#include "formats/SeriesReader.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"
#include "tests/unit/TextFile.h"
#include "velkscope/History.h"
#include "velkscope/OffsetIndex.h"
#include "velkscope/RecordingBudget.h"
#include "velkscope/Readout.h"
#include "velkscope/RecordingPass.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/Summary.h"

namespace {

// Every sample of a trace, the way a brute force sees it.
struct Point {
    int64_t micros;
    double value;
};

TEST(Summary, EveryExtremeSurvivesEveryLevelAndBucketsSplitWhereTheySay)
{
    // 200,000 samples 1 us apart, a slow saw, one spike each way in the middle.
    Summary summary;
    const size_t trace = summary.AddTrace();
    const int64_t count = 200000, spike = 123457;
    for (int64_t t = 0; t < count; ++t)
        summary.Add(trace, t, t == spike ? 1e9 : t == spike + 1 ? -1e9 : static_cast<double>(t % 100));
    for (size_t width : { 1, 3, 10, 640, 1280, 4096, 200000 }) {
        SCOPED_TRACE(width);
        bool coarse = true;
        std::vector<Column> columns = summary.Columns(trace, 0, count, width, &coarse);
        EXPECT_FALSE(coarse);
        // In its column, or half a column either side at most.
        const size_t at = static_cast<size_t>(static_cast<double>(spike) * static_cast<double>(width) / count);
        const size_t low = at == 0 ? 0 : at - 1, high = std::min(at + 2, width);
        double most = 0, least = 0;
        uint64_t samples = 0;
        for (size_t p = 0; p < width; ++p) {
            samples += columns[p].count;
            if (p >= low && p < high) {
                most = std::max(most, columns[p].max);
                least = std::min(least, columns[p].min);
            } else {
                EXPECT_LE(columns[p].max, 99) << p;
            }
        }
        EXPECT_EQ(1e9, most);
        EXPECT_EQ(-1e9, least);
        EXPECT_EQ(static_cast<uint64_t>(count), samples);   // none twice, none lost
        EXPECT_EQ(0, columns.front().first);                 // the first sample
        EXPECT_EQ((count - 1) % 100, columns.back().last);   // the last
    }
    // A view narrower than a base bucket says so, and still draws its bucket.
    Summary coarse(64 << 10);
    const size_t wide = coarse.AddTrace();
    for (int64_t t = 0; t < count; ++t)
        coarse.Add(wide, t * 10, t == spike ? 1e9 : 1);
    ASSERT_GT(coarse.BaseWidth(), 1);
    EXPECT_LE(coarse.Bytes(), static_cast<size_t>(64 << 10));
    EXPECT_EQ(static_cast<uint64_t>(count), coarse.Samples(wide));
    bool isCoarse = false;
    std::vector<Column> close = coarse.Columns(wide, spike * 10 - 5, spike * 10 + 5, 100, &isCoarse);
    EXPECT_TRUE(isCoarse);
    EXPECT_EQ(1e9, close[50].max);
    // A bucket boundary: a sample exactly at a bucket's start is that bucket's.
    const int64_t base = coarse.BaseWidth();
    SummaryBucket bucket;
    int64_t start = 0, end = 0;
    ASSERT_TRUE(coarse.LastBucketAtOrBefore(wide, 7 * base, &bucket, &start, &end));
    EXPECT_EQ(7 * base, start);
    EXPECT_EQ(8 * base, end);
    EXPECT_FALSE(coarse.LastBucketAtOrBefore(wide, -1, &bucket, &start, &end));
    ASSERT_TRUE(coarse.LastBucketAtOrBefore(wide, count * 100, &bucket, &start, &end));
    EXPECT_EQ(1, bucket.last);   // past the end: the last bucket
    EXPECT_EQ((count - 1) * 10 / base, bucket.index);
}

// The buckets widen once they take more than the budget, not at it, and
// stop widening as soon as they take half of it, exactly.
TEST(Summary, TheBucketsWidenPastTheBudgetDownToHalfOfIt)
{
    const size_t bucket = sizeof(SummaryBucket);
    Summary two(2 * bucket, 1);
    const size_t trace = two.AddTrace();
    for (int64_t t = 0; t < 3; ++t)
        two.Add(trace, t, 1);
    EXPECT_EQ(2 * bucket, two.Bytes());   // two closed, at the budget
    EXPECT_EQ(1, two.BaseWidth());
    two.Add(trace, 3, 1);                 // a third: past it, widened to one bucket
    EXPECT_EQ(4, two.BaseWidth());
    EXPECT_EQ(bucket, two.Bytes());

    // A smaller budget: from 12 buckets to 6, half of the new budget.
    Summary twelve(kSummaryBudgetBytes, 1);
    const size_t only = twelve.AddTrace();
    for (int64_t t = 0; t < 12; ++t)
        twelve.Add(only, t, 1);
    twelve.SetBudget(12 * bucket);
    EXPECT_EQ(2, twelve.BaseWidth());
    EXPECT_EQ(6 * bucket, twelve.Bytes());
}

TEST(Summary, WholeBucketStatisticsAgreeWithEverySample)
{
    Summary summary(16 << 10);   // small: the base widens, the levels fill
    const size_t trace = summary.AddTrace();
    std::vector<Point> points;
    uint32_t random = 12345;
    int64_t t = 0;
    for (int i = 0; i < 50000; ++i) {
        random = random * 1103515245 + 12345;
        t += 1 + (random >> 16) % 50;
        const double value = static_cast<double>(static_cast<int>((random >> 8) % 2001) - 1000);
        summary.Add(trace, t, value);
        points.push_back({ t, value });
    }
    const int64_t base = summary.BaseWidth();
    for (int k = 0; k < 200; ++k) {
        random = random * 1103515245 + 12345;
        const int64_t a = (random >> 4) % t, b = a + (random >> 2) % (t - a + 1);
        TraceStats brute;
        const int64_t low = (a / base + 1) * base, high = (b / base) * base;   // the whole buckets
        for (const Point& point : points) {
            if (point.micros >= low && point.micros < high)
                brute.Add(point.value);
        }
        const TraceStats stats = summary.WholeBucketStats(trace, a, b);
        ASSERT_EQ(brute.count, stats.count) << a << " " << b;
        if (brute.count != 0) {
            EXPECT_EQ(brute.min, stats.min);
            EXPECT_EQ(brute.max, stats.max);
            EXPECT_DOUBLE_EQ(brute.sum, stats.sum);
        }
    }
}

const char kRecording[] =
    "# velk record 1\r\n"
    "# start 2026-12-08T09:12:03.123+08:00\r\n"
    "0.000000 20000801 V 100\r\n"
    "# a comment\n"
    "\n";

// A recording with CR LF and comments between the lines: a value code every
// 3 us, an array code every 7 us, a sparse code twice, a trigger mark and
// one bad line, so the marks fall anywhere.
std::string LongRecording(std::vector<RecordedMessage>* messages)
{
    std::string text = kRecording;
    RecordedMessage first;
    first.micros = 0;
    first.code = 0x20000801;
    first.kind = kValueMessage;
    first.value = 100;
    messages->push_back(first);
    for (uint64_t t = 1; t < 60000; ++t) {
        RecordedMessage message;
        message.micros = t;
        message.value = 0;
        if (t % 3 == 0) {
            message.code = 0x20001001;
            message.kind = kValueMessage;
            message.value = static_cast<int32_t>((t * 7919) % 1000) - 500;
        } else if (t % 7 == 0) {
            message.code = 0x30000401;
            message.kind = kArrayPayload;
            message.bytes = std::string(1, static_cast<char>(t % 251)) + "\x01";
        } else if (t == 5 || t == 40001) {
            message.code = 0x20000802;
            message.kind = kValueMessage;
            message.value = static_cast<int32_t>(t);
        } else {
            continue;
        }
        if (t == 40001)
            text += "# trigger\n";
        if (t == 20001)
            text += "0.020000 2000100G V 1\r\n";   // bad: passed over
        if (t % 1000 == 1)
            text += "# comment\r\n";
        text += FormatRecordLine(message) + (t % 2 == 0 ? "\r\n" : "\n");
        messages->push_back(message);
        // A burst longer than the index's step, all at one time: a mark falls inside it.
        for (int k = 0; t == 30000 && k < 3000; ++k) {
            message.value = k;
            text += FormatRecordLine(message) + "\n";
            messages->push_back(message);
        }
    }
    return text;
}

// A model with one recording read through its pass, and the reader of its stretches.
struct OpenRecording {
    ScopeModel model;
    FILE* file;
    std::vector<StretchReader> readers;

    OpenRecording(const std::string& text, size_t budget) : model(10000000, kArrayFirstByte, budget), file(FileOf(text))
    {
        const size_t source = model.AddRecording("long.rec", "long.rec", text.size());
        RecordingPass pass(file, "long.rec", nullptr, SignalCodePages{ &kGbk, &kUtf8 }, kArrayFirstByte);
        while (!pass.Done()) {
            PassBatch batch = pass.Next(4000);
            model.ApplyBatch(source, &batch);
        }
        FILE* again = FileOf(text);
        files.push_back(again);
        readers.push_back([](uint64_t, uint64_t, const std::function<bool(const RecordedMessage&)>&) {});
        readers.push_back([this, again](uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) {
            std::string error;
            EXPECT_TRUE(ReadRecordStretch(again, "long.rec", model.Sources()[1]->index, from, to, visit, &error)) << error;
        });
    }
    ~OpenRecording()
    {
        fclose(file);
        for (FILE* f : files)
            fclose(f);
    }
    std::vector<FILE*> files;
};

// A recording of `codes` codes, one message each, then `bad` bad lines.
std::string ManyCodes(uint32_t codes, size_t bad)
{
    std::string text = "# velk record 1\n";
    char line[64];
    for (uint32_t i = 0; i < codes; ++i) {
        snprintf(line, sizeof line, "%u.%06u %08x V %u\n", i / 1000, i % 1000 * 1000, 0x20001000u | (i & 0xFF) | ((i >> 8) << 16), i);
        text += line;
    }
    for (size_t i = 0; i < bad; ++i)
        text += "1.0 2000100G V 1\n";
    return text;
}

TEST(RecordingPass, ABatchCostsTheSameHoweverManyCodesOrBadLinesCameBefore)
{
    // Codes past the table are counted, not kept: the pass's table and
    // each batch stay within kMaxCodes however many codes the file has.
    const uint32_t codes = kMaxCodes + 3000;
    FILE* file = FileOf(ManyCodes(codes, RecordingPass::kBatchLines + 10));
    ScopeModel model(10000000, kArrayFirstByte);
    const size_t source = model.AddRecording("codes.rec", "codes.rec", 0);
    RecordingPass pass(file, "codes.rec", nullptr, SignalCodePages{ &kGbk, &kUtf8 }, kArrayFirstByte);
    PassBatch first = pass.Next(codes);
    EXPECT_EQ(kMaxCodes, first.latest.size());
    EXPECT_EQ(codes - kMaxCodes, first.unlisted);
    EXPECT_EQ(kMaxCodes, first.samples.size());
    EXPECT_FALSE(first.done);
    model.ApplyBatch(source, &first);
    EXPECT_EQ(kMaxCodes, model.Sources()[source]->data.Rows().size());
    EXPECT_EQ(codes - kMaxCodes, model.Sources()[source]->data.Unlisted());
    EXPECT_EQ(codes, model.Sources()[source]->data.Received());
    // Bad lines count toward a batch: the next one ends after kBatchLines
    // lines with no message, unfinished, and the one after reads the rest.
    PassBatch bad = pass.Next(4096);
    EXPECT_FALSE(bad.done);
    EXPECT_EQ(0u, bad.latest.size());
    EXPECT_EQ(static_cast<uint64_t>(RecordingPass::kBatchLines), bad.badLines);
    PassBatch last = pass.Next(4096);
    EXPECT_TRUE(last.done);
    EXPECT_EQ(RecordingPass::kBatchLines + 10u, last.badLines);
    fclose(file);

    // A message of many traces: a batch ends at kBatchSamples samples.
    SignalDatabase rig;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile("[[message]]\ncode = \"30000401\"\nname = \"pump\"\n"
                               "[[message.field]]\nname = \"a\"\nbyte = 0\ntype = \"u8\"\n"
                               "[[message.field]]\nname = \"b\"\nbyte = 1\ntype = \"u8\"\n",
                               "pump.toml", &rig, &errors));
    std::string wide = "# velk record 1\n";
    for (size_t i = 0; i < RecordingPass::kBatchSamples / 2 + 5; ++i)
        wide += "0.000001 30000401 A 0102\n";
    file = FileOf(wide);
    RecordingPass samples(file, "wide.rec", &rig, SignalCodePages{ &kGbk, &kUtf8 }, kArrayFirstByte);
    EXPECT_EQ(static_cast<size_t>(RecordingPass::kBatchSamples), samples.Next(1 << 20).samples.size());
    EXPECT_EQ(10u, samples.Next(1 << 20).samples.size());
    fclose(file);
}

TEST(RecordingBudget, TheRecordingsShareOneBudgetAndTheSeventeenthIsRefused)
{
    EXPECT_EQ(static_cast<size_t>(kSummaryBudgetBytes), RecordingSummaryBudget(1));
    for (size_t n = 1; n <= kMaxRecordings; ++n) {
        // Each summary's buckets with their vectors' room (twice the budget) and the fixed part.
        EXPECT_LE(n * (2 * RecordingSummaryBudget(n) + kRecordingFixedBytes), static_cast<size_t>(kRecordingsBudgetBytes)) << n;
        EXPECT_GT(RecordingSummaryBudget(n), 0u) << n;
        EXPECT_LE(RecordingSummaryBudget(n + 1), RecordingSummaryBudget(n)) << n;
    }
    std::string why;
    EXPECT_TRUE(RoomForRecording(kMaxRecordings - 1, &why));
    EXPECT_FALSE(RoomForRecording(kMaxRecordings, &why));
    EXPECT_EQ("at most 16 recordings are opened at once", why);

    // Opening one more makes the others' summaries smaller at once.
    ScopeModel model(10000000, kArrayFirstByte);
    model.AddRecording("a.rec", "a.rec", 0);
    EXPECT_EQ(RecordingSummaryBudget(1), model.Sources()[1]->data.Summaries().Budget());
    model.AddRecording("b.rec", "b.rec", 0);
    EXPECT_EQ(RecordingSummaryBudget(2), model.Sources()[1]->data.Summaries().Budget());
    EXPECT_EQ(RecordingSummaryBudget(2), model.Sources()[2]->data.Summaries().Budget());

    // A smaller budget: the buckets coarsen to half of it at once and the
    // vectors' room goes with them; every sample and the spike stay.
    std::string text = "# velk record 1\n";
    char line[64];
    for (int i = 0; i < 200000; ++i) {
        snprintf(line, sizeof line, "%d.%06d 20001001 V %d\n", i / 1000, i % 1000 * 1000, i == 123457 ? 1000000 : i % 7);
        text += line;
    }
    const size_t budget = 400000;
    OpenRecording one(text, budget);
    const Summary& summary = one.model.Sources()[1]->data.Summaries();
    const int64_t width = summary.BaseWidth();
    ASSERT_GT(summary.Bytes(), budget / 8);
    one.model.MutableSource(1).data.SetBudget(budget / 8);
    EXPECT_LE(summary.Bytes(), budget / 16);
    EXPECT_LE(summary.RoomBytes(), budget / 4);
    EXPECT_GT(summary.BaseWidth(), width);
    EXPECT_EQ(200000u, summary.Samples(0));
    bool coarse = false;
    const std::vector<Column> all = summary.Columns(0, 0, 200000000, 10, &coarse);
    double most = 0;
    for (const Column& column : all)
        most = std::max(most, column.count != 0 ? column.max : 0.0);
    EXPECT_EQ(1000000, most);   // the spike survives the coarsening
}

TEST(OffsetIndex, MarksStartLinesAndAStretchReadsWhatTheWholeFileHolds)
{
    std::vector<RecordedMessage> expected;
    const std::string text = LongRecording(&expected);
    OpenRecording open(text, kSummaryBudgetBytes);
    const ScopeSource& source = *open.model.Sources()[1];
    EXPECT_EQ(1u, source.badLines);
    EXPECT_NE(std::string::npos, source.latestBadLine.find("long.rec:")) << source.latestBadLine;
    ASSERT_EQ(1u, source.triggers.size());
    EXPECT_EQ(40001, source.triggers[0]);
    EXPECT_TRUE(source.startKnown);
    EXPECT_EQ(expected.size(), source.messages);

    // Each mark is the start of the line after the one it names, and the
    // messages before it are no later than its time, those after no earlier.
    const std::vector<OffsetMark>& marks = source.index.Marks();
    ASSERT_GT(marks.size(), 10u);
    for (const OffsetMark& mark : marks) {
        ASSERT_LE(mark.offset, text.size());
        ASSERT_TRUE(mark.offset == 0 || text[mark.offset - 1] == '\n') << mark.offset;
        EXPECT_EQ(mark.line, static_cast<uint64_t>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(mark.offset), '\n')));
        RecordReader tail(text, "long.rec");
        tail.SkipBadLines();
        ASSERT_TRUE(tail.Resume(mark.offset, mark.line, mark.micros));
        RecordedMessage message;
        ASSERT_TRUE(mark.offset == 0 || tail.Next(&message));
        EXPECT_GE(message.micros, mark.micros);
    }
    // Stretches, at marks and between them, hold exactly the messages in them.
    for (uint64_t from : { 0, 1, 2999, 3072, 19999, 20000, 30000, 40001, 59990 }) {
        for (uint64_t length : { 0, 1, 5, 4000 }) {
            std::vector<RecordedMessage> read;
            open.readers[1](from, from + length, [&](const RecordedMessage& message) {
                read.push_back(message);
                return true;
            });
            std::vector<RecordedMessage> brute;
            for (const RecordedMessage& message : expected) {
                if (message.micros >= from && message.micros <= from + length)
                    brute.push_back(message);
            }
            ASSERT_EQ(brute.size(), read.size()) << from << "+" << length;
            for (size_t i = 0; i < brute.size(); ++i)
                EXPECT_EQ(FormatRecordLine(brute[i]), FormatRecordLine(read[i]));
        }
    }
}

// A compressed recording's marks name their members: a stretch near the end
// is read from its member on, so damage in an early member does not touch it.
TEST(OffsetIndex, AMarkInACompressedRecordingReadsFromItsMember)
{
    std::string gz;
    GzipMemberWriter writer([&gz](const char* bytes, size_t size) {
        gz.append(bytes, size);
        return true;
    });
    writer.Write("# velk record 1\n# start 2026-12-08T17:12:03.123+08:00\n", 0);
    std::vector<RecordedMessage> expected;
    for (uint64_t n = 0; n < 8000; ++n) {
        RecordedMessage message;
        message.micros = n * 5000;   // 40 s: 40 members of a second
        message.code = 0x20000801;
        message.kind = kValueMessage;
        message.value = static_cast<int32_t>(n * 7 % 1000);
        expected.push_back(message);
        writer.Write(FormatRecordLine(message) + "\n", message.micros);
    }
    writer.EndMember();
    ASSERT_GT(writer.Members(), 30u);

    FILE* file = FileOf(gz);
    ASSERT_NE(nullptr, file);
    OffsetIndex index;
    {
        RecordingPass pass(file, "long.rec.gz", nullptr, SignalCodePages{ &kGbk, &kUtf8 }, kArrayFirstByte);
        for (PassBatch batch = pass.Next(1000);; batch = pass.Next(1000)) {
            index.Append(batch.marks);
            if (batch.done)
                break;
        }
    }
    fclose(file);
    const OffsetMark& late = index.MarkFor(35000000);
    ASSERT_GT(late.memberOffset, 1000u);
    ASSERT_LE(late.memberText, late.offset);

    // Damage the second member's compressed bytes: reading from the start fails there.
    std::string damaged = gz;
    for (size_t i = 200; i < 260; ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);
    FILE* broken = FileOf(damaged);
    ASSERT_NE(nullptr, broken);
    std::vector<uint64_t> read;
    std::string error;
    EXPECT_TRUE(ReadRecordStretch(broken, "long.rec.gz", index, 35000000, 35100000, [&](const RecordedMessage& message) {
        read.push_back(message.micros);
        return true;
    }, &error)) << error;
    ASSERT_EQ(21u, read.size());
    EXPECT_EQ(35000000u, read.front());
    EXPECT_EQ(35100000u, read.back());
    OffsetMark start = index.Marks()[0];
    EXPECT_FALSE(ReadRecordStretchFrom(broken, "long.rec.gz", start, 35000000, 35100000,
                                       [](const RecordedMessage&) { return true; }, &error));
    fclose(broken);
}

// A series in parts is one recording: its marks name their part, and a
// stretch in a later part is read from that part on, across into the next,
// on the series' one time axis with the gaps between the parts kept.
TEST(OffsetIndex, AMarkInALaterPartReadsFromThatPart)
{
    const WallTime seriesStart = { 1765000000000000, 480 };
    std::map<std::string, std::string> texts;
    const std::vector<std::string> parts = { "run-0001.rec", "run-0002.rec", "run-0003.rec" };
    for (unsigned p = 0; p < 3; ++p) {
        const uint64_t partMicros = p * 10000000ull;   // 3 s of messages, then 7 s of nothing
        WallTime start = seriesStart;
        start.utcMicros += static_cast<int64_t>(partMicros);
        std::string text = std::string(kRecordHeader) + "\n" + FormatStartLine(start) + "\n" +
                           FormatPartLine(p + 1, partMicros, seriesStart) + "\n";
        if (p == 1)
            text += "0.000000 2000100G V 1\n";   // passed over, named by its part
        for (uint64_t n = 0; n < 3000; ++n) {
            RecordedMessage message;
            message.micros = n * 1000;
            message.code = 0x20000801;
            message.kind = kValueMessage;
            message.value = static_cast<int32_t>(p * 10000 + n);
            text += FormatRecordLine(message) + "\n";
        }
        texts[parts[p]] = text;
    }
    std::set<std::string> missing;
    auto series = [&]() {
        return std::unique_ptr<SeriesReader>(new SeriesReader(parts,
            [&](const std::string& path, std::string* why) -> FILE* {
                if (missing.count(path) != 0) {
                    *why = "No such file or directory";
                    return nullptr;
                }
                return FileOf(texts[path]);
            },
            [](const std::string& path) { return path; }));
    };
    OffsetIndex index;
    uint64_t messages = 0, bytes = 0, badLines = 0;
    std::string badLine;
    WallTime start = {};
    {
        RecordingPass pass(series(), nullptr, SignalCodePages{ &kGbk, &kUtf8 }, kArrayFirstByte);
        for (PassBatch batch = pass.Next(1000);; batch = pass.Next(1000)) {
            index.Append(batch.marks);
            messages = batch.messages;
            bytes = batch.bytes;
            badLines = batch.badLines;
            badLine = batch.latestBadLine;
            if (batch.startKnown)
                start = batch.start;
            if (batch.done) {
                EXPECT_EQ("", batch.error);
                break;
            }
        }
    }
    EXPECT_EQ(9000u, messages);
    EXPECT_EQ(1u, badLines);
    EXPECT_EQ(0u, badLine.find("run-0002.rec:4: ")) << badLine;
    EXPECT_EQ(seriesStart.utcMicros, start.utcMicros);
    const OffsetMark& inSecond = index.MarkFor(12000000);
    EXPECT_EQ(1u, inSecond.part);
    EXPECT_EQ(10000000u, inSecond.partMicros);
    EXPECT_GT(inSecond.partBytes, texts[parts[0]].size() * 9 / 10);
    EXPECT_LE(inSecond.partBytes, texts[parts[0]].size());
    // What a stretch across a gap costs counts the bytes of both parts, no more.
    const uint64_t across = index.BytesBetween(12900000, 20100000, bytes);
    EXPECT_GE(across, 201u * 20);
    EXPECT_LT(across, texts[parts[1]].size());

    // With the first part gone, a stretch of the second is still read: from
    // its own part, on into the third, the gap between them kept.
    missing.insert(parts[0]);
    std::vector<RecordedMessage> read;
    std::string error;
    std::unique_ptr<SeriesReader> again = series();
    ASSERT_TRUE(ReadRecordStretch(again.get(), &start, index, 12900000, 20002000, [&](const RecordedMessage& message) {
        read.push_back(message);
        return true;
    }, &error)) << error;
    ASSERT_EQ(100u + 3u, read.size());
    EXPECT_EQ(12900000u, read.front().micros);
    EXPECT_EQ(10000 + 2900, read.front().value);
    EXPECT_EQ(12999000u, read[99].micros);
    EXPECT_EQ(20000000u, read[100].micros);
    EXPECT_EQ(20000, read[100].value);
    EXPECT_EQ(20002000u, read.back().micros);
    // A stretch of the first part needs that part.
    again = series();
    EXPECT_FALSE(ReadRecordStretch(again.get(), &start, index, 1000000, 1001000,
                                   [](const RecordedMessage&) { return true; }, &error));
    EXPECT_NE(std::string::npos, error.find("run-0001.rec")) << error;
}

TEST(Readout, TheValueInForceIsTheLastSampleAtOrBeforeTheCursorAndTheStatisticsAreExact)
{
    std::vector<RecordedMessage> expected;
    const std::string text = LongRecording(&expected);
    // A small summary: its base buckets span many messages, so the readout
    // must read the file for the exact sample.
    OpenRecording open(text, 8 << 10);
    ScopeModel& model = open.model;
    ASSERT_GT(model.Sources()[1]->data.Summaries().BaseWidth(), 16);
    ASSERT_TRUE(model.TickIn(1, 0x20001001));
    ASSERT_TRUE(model.TickIn(1, 0x30000401));
    ASSERT_TRUE(model.TickIn(1, 0x20000802));   // twice in the whole file
    ASSERT_TRUE(model.TickIn(1, 0x20000801));   // once, at 0
    const int64_t origin = model.Origin(1);

    auto brute = [&](uint32_t code, int64_t at, const RecordedMessage** found) {
        *found = nullptr;
        for (const RecordedMessage& message : expected) {
            if (message.code == code && static_cast<int64_t>(message.micros) <= at)
                *found = &message;
        }
    };
    // On a sample, just after it, just before the next, at a bucket's
    // start and just before it.
    const int64_t base = model.Sources()[1]->data.Summaries().BaseWidth();
    for (int64_t at : { int64_t(0), int64_t(3), int64_t(4), int64_t(5), int64_t(299), int64_t(300), int64_t(301),
                        20001 / base * base, 20001 / base * base - 1, 20003 / base * base, 20003 / base * base - 1,
                        int64_t(30000), int64_t(40000), int64_t(40001), int64_t(40002), int64_t(59999), int64_t(70000) }) {
        model.SetCursor(0, at + origin);
        model.SetCursor(1, at + origin);
        const Readout readout = ComputeReadout(model, open.readers, kGbk);
        ASSERT_EQ(4u, readout.rows.size());
        for (size_t t = 0; t < 4; ++t) {
            SCOPED_TRACE(at);
            SCOPED_TRACE(t);
            const RecordedMessage* found = nullptr;
            brute(model.Traces()[t].code, at, &found);
            const ValueInForce& value = readout.rows[t].at[0];
            ASSERT_EQ(found != nullptr, value.found);
            if (found == nullptr)
                continue;
            EXPECT_EQ(static_cast<int64_t>(found->micros) + origin, value.micros);
            const double raw = found->kind == kValueMessage ? found->value : static_cast<unsigned char>(found->bytes[0]);
            EXPECT_EQ(raw, value.value);
        }
    }
    // Before the cursor A, nothing; the sparse code's value at the end is its last.
    model.SetCursor(0, origin - 1);
    model.SetCursor(1, 59999 + origin);
    Readout readout = ComputeReadout(model, open.readers, kGbk);
    EXPECT_FALSE(readout.rows[0].at[0].found);
    EXPECT_EQ("40001", readout.rows[2].at[1].text);
    EXPECT_EQ(40001 + origin, readout.rows[2].at[1].micros);

    // Statistics between the cursors, both included, either way round.
    for (std::pair<int64_t, int64_t> span : { std::make_pair<int64_t, int64_t>(0, 59999), { 3, 3 }, { 4, 5 }, { 777, 31234 },
                                              { 31234, 777 }, { 20000, 20001 } }) {
        model.SetCursor(0, span.first + origin);
        model.SetCursor(1, span.second + origin);
        readout = ComputeReadout(model, open.readers, kGbk);
        const int64_t low = std::min(span.first, span.second), high = std::max(span.first, span.second);
        for (size_t t = 0; t < 2; ++t) {
            TraceStats stats;
            for (const RecordedMessage& message : expected) {
                if (message.code == model.Traces()[t].code && static_cast<int64_t>(message.micros) >= low &&
                    static_cast<int64_t>(message.micros) <= high)
                    stats.Add(message.kind == kValueMessage ? message.value : static_cast<unsigned char>(message.bytes[0]));
            }
            SCOPED_TRACE(low);
            EXPECT_EQ(stats.count, readout.rows[t].between.count);
            EXPECT_EQ(stats.min, readout.rows[t].between.min);
            EXPECT_EQ(stats.max, readout.rows[t].between.max);
            EXPECT_DOUBLE_EQ(stats.sum, readout.rows[t].between.sum);
        }
    }
    // The table: a header, the times with B - A, a row per trace, tabs between.
    model.SetCursor(0, 300 + origin);
    model.SetCursor(1, 1500 + origin);
    readout = ComputeReadout(model, open.readers, kGbk);
    const std::vector<std::vector<std::string>> cells = ReadoutCells(model, readout, 0);
    ASSERT_EQ(6u, cells.size());
    EXPECT_EQ("0.001200 s", cells[1][3]);
    EXPECT_EQ("20001001", cells[2][0]);   // one source: no file name before it
    EXPECT_EQ(0u, cells[2][1].find(std::to_string((300 * 7919) % 1000 - 500) + " @ ")) << cells[2][1];
    EXPECT_EQ("401", cells[2][7]);   // 300, 303, ..., 1500
    const std::string table = ReadoutText(cells);
    EXPECT_EQ(6, std::count(table.begin(), table.end(), '\n'));
    EXPECT_EQ(6 * 7, std::count(table.begin(), table.end(), '\t'));
}

TEST(Readout, IsMadeAgainWhenWhatItShowsMovesAndNotWhenTheViewDoes)
{
    ScopeModel model(10000000, kArrayFirstByte);
    const size_t source = model.AddRecording("a.rec", "a.rec", 0);
    ASSERT_TRUE(model.AddTrace(source, 0x20001001, kRawTrace, 0));
    std::string key = ReadoutKey(model);
    auto moved = [&]() {
        const std::string now = ReadoutKey(model);
        const bool changed = now != key;
        key = now;
        return changed;
    };
    model.SetView(0, 5000000);
    EXPECT_FALSE(moved());
    model.SetCursor(0, 1);
    EXPECT_TRUE(moved());
    model.SetCursor(1, 1);
    EXPECT_TRUE(moved());
    model.SetCursor(1, 2);
    EXPECT_TRUE(moved());
    model.SetWallClock(true);
    EXPECT_TRUE(moved());
    model.SetOffset(source, 1);
    EXPECT_TRUE(moved());
    ASSERT_TRUE(model.AddTrace(source, 0x20001002, kRawTrace, 0));
    EXPECT_TRUE(moved());
    model.ClearCursors();
    EXPECT_TRUE(moved());
    EXPECT_FALSE(moved());
}

TEST(Readout, TheListSetsTheCellsThatChangedAndEveryCellOfItsNewRows)
{
    typedef std::vector<std::vector<std::string>> Cells;
    const Cells shown = { { "h" }, { "a", "b" }, { "c", "d" } };
    auto set = [&](const Cells& fresh, size_t rowsWithText) {
        std::string which;
        for (const ReadoutCell& cell : ReadoutCellsToSet(shown, fresh, rowsWithText))
            which += FormatText("%zu,%zu ", cell.row, cell.column);
        return which;
    };
    EXPECT_EQ("", set(shown, 2));
    EXPECT_EQ("", set({ { "header changed" }, { "a", "b" }, { "c", "d" } }, 2));
    EXPECT_EQ("2,1 ", set({ { "h" }, { "a", "b" }, { "c", "e" } }, 2));
    EXPECT_EQ("2,0 2,1 ", set(shown, 1));                         // the list's second row is new
    EXPECT_EQ("1,2 3,0 ", set({ { "h" }, { "a", "b", "x" }, { "c", "d" }, { "y" } }, 3));
}

TEST(History, KeepsTheNewestWithinItsBoundsAndGivesStretchesBack)
{
    History history(10000, 1000000, 1 << 20);
    for (uint64_t i = 0; i < 50000; ++i) {
        RecordedMessage message;
        message.micros = i * 10;
        message.code = i % 5 == 0 ? 0x30000401 : 0x20001001;
        message.kind = ClassifyCode(message.code);
        message.value = static_cast<int32_t>(i);
        if (message.kind == kArrayPayload)
            message.bytes = std::string(3, static_cast<char>(i));
        history.Add(message);
    }
    // At least the bound, dropped in whole blocks, oldest first.
    EXPECT_GE(history.Size(), 10000u);
    EXPECT_LT(history.Size(), 10000u + kHistoryBlock);
    EXPECT_EQ(50000u, history.Size() + history.Dropped());
    uint64_t oldest = 0, newest = 0;
    ASSERT_TRUE(history.Span(&oldest, &newest));
    EXPECT_EQ(499990u, newest);
    EXPECT_EQ((50000 - history.Size()) * 10, oldest);
    std::vector<RecordedMessage> read;
    history.ForEach(450005, 450050, [&](const RecordedMessage& message) {
        read.push_back(message);
        return true;
    });
    ASSERT_EQ(5u, read.size());   // 450010 to 450050, both ends
    EXPECT_EQ(450010u, read[0].micros);
    EXPECT_EQ(45001, read[0].value);
    EXPECT_EQ(std::string(3, static_cast<char>(45005)), read[4].bytes);   // whole payloads kept
    EXPECT_EQ(5u, history.CountBetween(450005, 450050));
    EXPECT_EQ(history.Size(), history.CountBetween(0, UINT64_MAX));
    EXPECT_EQ(499980u, history.TimeBeforeNewest(1));
    // n places back at each end of a block and of the whole: the newest
    // block holds 50000 % kHistoryBlock messages.
    const uint64_t inNewest = 50000 % kHistoryBlock;
    EXPECT_EQ(499990u, history.TimeBeforeNewest(0));
    EXPECT_EQ(499990u - (inNewest - 1) * 10, history.TimeBeforeNewest(inNewest - 1));
    EXPECT_EQ(499990u - inNewest * 10, history.TimeBeforeNewest(inNewest));
    EXPECT_EQ(oldest, history.TimeBeforeNewest(history.Size() - 1));
    EXPECT_EQ(oldest + 10, history.TimeBeforeNewest(history.Size() - 2));
    EXPECT_EQ(oldest, history.TimeBeforeNewest(history.Size()));
    EXPECT_EQ(0u, History(10, 10, 10).TimeBeforeNewest(0));

    // An hour's bound: what is older than the bound goes once the rest still reaches back that far.
    History hour(1000000, 1000, 1 << 20);
    for (uint64_t i = 0; i < 3 * kHistoryBlock; ++i) {
        RecordedMessage message = {};
        message.micros = i;
        message.code = 0x20001001;
        hour.Add(message);
    }
    ASSERT_TRUE(hour.Span(&oldest, &newest));
    EXPECT_LE(newest - oldest, 1000 + kHistoryBlock);
    EXPECT_GE(newest - oldest, 1000u);
}

} // namespace

// Each bound at its edge: the count, the age and the payload bytes reached
// exactly keep the oldest block, one more drops it; a block spans at most
// 2^32 - 1 us; an expired payload reads back expired; Clear empties it all.
TEST(History, EachBoundHoldsAtItsEdgeAndAnExpiredPayloadReadsBackExpired)
{
    auto add = [](History* history, uint64_t micros, bool payload, bool expired = false) {
        RecordedMessage message = {};
        message.micros = micros;
        message.code = payload ? 0x30000401 : 0x20001001;
        message.kind = ClassifyCode(message.code);
        message.bytes = payload && !expired ? "\x01" : "";
        message.expired = expired;
        history->Add(message);
    };
    const uint64_t block = kHistoryBlock, far = 1ULL << 40;
    History count(block, far, far);
    for (uint64_t i = 0; i < 2 * block - 1; ++i)
        add(&count, i, false);
    EXPECT_EQ(2 * block - 1, count.Size());
    add(&count, 2 * block - 1, false);
    EXPECT_EQ(block, count.Size());

    History age(far, block, far);
    uint64_t oldest = 1, newest = 0;
    for (uint64_t i = 0; i < 2 * block; ++i)
        add(&age, i, false);
    ASSERT_TRUE(age.Span(&oldest, &newest));
    EXPECT_EQ(0u, oldest);
    add(&age, 2 * block, false);
    ASSERT_TRUE(age.Span(&oldest, &newest));
    EXPECT_EQ(block, oldest);

    History bytes(far, far, block + 1);
    for (uint64_t i = 0; i <= block; ++i)
        add(&bytes, i, true);
    EXPECT_EQ(block + 1, bytes.Size());
    add(&bytes, block + 1, true);
    EXPECT_EQ(2u, bytes.Size());

    History span(far, far, far);
    add(&span, 0, true);
    add(&span, 0xFFFFFFFFu, true);
    add(&span, 0x100000000u, true, true);
    std::vector<std::pair<uint64_t, bool>> read;
    span.ForEach(0, UINT64_MAX, [&](const RecordedMessage& message) {
        read.push_back({ message.micros, message.expired });
        return true;
    });
    EXPECT_EQ((std::vector<std::pair<uint64_t, bool>>{ { 0, false }, { 0xFFFFFFFFu, false }, { 0x100000000u, true } }), read);
    span.Clear();
    EXPECT_EQ(0u, span.Size());
    EXPECT_FALSE(span.Span(&oldest, &newest));
}

// A cursor in the newest bucket, not yet closed, finds that bucket; a view
// that starts there draws it.
TEST(Summary, ACursorInTheNewestBucketFindsIt)
{
    Summary two;
    const size_t only = two.AddTrace();
    two.Add(only, 0, 1);
    two.Add(only, 10, 2);
    SummaryBucket bucket;
    int64_t start = 0, end = 0;
    ASSERT_TRUE(two.LastBucketAtOrBefore(only, 10, &bucket, &start, &end));
    EXPECT_EQ(2, bucket.last);
    EXPECT_EQ(10, start);
    ASSERT_TRUE(two.LastBucketAtOrBefore(only, 9, &bucket, &start, &end));
    EXPECT_EQ(1, bucket.last);
    // A view that starts at the newest bucket draws it in its first column.
    bool coarse = true;
    const std::vector<Column> columns = two.Columns(only, 10, 20, 10, &coarse);
    EXPECT_EQ(1u, columns[0].count);
    EXPECT_EQ(2, columns[0].last);

    // A bucket narrower than a column goes to the column of its middle, to
    // the microsecond: buckets of 20 us in columns of 100 us, a middle at
    // 110 us on a column's first microsecond or on the last of the one before.
    Summary fine(kSummaryBudgetBytes, 20);
    const size_t trace = fine.AddTrace();
    fine.Add(trace, 100, 1);   // closed
    fine.Add(trace, 200, 2);   // open
    for (int64_t from : { 10, 11 }) {
        SCOPED_TRACE(from);
        const std::vector<Column> placed = fine.Columns(trace, from, from + 1000, 10, &coarse);
        EXPECT_FALSE(coarse);
        const size_t at = from == 10 ? 1 : 0;
        EXPECT_EQ(1u, placed[at].count);
        EXPECT_EQ(1, placed[at].last);
        EXPECT_EQ(1u, placed[at + 1].count);
        EXPECT_EQ(2, placed[at + 1].last);
    }
}
