// The example rig in velkctl's views: top's rows and marks, export's
// columns, and the sends named by signal.
#include <iconv.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "formats/CsvExport.h"
#include "velkctl/TopTable.h"
#include "signals/SignalCsv.h"
#include "signals/SignalFile.h"
#include "signals/SignalSends.h"
#include "velkctl/TopSignalCells.h"
#include "velkctl/WideCsv.h"
#include "tests/unit/HostCodePages.h"

namespace {

const SignalCodePages kPages = { &kGbk, &kUtf8 };

SignalDatabase Rig(const std::string& extra = std::string())
{
    std::ifstream file(CORVANE_SIGNALS_EXAMPLE, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile(text.str() + extra, "rig.toml", &database, &errors)) << errors[0];
    return database;
}

bool NoLeadBytes(unsigned char) { return false; }

LatestValue Value(int32_t word)
{
    LatestValue latest;
    latest.Set(kValueMessage, word, nullptr, 0);
    return latest;
}

LatestValue Array(const std::string& bytes)
{
    LatestValue latest;
    latest.Set(kArrayPayload, 0, bytes.data(), static_cast<int32_t>(bytes.size()));
    return latest;
}

std::string SpeedRow(TopTable& table, int32_t raw, uint64_t received, uint64_t now)
{
    table.Receive(0x20001001, received, Value(raw));
    return table.Format(200, 100, now, NoLeadBytes)[1].text;
}

TEST(SignalViews, TopShowsARowPerSignalMarkedBeyondItsLimitsOrLate)
{
    const SignalDatabase rig = Rig();
    const TopSignalCells cells(rig, kPages, nullptr);
    TopTable table;
    table.UseSignals(&cells);
    table.Receive(0x30000401, 0, Array(std::string("\x12\xff\x0f\x03\xeb\x00", 6)));
    table.Receive(0x20001077, 0, Value(7));
    table.EndInterval(100000, 100000);
    std::vector<TopLine> lines = table.Format(200, 100, 100000, NoLeadBytes);
    ASSERT_EQ(6u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].text.find("     AGE  NAME                     VALUE"));
    // New rows count as changed in their first interval.
    EXPECT_EQ(0u, lines[1].text.find("* 20001077 WV    ADC     119          1      10.0    0.1s  " + std::string(23, ' ') + "  7"))
        << lines[1].text;
    EXPECT_EQ(0u, lines[2].text.find("* 30000401 RV+WV ARR       1          1      10.0    0.1s  pump.status.mode         auto"));
    EXPECT_EQ("*" + std::string(58, ' ') + "pump.status.valve        open", lines[3].text);
    EXPECT_NE(std::string::npos, lines[4].text.find("pump.status.temperature  -0.1 degC"));
    EXPECT_EQ('!', lines[5].text[0]);
    EXPECT_EQ(kTopBeyondLimit, lines[5].mark);
    EXPECT_NE(std::string::npos, lines[5].text.find("10.03 bar (above max 10 bar)"));
    // 80 columns: DIR and TYPE go, the name gives way, every value stays.
    std::vector<TopLine> narrow = table.Format(80, 100, 100000, NoLeadBytes);
    ASSERT_EQ(6u, narrow.size());
    EXPECT_EQ("  CODE      CH      COUNT    RATE/s     AGE  NAME           VALUE", narrow[0].text);
    EXPECT_EQ("* 30000401   1          1      10.0    0.1s  pump.status.~  auto", narrow[2].text);
    EXPECT_NE(std::string::npos, narrow[4].text.find("pump.status.~  -0.1 degC"));
    EXPECT_EQ(80u, narrow[5].text.size());   // a long value cut to the width, whole characters only
    for (const TopLine& line : narrow)
        EXPECT_LE(line.text.size(), 80u);
    EXPECT_EQ(2u, table.Format(200, 1, 100000, NoLeadBytes).size());

    // A name longer than 32 bytes is cut there; the value keeps its room.
    const SignalDatabase named = Rig("[[message]]\ncode = \"20001003\"\nname = \"" + std::string(33, 'n') + "\"\n");
    const TopSignalCells longNames(named, kPages, nullptr);
    TopTable wide;
    wide.UseSignals(&longNames);
    wide.Receive(0x20001003, 0, Value(4));
    EXPECT_EQ(59u + 32 + 2, wide.Format(200, 100, 0, NoLeadBytes)[1].text.find("  4") + 2);
    EXPECT_NE(std::string::npos, wide.Format(200, 100, 0, NoLeadBytes)[1].text.find(std::string(31, 'n') + "~  4"));

    // motor.speed: min 0, max 3000 rpm, period 100 ms (late after 200 ms).
    TopTable speed;
    speed.UseSignals(&cells);
    EXPECT_EQ(' ', SpeedRow(speed, 0, 0, 200000)[0]);
    EXPECT_EQ('~', SpeedRow(speed, 0, 0, 200001)[0]);
    EXPECT_EQ('!', SpeedRow(speed, -1, 0, 0)[0]);
    EXPECT_EQ(' ', SpeedRow(speed, 12000, 0, 0)[0]);
    // Three gaps of 228 ms at 100 ms: each marks its interval and is
    // counted, though at the refresh the code is no later than its period.
    TopTable gaps;
    gaps.UseSignals(&cells);
    for (uint64_t t : { 0, 100000, 328000, 556000, 656000, 884000 })
        gaps.Receive(0x20001001, t, Value(0));
    gaps.EndInterval(900000, 900000);
    std::string row = gaps.Format(200, 100, 900000, NoLeadBytes)[1].text;
    EXPECT_EQ('~', row[0]);
    EXPECT_NE(std::string::npos, row.find("motor.speed  0 rpm  ~3")) << row;
    gaps.Receive(0x20001001, 1084000, Value(0));   // exactly twice the period: not late
    gaps.EndInterval(1100000, 200000);
    row = gaps.Format(200, 100, 1100000, NoLeadBytes)[1].text;
    EXPECT_EQ(' ', row[0]);
    EXPECT_NE(std::string::npos, row.find("motor.speed  0 rpm  ~3")) << row;
    gaps.ClearCounts();
    EXPECT_EQ(std::string::npos, gaps.Format(200, 100, 1100000, NoLeadBytes)[1].text.find('~'));

    std::string high = SpeedRow(speed, 12001, 0, 0);
    EXPECT_EQ('!', high[0]);
    EXPECT_NE(std::string::npos, high.find("motor.speed  3000.25 rpm (above max 3000 rpm)")) << high;
}

TEST(SignalViews, TheExampleSaysEachArraysLengthAsItsFieldsLayItOut)
{
    std::ifstream file(CORVANE_SIGNALS_EXAMPLE, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string example = text.str();
    const SignalDatabase rig = Rig();
    int said = 0;
    for (const SignalMessage& message : rig.Messages()) {
        if (message.kind != kArrayPayload)
            continue;
        unsigned extent = 0;
        for (const Signal& signal : message.signals)
            extent = std::max(extent, signal.byte + signal.SpanBytes());
        // The comment above the message: "# The pump's status array: 5 bytes."
        const size_t at = example.find(FormatText("code = \"%08x\"", message.code));
        const size_t comment = example.rfind("\n# The ", at);
        ASSERT_NE(std::string::npos, comment) << message.name;
        const size_t colon = example.find(": ", comment);
        EXPECT_EQ(FormatText(": %u bytes.", extent), example.substr(colon, example.find('\n', colon) - colon))
            << message.name;
        ++said;
    }
    EXPECT_EQ(2, said);
}

TEST(SignalViews, CsvGainsTheSignalColumnsOneRowPerSignal)
{
    const SignalDatabase rig = Rig();
    EXPECT_EQ("time,seconds,code,direction,type,channel,kind,value,text,bytes,length,name,signal,physical,unit",
              FormatCsvHeader(nullptr, true));
    RecordedMessage pump = { 0, 0x30000401, kArrayPayload, 0, std::string("\x12\xff\x0f\x00", 4) };
    std::vector<CsvSignalCells> cells = SignalCsvCells(rig, pump, kPages);
    ASSERT_EQ(4u, cells.size());
    const std::string raw = ",0.000000,0x30000401,Read Value+Write Value,ARR,1,array,,,0x12ff0f00,4,pump.status,";
    EXPECT_EQ(raw + "pump.status.mode,auto,", FormatCsvRow(pump, nullptr, kGbk, &cells[0]));
    EXPECT_EQ(raw + "pump.status.temperature,-0.1,degC", FormatCsvRow(pump, nullptr, kGbk, &cells[2]));
    EXPECT_EQ(raw + "pump.status.pressure,,bar", FormatCsvRow(pump, nullptr, kGbk, &cells[3]));   // past the end
    RecordedMessage text = { 0, 0x30000201, kStringPayload, 0, "=1+2" };
    cells = SignalCsvCells(rig, text, kPages);
    ASSERT_EQ(1u, cells.size());
    const std::string row = FormatCsvRow(text, nullptr, kGbk, &cells[0]);
    const std::string end = ",string,,'=1+2,0x3d312b32,4,rig.text,rig.text,'=1+2,";
    EXPECT_EQ(row.size() - end.size(), row.find(end)) << row;
    RecordedMessage unknown = { 0, 0x20001077, kValueMessage, 9, "" };
    EXPECT_TRUE(SignalCsvCells(rig, unknown, kPages).empty());
}

bool IconvGbk(const std::string& utf8, std::string* gbk)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    std::string in = utf8, out(utf8.size() * 2 + 4, '\0');
    char* inAt = &in[0];
    char* outAt = &out[0];
    size_t inLeft = in.size(), outLeft = out.size();
    bool whole = iconv(converter, &inAt, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
    iconv_close(converter);
    *gbk = out.substr(0, out.size() - outLeft);
    return whole;
}

TEST(SignalViews, SendsByNameEncodeThroughTheFileOrSayWhy)
{
    const SignalDatabase rig = Rig("[[message]]\ncode = \"30000402\"\nname = \"panel\"\n"
                                   "[[message.field]]\nname = \"label\"\nbyte = 1\ntype = \"str\"\nlength = 4\n"
                                   "[[message.field]]\nname = \"note\"\nbyte = 5\ntype = \"str\"\nencoding = \"utf-8\"\n"
                                   "[[message]]\ncode = \"30000203\"\nname = \"panel.title\"\nencoding = \"utf-8\"\n");
    uint32_t code = 0;
    int32_t word = 0;
    std::string error;
    ASSERT_TRUE(EncodeNamedValue(rig, "motor.speed", "3000", &code, &word, &error)) << error;
    EXPECT_EQ(0x20001001u, code);
    EXPECT_EQ(12000, word);
    ASSERT_TRUE(EncodeNamedValue(rig, "motor.speed", "0", &code, &word, &error));
    EXPECT_EQ(0, word);
    ASSERT_TRUE(EncodeNamedValue(rig, "motor.state", "FAULT", &code, &word, &error));
    EXPECT_EQ(0x20001002u, code);
    EXPECT_EQ(3, word);
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "3000.125", &code, &word, &error));
    EXPECT_EQ("motor.speed: 3000.125 rpm is above its max 3000 rpm", error);
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "-0.125", &code, &word, &error));
    // A value may carry the signal's own unit, and no other.
    for (const char* given : { "148.25rpm", "148.25 rpm", "1.4825e2rpm" }) {
        ASSERT_TRUE(EncodeNamedValue(rig, "motor.speed", given, &code, &word, &error)) << given << ": " << error;
        EXPECT_EQ(593, word) << given;
    }
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "3000.25rpm", &code, &word, &error));
    EXPECT_EQ("motor.speed: 3000.25 rpm is above its max 3000 rpm", error);
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "100rps", &code, &word, &error));
    EXPECT_EQ("motor.speed: 'rps' is not its unit: give the number in rpm, with or without the unit", error);
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "100 RPM", &code, &word, &error));
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.state", "2rpm", &code, &word, &error));
    EXPECT_EQ("motor.state: 'rpm': it has no unit, give the number alone", error);
    EXPECT_FALSE(EncodeNamedValue(rig, "motor.speed", "rpm", &code, &word, &error));
    EXPECT_FALSE(EncodeNamedValue(rig, "pump.status.mode", "auto", &code, &word, &error));
    EXPECT_EQ("pump.status.mode is a signal of an array message, pump.status: use send-arr", error);
    EXPECT_FALSE(EncodeNamedValue(rig, "rig.txt", "1", &code, &word, &error));
    EXPECT_EQ("no value signal 'rig.txt' in the signal file", error);   // rig.text is no value signal

    std::string payload;
    ASSERT_TRUE(EncodeNamedArray(rig, "pump.status", { "pressure=2.41bar" }, std::string("\x07", 1), IconvGbk, &code,
                                 &payload, &error)) << error;
    EXPECT_EQ(0x30000401u, code);
    EXPECT_EQ(std::string("\x07\x00\x00\x00\xf1", 5), payload);
    EXPECT_FALSE(EncodeNamedArray(rig, "motor.speed", { "x=1" }, "", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("motor.speed is a value message: use post", error);
    EXPECT_FALSE(EncodeNamedArray(rig, "pump.statu", { "mode=1" }, "", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("no array message 'pump.statu' in the signal file (did you mean 'pump.status'?)", error);

    // A gbk field takes the encoder's bytes and its length counts them; a
    // utf-8 field the text as it is.
    const std::string ready = "\xe5\xb0\xb1\xe7\xbb\xaa";   // 就绪: 6 bytes in UTF-8, 4 in GBK
    ASSERT_TRUE(EncodeNamedArray(rig, "panel", { "label=" + ready, "note=" + ready }, "", IconvGbk, &code, &payload,
                                 &error)) << error;
    EXPECT_EQ(std::string("\0\xbe\xcd\xd0\xf7", 5) + ready, payload);
    EXPECT_FALSE(EncodeNamedArray(rig, "panel", { "label=" + ready + "x" }, "", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("panel.label: the text is 5 bytes, longer than the field's 4", error);
    EXPECT_FALSE(EncodeNamedArray(rig, "panel", { "label=\xf0\x9f\x98\x80" }, "", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("panel.label: '\xf0\x9f\x98\x80' has a character GBK lacks", error);
    EXPECT_FALSE(EncodeNamedArray(rig, "panel", { "label=" + ready }, "", nullptr, &code, &payload, &error));

    // A string message: its encoding, the bus's 64 KiB at the byte, the kind.
    ASSERT_TRUE(EncodeNamedText(rig, "rig.text", ready, IconvGbk, &code, &payload, &error)) << error;
    EXPECT_EQ(0x30000201u, code);
    EXPECT_EQ("\xbe\xcd\xd0\xf7", payload);
    ASSERT_TRUE(EncodeNamedText(rig, "panel.title", ready, nullptr, &code, &payload, &error)) << error;
    EXPECT_EQ(0x30000203u, code);
    EXPECT_EQ(ready, payload);
    EXPECT_TRUE(EncodeNamedText(rig, "panel.title", std::string(65536, 'a'), IconvGbk, &code, &payload, &error));
    EXPECT_FALSE(EncodeNamedText(rig, "panel.title", std::string(65537, 'a'), IconvGbk, &code, &payload, &error));
    EXPECT_EQ("panel.title: the text would be longer than 64 KiB", error);
    EXPECT_FALSE(EncodeNamedText(rig, "rig.text", "\xf0\x9f\x98\x80", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("rig.text: '\xf0\x9f\x98\x80' has a character GBK lacks", error);
    EXPECT_FALSE(EncodeNamedText(rig, "rig.text", ready, nullptr, &code, &payload, &error));
    EXPECT_FALSE(EncodeNamedText(rig, "pump.status", "x", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("pump.status is an array message: use send-arr", error);
    EXPECT_FALSE(EncodeNamedText(rig, "rig.txt", "x", IconvGbk, &code, &payload, &error));
    EXPECT_EQ("no string message 'rig.txt' in the signal file (did you mean 'rig.text'?)", error);
}

TEST(SignalViews, WideCsvHoldsEachValueUnderItsSignalWithItsUnit)
{
    const SignalDatabase rig = Rig();
    auto message = [](uint64_t micros, uint32_t code, MessageKind kind, int32_t value, const std::string& bytes) {
        return RecordedMessage{ micros, code, kind, value, bytes };
    };
    std::vector<RecordedMessage> recording = {
        message(0, 0x20001001, kValueMessage, 593, ""),
        message(0, 0x20001077, kValueMessage, 9, ""),          // the same time step
        message(10000, 0x20001002, kValueMessage, 2, ""),
        message(20000, 0x30000401, kArrayPayload, 0, "\x12"),  // too short for temperature and pressure
        message(30000, 0x30000201, kStringPayload, 0, "=1+2"),
        message(40000, 0x30000401, kArrayPayload, 0, ""),
        message(50000, 0x20001001, kValueMessage, -4, ""),
    };
    recording[5].expired = true;

    WideCsv wide(&rig, kPages, kGbk);
    for (const RecordedMessage& one : recording)
        wide.AddColumnsOf(one);
    EXPECT_EQ("time,seconds,motor.speed (rpm),motor.state,pump.status.mode,pump.status.valve,"
              "pump.status.temperature (degC),pump.status.pressure (bar),rig.text,0x20001077",
              wide.Header(nullptr));
    EXPECT_EQ(8u, wide.Columns());
    std::vector<std::string> rows;
    for (const RecordedMessage& one : recording)
        wide.Take(one, nullptr, &rows);
    wide.Finish(nullptr, &rows);
    EXPECT_EQ((std::vector<std::string>{
                  ",0.000000,148.25,,,,,,,9",
                  ",0.010000,148.25,RUNNING,,,,,,9",
                  ",0.020000,148.25,RUNNING,auto,open,,,,9",
                  ",0.030000,148.25,RUNNING,auto,open,,,'=1+2,9",   // no formula
                  ",0.050000,-1,RUNNING,auto,open,,,'=1+2,9",       // a negative number stays one
              }),
              rows);

    // Without a file: a column per code, raw, by code; the start's time first.
    WideCsv raw(nullptr, kPages, kGbk);
    for (const RecordedMessage& one : recording)
        raw.AddColumnsOf(one);
    const WallTime start = { 1796720523123000LL, 480 };
    EXPECT_EQ("time (UTC+08:00),seconds,0x20001001,0x20001002,0x20001077,0x30000201,0x30000401", raw.Header(&start));
    rows.clear();
    for (const RecordedMessage& one : recording)
        raw.Take(one, &start, &rows);
    raw.Finish(&start, &rows);
    ASSERT_EQ(5u, rows.size());
    EXPECT_EQ(",0.020000,593,2,9,,0x12", rows[2].substr(rows[2].find(',')));
    EXPECT_EQ(",0.050000,-4,2,9,'=1+2,0x12", rows[4].substr(rows[4].find(',')));
    EXPECT_EQ(0u, rows[0].find("2026-12-08 17:02:03.123,")) << rows[0];
}

} // namespace

// Each time step's row once, when the next step begins or at the end: none
// before the first step whatever its time, and none for an expired payload,
// whether it ends a step or stands alone at the end.
TEST(SignalViews, WideCsvWritesEachStepOnceAndNoneForAnExpiredPayload)
{
    const SignalDatabase rig = Rig();
    std::vector<RecordedMessage> recording = {
        { 5000, 0x20001001, kValueMessage, 593, "" },
        { 5000, 0x30000401, kArrayPayload, 0, "" },   // expired: the step's last
        { 9000, 0x30000401, kArrayPayload, 0, "" },   // expired: the recording's last
    };
    recording[1].expired = recording[2].expired = true;
    for (size_t first : { 0, 2 }) {
        SCOPED_TRACE(first);
        WideCsv wide(&rig, kPages, kGbk);
        for (size_t i = first; i < recording.size(); ++i)
            wide.AddColumnsOf(recording[i]);
        wide.Header(nullptr);
        std::vector<std::string> rows;
        for (size_t i = first; i < recording.size(); ++i)
            wide.Take(recording[i], nullptr, &rows);
        wide.Finish(nullptr, &rows);
        EXPECT_EQ(first == 0 ? std::vector<std::string>{ ",0.005000,148.25,,,," } : std::vector<std::string>(), rows);
    }
}

// An array too short for a field leaves that field's cell as it was.
TEST(SignalViews, WideCsvKeepsTheValueOfAFieldAShortArrayLacks)
{
    const SignalDatabase rig = Rig();
    const std::vector<RecordedMessage> recording = {
        { 0, 0x30000401, kArrayPayload, 0, std::string("\x12\xff\x0f\x00\xfa", 5) },
        { 10000, 0x30000401, kArrayPayload, 0, "\x12" },
    };
    WideCsv wide(&rig, kPages, kGbk);
    for (const RecordedMessage& one : recording)
        wide.AddColumnsOf(one);
    wide.Header(nullptr);
    std::vector<std::string> rows;
    for (const RecordedMessage& one : recording)
        wide.Take(one, nullptr, &rows);
    wide.Finish(nullptr, &rows);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(std::string::npos, rows[0].find(",,")) << rows[0];
    EXPECT_EQ(",0.010000" + rows[0].substr(9), rows[1]);
}
