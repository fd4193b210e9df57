// Signals on the charts: columns that keep fractions, the traces a signal
// file names, plot's SVG in physical units and velkscope's model with them.
#include <math.h>

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "chart/ChartGeometry.h"
#include "chart/PlotChart.h"
#include "signals/Checksum.h"
#include "signals/SignalFile.h"
#include "signals/SignalTraces.h"
#include "tests/unit/HostCodePages.h"
#include "tests/unit/TextFile.h"
#include "velkscope/DefaultTraces.h"
#include "velkscope/Export.h"
#include "velkscope/Readout.h"
#include "velkscope/RecordingPass.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/ScopeOptions.h"

namespace {

const SignalCodePages kPages = { &kGbk, &kUtf8 };
const uint32_t kSpeed = 0x20001001, kPump = 0x30000401, kText = 0x30000201, kMotor = 0x30000403;

SignalDatabase ExampleRig()
{
    std::ifstream file(CORVANE_SIGNALS_EXAMPLE, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    SignalDatabase database;
    std::vector<std::string> errors;
    EXPECT_TRUE(LoadSignalFile(text.str(), "rig.toml", &database, &errors));
    return database;
}

// pump.status with the pressure (0.01 bar a count, big-endian in bytes 3-4) at raw.
LatestValue PumpArray(unsigned raw)
{
    LatestValue value;
    value.kind = kArrayPayload;
    value.bytes = std::string("\x02\x10\x00", 3) + static_cast<char>(raw >> 8) + static_cast<char>(raw & 0xFF) + '\0';
    value.length = static_cast<int32_t>(value.bytes.size());
    return value;
}

TEST(SignalColumns, FractionsSurviveDecimationAndSetTheAxisStep)
{
    // 0.5 bar with a one-sample spike of 0.53 among 8,000 fine columns.
    std::vector<Column> fine(8000);
    for (size_t i = 0; i < fine.size(); ++i)
        fine[i].Add(i == 4321 ? 0.53 : 0.5);
    std::vector<Column> shown = Regroup(fine, 896);
    double min = 0, max = 0;
    ASSERT_TRUE(ColumnRange(shown, &min, &max));
    EXPECT_DOUBLE_EQ(0.5, min);
    EXPECT_DOUBLE_EQ(0.53, max);
    EXPECT_FALSE(WholeColumns(shown));
    std::vector<Column> whole(3);
    whole[1].Add(-7);
    whole[2].Add(2147483647);
    EXPECT_TRUE(WholeColumns(whole));   // data words keep their whole steps
    whole[0].Add(0.25);
    EXPECT_FALSE(WholeColumns(whole));
}

TEST(SignalTraces, NamesPickTracesAndAMistypedOneIsRefusedWithTheClosest)
{
    const SignalDatabase rig = ExampleRig();
    std::vector<SignalTraceRef> traces;
    std::string error;
    ASSERT_TRUE(FindSignalTraces(rig, { "motor.speed", "pump.status", "pump.status.pressure" }, &traces, &error)) << error;
    ASSERT_EQ(6u, traces.size());   // a message: each of its four fields
    EXPECT_EQ(kSpeed, traces[0].code);
    EXPECT_EQ("pump.status.mode", TraceSignal(rig, traces[1])->name);
    EXPECT_EQ("pump.status.pressure", TraceSignal(rig, traces[4])->name);
    EXPECT_EQ(3u, traces[5].index);
    EXPECT_EQ(nullptr, TraceSignal(rig, { kSpeed, kRawTrace }));

    EXPECT_FALSE(FindSignalTraces(rig, { "pump.status.presure" }, &traces, &error));
    EXPECT_EQ("no signal 'pump.status.presure' in the signal file; did you mean 'pump.status.pressure'?", error);
    EXPECT_FALSE(FindSignalTraces(rig, { "rig.text" }, &traces, &error));
    EXPECT_NE(std::string::npos, error.find("text")) << error;

    std::vector<DecodedSignal> decoded;
    DecodeMessage(*rig.FindCode(kPump), 0, "\x01", kPages, &decoded);   // ends before the temperature
    double value = -1;
    EXPECT_TRUE(DrawnValue(decoded, 0, &value));
    EXPECT_EQ(1, value);
    EXPECT_FALSE(DrawnValue(decoded, 2, &value));
    EXPECT_FALSE(DrawnValue(decoded, 4, &value));
}

TEST(SignalPlots, TheSvgSaysTheUnitAndDrawsTheFractions)
{
    PlotRequest request;
    request.signals = { { "pump.status.pressure", "bar" } };
    request.fromGiven = request.toGiven = true;
    request.toMicros = 1000000;
    PlotCollector plot(request);
    plot.AddValue(0, 0, 0.52);             // the left edge, the top
    plot.AddValue(0, 500000, 0.51);
    plot.AddValue(0, 999999, 0.5);         // the right edge, the bottom
    plot.AddValue(0, 999999, NAN);         // never a point
    plot.AddValue(1, 500000, 9);           // no such trace
    EXPECT_EQ(3u, plot.Drawn());
    const SvgChart chart = plot.Chart();
    EXPECT_EQ("bar", chart.valueLabel);
    ASSERT_EQ(1u, chart.traces.size());
    EXPECT_EQ("pump.status.pressure [bar]", chart.traces[0].name);

    const std::string svg = WriteSvg(chart);
    EXPECT_NE(std::string::npos, svg.find("text-anchor=\"end\">bar</text>")) << svg;
    EXPECT_NE(std::string::npos, svg.find(">0.515</text>")) << svg;   // ticks with the fraction's decimals
    EXPECT_NE(std::string::npos, svg.find("pump.status.pressure [bar]</text>"));
    const PlotArea area = PlotAreaOf(request.width, request.height);
    size_t begin = svg.find("points=\"");
    ASSERT_NE(std::string::npos, begin);
    int x = 0, y = 0;
    ASSERT_EQ(2, sscanf(svg.c_str() + begin + 8, "%d,%d", &x, &y));
    EXPECT_EQ(area.left, x);
    EXPECT_EQ(area.top, y);   // 0.52 is the axis's top: not rounded to 0 or 1

    // Traces of different units: none on the axis, each in its legend.
    request.signals.push_back({ "motor.speed", "rpm" });
    EXPECT_EQ("", PlotCollector(request).Chart().valueLabel);
    request.signals[0].unit = "rpm";
    EXPECT_EQ("rpm", PlotCollector(request).Chart().valueLabel);
}

TEST(SignalScope, TheCommandLineNamesTheFileAndTheSignals)
{
    ScopeOptions options;
    std::string error;
    ASSERT_TRUE(ParseScopeArguments({ "--signals", "rig.toml", "--signal", "motor.speed", "--signal=pump.status" }, &options,
                                    &error)) << error;
    EXPECT_EQ("rig.toml", options.signalsFile);
    EXPECT_EQ((std::vector<std::string>{ "motor.speed", "pump.status" }), options.signalNames);
    EXPECT_FALSE(ParseScopeArguments({ "--signal=" }, &options, &error));
    EXPECT_EQ("--signal needs a name", error);
    EXPECT_FALSE(ParseScopeArguments({ "--signals" }, &options, &error));
    EXPECT_EQ("--signals needs a value", error);
}

TEST(SignalScope, TracesBySignalInPhysicalUnitsAndLateRowsFlagged)
{
    const SignalDatabase rig = ExampleRig();
    ScopeModel model(10000000, kArrayFirstByte);
    model.SetSignals(&rig, kPages);
    ASSERT_TRUE(model.Tick(kPump));          // four fields, four traces
    ASSERT_EQ(4u, model.Traces().size());
    EXPECT_EQ("pump.status.pressure [bar]", model.TraceName(3));
    EXPECT_EQ(0, model.TraceOf(kPump));
    ASSERT_TRUE(model.TickSignal({ kSpeed, 0 }));

    // A code's traces come all or none, kMaxScopeTraces at most.
    ScopeModel full(10000000, kArrayFirstByte);
    full.SetSignals(&rig, kPages);
    const uint32_t first = 0x20002000, last = first + kMaxScopeTraces - 3;   // codes the file lacks: raw
    for (uint32_t code = first; code < last; ++code)
        ASSERT_TRUE(full.Tick(code));
    EXPECT_FALSE(full.Tick(kPump));          // 61 + 4
    EXPECT_EQ(kMaxScopeTraces - 3, full.Traces().size());
    full.Untick(last - 1);
    EXPECT_TRUE(full.Tick(kPump));           // 60 + 4
    EXPECT_EQ(kMaxScopeTraces, full.Traces().size());
    EXPECT_EQ("20002000", full.TraceName(0));
    EXPECT_FALSE(full.TickSignal({ kSpeed, 0 }));
    full.SetSignals(nullptr, kPages);        // the codes raw: all fit
    EXPECT_EQ(kMaxScopeTraces - 3, full.Traces().size());
    full.Tick(0x2000300A);
    full.Tick(0x2000300B);
    full.Tick(0x2000300C);
    EXPECT_FALSE(full.SetSignals(&rig, kPages));   // in the order ticked: the pump's fields fill it
    EXPECT_EQ(kMaxScopeTraces, full.Traces().size());
    EXPECT_LE(0, full.TraceOf(kPump));
    EXPECT_EQ(-1, full.TraceOf(0x2000300C));

    bool inserted = false;
    model.Receive(kPump, 1000, PumpArray(52), &inserted);
    model.Receive(kPump, 200000, PumpArray(51), &inserted);
    LatestValue speed;
    speed.kind = kValueMessage;
    speed.value = 1001;                      // 250.25 rpm
    model.Receive(kSpeed, 200000, speed, &inserted);
    // Each message decoded once, its fields to the traces and the row; the
    // values in force read again from the history.
    const StretchReader history = [&model](uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) {
        model.LiveHistory().ForEach(from, to, visit);
    };
    EXPECT_EQ(2u, model.TraceSamples(3));
    EXPECT_DOUBLE_EQ(0.52, ValueAt(model, 3, 1000, history, kGbk).value);
    EXPECT_DOUBLE_EQ(0.52, ValueAt(model, 3, 199999, history, kGbk).value);
    EXPECT_EQ("0.51 bar", ValueAt(model, 3, 200000, history, kGbk).text);
    EXPECT_DOUBLE_EQ(250.25, ValueAt(model, 4, 200000, history, kGbk).value);
    std::vector<std::vector<Column>> shown;
    for (size_t t = 0; t < model.Traces().size(); ++t)
        shown.push_back(model.TraceColumns(t, 200000, 400));
    CursorReading reading = model.ReadAt(shown, 399);
    EXPECT_EQ("auto", reading.values.at(0));     // the mode's enum, as the readout says it
    EXPECT_EQ("closed", reading.values.at(1));   // the valve's: 0 has a name too
    EXPECT_EQ("0.51 bar", reading.values.at(3));
    EXPECT_EQ("250.25 rpm", reading.values.at(4));
    shown.resize(4);
    Axis axis = model.ValueAxis(0, { shown[3] }, 8);
    EXPECT_GE(0.51, axis.low);
    EXPECT_LT(axis.high - axis.low, 0.1);   // not widened to whole bars

    // The rows: names, values as the file reads them, lateness after 2x the period.
    const size_t pump = static_cast<size_t>(model.RowOf(kPump)), motor = static_cast<size_t>(model.RowOf(kSpeed));
    EXPECT_EQ("30000401 pump.status", model.RowName(pump));
    EXPECT_EQ("mode=auto  valve=closed  temperature=1.6 degC  pressure=0.51 bar", model.RowSignalText(pump));
    EXPECT_EQ("250.25 rpm", model.RowSignalText(motor));
    EXPECT_FALSE(model.Late(pump, 200000 + 400000));   // 200 ms period: exactly twice is on time
    EXPECT_TRUE(model.Late(pump, 200000 + 400001));
    EXPECT_FALSE(model.Late(motor, 200000 + 200000));
    EXPECT_TRUE(model.Late(motor, 200000 + 200001));

    // Save CSV: the message once, however many fields it drew; a value
    // signal's own data word.
    std::vector<RecordedMessage> saved;
    int64_t from = 0, to = 0;
    model.View(200000, &from, &to);
    ForEachShownMessage(model, { history }, from, to, [&](size_t, const RecordedMessage& message) {
        saved.push_back(message);
        return true;
    });
    ASSERT_EQ(3u, saved.size());
    EXPECT_EQ(kSpeed, saved[2].code);
    EXPECT_EQ(1001, saved[2].value);
    EXPECT_EQ(PumpArray(51).bytes, saved[1].bytes);

    // Without the file: raw codes, nothing late, no names.
    model.SetSignals(nullptr, kPages);
    EXPECT_EQ(2u, model.Traces().size());    // the codes ticked, once each
    EXPECT_EQ("30000401", model.TraceName(0));
    EXPECT_EQ("30000401", model.RowName(pump));
    EXPECT_EQ("", model.RowSignalText(pump));
    EXPECT_FALSE(model.Late(pump, 1000000000));
}

// motor.status: 0.4 A, its alive counter, its CRC-8 right unless bad.
std::string MotorStatus(unsigned alive, bool bad)
{
    uint8_t bytes[4] = { 40, 0, static_cast<uint8_t>(alive & 0x0F), 0 };
    bytes[3] = static_cast<uint8_t>(ComputeChecksum(*FindChecksumKind("crc8-sae-j1850"), bytes, 3) ^ (bad ? 1 : 0));
    return std::string(reinterpret_cast<const char*>(bytes), 4);
}

TEST(SignalScope, FaultsAreCountedPerCodeInOrderLiveAndInARecording)
{
    const SignalDatabase rig = ExampleRig();
    // alive 0 1 2 (bad crc) 4 (skipped 3), an expired payload, 9 (counted
    // afresh), 10; the pump has nothing to check.
    struct Sent { unsigned alive; bool bad, expired; };
    const Sent sent[] = { { 0, false, false }, { 1, false, false }, { 2, true, false }, { 4, false, false },
                          { 0, false, true },  { 9, false, false }, { 10, false, false } };
    std::string text = "# velk record 1\n";
    ScopeModel model(10000000, kArrayFirstByte);
    model.SetSignals(&rig, kPages);
    bool inserted = false;
    uint64_t micros = 0;
    for (const Sent& one : sent) {
        RecordedMessage message = { micros += 50000, kMotor, kArrayPayload, 0, one.expired ? "" : MotorStatus(one.alive, one.bad) };
        message.expired = one.expired;
        text += (one.expired ? std::string(kExpiredNote) + "\n" : "") + FormatRecordLine(message) + "\n";
        model.Receive(kMotor, static_cast<int64_t>(micros), [&] {
            LatestValue latest;
            latest.Set(kArrayPayload, 0, message.bytes.data(), static_cast<int32_t>(message.bytes.size()));
            latest.expired = one.expired;
            return latest;
        }(), &inserted);
        model.Receive(kPump, static_cast<int64_t>(micros), PumpArray(51), &inserted);
    }
    // The recording in batches of three: the skip from 2 to 4 spans two.
    FILE* file = FileOf(text);
    ASSERT_NE(nullptr, file);
    const size_t source = model.AddRecording("night.rec", "night.rec", text.size());
    RecordingPass pass(file, "night.rec", &rig, kPages, kArrayFirstByte);
    while (!pass.Done()) {
        PassBatch batch = pass.Next(3);
        model.ApplyBatch(source, &batch);
    }
    fclose(file);

    for (size_t s : { size_t(0), source }) {
        SCOPED_TRACE(s);
        const SourceData& data = model.Sources()[s]->data;
        const SourceRow& motor = data.Rows()[static_cast<size_t>(data.RowOf(kMotor))];
        EXPECT_EQ(7u, motor.count);
        EXPECT_EQ(1u, motor.faults.checksum);
        EXPECT_EQ(1u, motor.faults.counter);
    }
    const SourceRow& pump = model.Rows()[static_cast<size_t>(model.RowOf(kPump))];
    EXPECT_EQ(0u, pump.faults.checksum + pump.faults.counter);
    EXPECT_EQ("!crc 1  !cnt 1", FormatRowMarks(false, model.Rows()[static_cast<size_t>(model.RowOf(kMotor))].faults));
    FaultCounts many;
    many.checksum = 12;
    EXPECT_EQ("\xE8\xBF\x9F\xE5\x88\xB0 late  !crc 12", FormatRowMarks(true, many));
    EXPECT_EQ("", FormatRowMarks(false, FaultCounts()));

    // Save CSV has export's check column: each row of a message its marks,
    // judged in order; the expired payload and the pump's rows none.
    ASSERT_TRUE(model.Tick(kMotor));
    const StretchReader history = [&model](uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) {
        model.LiveHistory().ForEach(from, to, visit);
    };
    std::string csv;
    ASSERT_TRUE(WriteShownCsv(model, { history }, 0, 1000000, kGbk, [&csv](const std::string& line) {
        csv += line;
        return true;
    }));
    const std::string header = csv.substr(0, csv.find("\r\n"));
    EXPECT_EQ(",check", header.substr(header.size() - 6)) << header;
    auto count = [&csv](const std::string& what) {
        size_t n = 0;
        for (size_t at = csv.find(what); at != std::string::npos; at = csv.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(3u, count(",!crc\r\n"));   // current, alive, crc: three rows of the one message
    EXPECT_EQ(3u, count(",!cnt\r\n"));

    // Another signal file judges afresh: the old file's faults go.
    model.SetSignals(&rig, kPages);
    EXPECT_EQ(0u, model.Rows()[static_cast<size_t>(model.RowOf(kMotor))].faults.checksum);
}

TEST(SignalScope, ARecordingTicksItsFirstTracesButNoCounterOrChecksumOnePanePerUnitAndTheNextTheSame)
{
    const SignalDatabase rig = ExampleRig();
    // The motor's status: current [A], then its counter and checksum, left out.
    std::vector<DefaultTrace> chosen = ChooseDefaultTraces({ kMotor, kSpeed, kPump, 0x20001002, 0x20009999, 0x2000999A }, &rig,
                                                           8, kMaxPanes);
    struct Want { uint32_t code; size_t signal, pane; };
    const Want want[] = { { kMotor, 0, 0 }, { kSpeed, 0, 1 }, { kPump, 0, 2 }, { kPump, 1, 2 }, { kPump, 2, 3 },
                          { kPump, 3, 4 }, { 0x20001002, 0, 2 }, { 0x20009999, kRawTrace, 2 } };
    ASSERT_EQ(8u, chosen.size());   // the ninth, 2000999A, is past the eight
    for (size_t i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(want[i].code, chosen[i].code);
        EXPECT_EQ(want[i].signal, chosen[i].signal);
        EXPECT_EQ(want[i].pane, chosen[i].pane);
    }
    // Units past the panes share the last; none without a file, raw.
    chosen = ChooseDefaultTraces({ kMotor, kSpeed, kPump }, &rig, 8, 2);
    ASSERT_EQ(6u, chosen.size());
    EXPECT_EQ(1u, chosen[5].pane);
    chosen = ChooseDefaultTraces({ kMotor, kSpeed }, nullptr, 1, kMaxPanes);
    ASSERT_EQ(1u, chosen.size());
    EXPECT_EQ(kRawTrace, chosen[0].signal);

    // In the model: the panes made one per unit; a second recording gets
    // the same traces in the same panes, and the bus's are dropped on request.
    ScopeModel model(10000000, kArrayFirstByte);
    model.SetSignals(&rig, kPages);
    ASSERT_TRUE(model.TickSignal({ kSpeed, 0 }));
    const size_t night = model.AddRecording("night.rec", "night.rec", 0);
    EXPECT_TRUE(model.MirrorTraces(night));   // the bus's choice (--signal) is the recording's too
    model.UntickSource(0);
    ASSERT_EQ(1u, model.Traces().size());
    EXPECT_EQ(night, model.Traces()[0].source);
    model.UntickSource(night);
    EXPECT_FALSE(model.MirrorTraces(night));
    ASSERT_TRUE(model.TickDefaults(night, { kMotor, kSpeed, kPump }));
    EXPECT_EQ(5u, model.Panes().size());      // A, rpm, none, degC, bar
    const size_t day = model.AddRecording("day.rec", "day.rec", 0);
    ASSERT_TRUE(model.MirrorTraces(day));
    ASSERT_EQ(12u, model.Traces().size());
    for (size_t t = 0; t < 6; ++t) {
        SCOPED_TRACE(t);
        EXPECT_EQ(day, model.Traces()[6 + t].source);
        EXPECT_EQ(model.Traces()[t].code, model.Traces()[6 + t].code);
        EXPECT_EQ(model.Traces()[t].signal, model.Traces()[6 + t].signal);
        EXPECT_EQ(model.Traces()[t].pane, model.Traces()[6 + t].pane);
    }
}

} // namespace
