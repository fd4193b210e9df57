// velkctl report's statistics at their edges and its page's escaping.
#include <fstream>

#include <gtest/gtest.h>

#include "formats/RecordReader.h"
#include "signals/Checksum.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"
#include "velkctl/ReportTables.h"

namespace {

// The speed every 100 ms between 0 and 3000; the state an enum whose names
// and the speed's unit are markup; a frame with a counter and a crc8.
const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"100ms\"\nmin = 0\nmax = 3000\n"
    "unit = \"<i>&\\\"'\"\n"
    "[[message]]\ncode = \"20001002\"\nname = \"pump.state\"\nenum = { 0 = \"STOPPED\", 2 = \"<RUN&>\" }\n"
    "[[message]]\ncode = \"30000402\"\nname = \"frame\"\nperiod = \"20ms\"\n"
    "[[message.field]]\nname = \"v\"\nbyte = 0\ntype = \"u8\"\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 1\ntype = \"u8\"\ncounter = true\n"
    "[[message.field]]\nname = \"crc\"\nbyte = 2\ntype = \"u8\"\nchecksum = { kind = \"crc8\", bytes = \"0-1\" }\n";

std::string FrameLine(const char* time, unsigned v, unsigned alive, bool goodCrc)
{
    const uint8_t bytes[2] = { static_cast<uint8_t>(v), static_cast<uint8_t>(alive) };
    unsigned crc = static_cast<unsigned>(ComputeChecksum(*FindChecksumKind("crc8"), bytes, 2)) ^ (goodCrc ? 0 : 0xFF);
    char line[64];
    snprintf(line, sizeof line, "%s 30000402 A %02x%02x%02x\n", time, v, alive, crc);
    return line;
}

struct Reported {
    SignalDatabase database;
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    std::unique_ptr<RecordingReport> report;

    explicit Reported(const std::string& recording)
    {
        std::vector<std::string> errors;
        EXPECT_TRUE(LoadSignalFile(kRig, "rig.toml", &database, &errors)) << (errors.empty() ? "" : errors[0]);
        report.reset(new RecordingReport(database, pages));
        RecordReader reader(recording, "rec.txt");
        RecordedMessage message;
        while (reader.Next(&message))
            report->Add(message);
        EXPECT_EQ(kRecordRead, reader.Outcome()) << reader.Error();
    }
};

std::string Recording()
{
    // Gaps of the speed: 0.3 s (three periods, on time), then 0.300001 s and
    // twelve of 1 s (longer: listed up to ten, the rest counted). Values at
    // its min and max (within) and just beyond both.
    std::string text = "# velk record 1\n"
                       "0.000000 20001001 V 0\n"
                       "0.100000 20001001 V 3000\n"
                       "0.400000 20001001 V 3001\n"
                       "0.700001 20001001 V -1\n";
    for (int k = 0; k < 12; ++k)
        text += std::to_string(1 + k) + ".700001 20001001 V 100\n";
    // The state: STOPPED, <RUN&> twice, STOPPED, 5: three changes.
    text += "13.000000 20001002 V 0\n13.100000 20001002 V 2\n13.200000 20001002 V 2\n"
            "13.300000 20001002 V 0\n13.400000 20001002 V 5\n";
    // The frame: its counter skips once, its crc is wrong once.
    text += FrameLine("14.000000", 1, 7, true) + FrameLine("14.020000", 2, 8, true) +
            FrameLine("14.040000", 3, 10, true) + FrameLine("14.060000", 4, 11, false) +
            FrameLine("14.080000", 5, 12, false);
    return text;
}

TEST(RecordingReports, GapsLimitsEnumsAndChecksAtTheirEdges)
{
    Reported reported(Recording());
    const RecordingReport& report = *reported.report;
    EXPECT_EQ(26u, report.Messages());
    ASSERT_EQ(3u, report.Codes().size());

    const CodeReport& speed = report.Codes()[0];
    EXPECT_EQ(16u, speed.count);
    EXPECT_EQ(13u, speed.longGaps);   // not the one of exactly three periods
    ASSERT_EQ(size_t(kReportListed), speed.gaps.size());
    EXPECT_EQ(400000u, speed.gaps[0].fromMicros);
    EXPECT_EQ(300001u, speed.gaps[0].lengthMicros);
    EXPECT_EQ(1000000u, speed.longest.lengthMicros);
    EXPECT_EQ(700001u, speed.longest.fromMicros);   // the first of the longest
    EXPECT_EQ(0u, speed.checksumFaults + speed.counterFaults);

    const CodeReport& frame = report.Codes()[2];
    EXPECT_EQ(2u, frame.checksumFaults);
    EXPECT_EQ(14060000u, frame.firstChecksumFault);
    EXPECT_EQ(1u, frame.counterFaults);
    EXPECT_EQ(14040000u, frame.firstCounterFault);

    const SignalReport& values = report.Signals()[0];
    EXPECT_EQ("motor.speed", values.signal->name);
    EXPECT_EQ(-1, values.min);
    EXPECT_EQ(3001, values.max);
    EXPECT_DOUBLE_EQ(450, values.Mean());
    EXPECT_EQ(2u, values.violations);   // 3001 and -1; 0 and 3000 are within
    ASSERT_EQ(2u, values.violationList.size());
    EXPECT_EQ(400000u, values.violationList[0].micros);
    EXPECT_EQ(700001u, values.violationList[1].micros);

    const SignalReport& state = report.Signals()[1];
    EXPECT_EQ(3u, state.transitions);
    ASSERT_EQ(3u, state.transitionList.size());
    EXPECT_EQ(0, state.transitionList[0].from);
    EXPECT_EQ(2, state.transitionList[0].to);
    EXPECT_EQ(5, state.transitionList[2].to);

    // Every drawn signal a chart on the recording's time axis.
    const std::vector<SvgChart> charts = report.Charts();
    ASSERT_EQ(report.Signals().size(), charts.size());
    EXPECT_EQ("pump.state", charts[1].title);
    EXPECT_EQ(0, charts[0].fromSeconds);
    EXPECT_EQ(charts[0].toSeconds, charts[4].toSeconds);
    EXPECT_GE(charts[0].toSeconds, 14.08);

    const std::vector<ReportTable> tables = ReportTables(report, ReportHeading());
    const ReportTable& gaps = tables[2];
    EXPECT_EQ(size_t(kReportListed), gaps.rows.size());
    EXPECT_NE(std::string::npos, gaps.more.find(" 3 more not listed")) << gaps.more;
    EXPECT_EQ("0.300001", gaps.rows[0][3]);
    const ReportTable& transitions = tables[5];
    EXPECT_EQ("<RUN&> (2)", transitions.rows[0][2]);
    EXPECT_EQ("5", transitions.rows[2][2]);
}

TEST(RecordingReports, ThePageEscapesUserTextAndFetchesNothing)
{
    Reported reported(Recording());
    ReportHeading heading;
    heading.recording = "run<1>&'\".txt";
    heading.signalFile = "rig.toml";
    const std::string page = ReportHtml(*reported.report, heading);
    EXPECT_EQ(0u, page.find("<!DOCTYPE html>"));
    EXPECT_NE(std::string::npos, page.find("default-src 'none'"));
    EXPECT_NE(std::string::npos, page.find("run&lt;1&gt;&amp;&apos;&quot;.txt"));
    EXPECT_NE(std::string::npos, page.find("&lt;RUN&amp;&gt; (2)"));
    EXPECT_NE(std::string::npos, page.find("&lt;i&gt;&amp;&quot;&apos;"));   // the unit, in the table and the legend
    for (const char* raw : { "<RUN", "<i>", "<1>", "<?xml", "<script", "src=", "href=\"http", "url(" })
        EXPECT_EQ(std::string::npos, page.find(raw)) << raw;
    EXPECT_EQ(5u, [&] {
        size_t count = 0;
        for (size_t at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1))
            ++count;
        return count;
    }());

    // For tests/browser: the page in headless Chromium.
    std::ofstream(CORVANE_HTML_CHECK_DIR "/recording-report.html", std::ios::binary) << page;

    const std::string text = ReportText(*reported.report, heading);
    EXPECT_NE(std::string::npos, text.find("run<1>&'\".txt"));
    EXPECT_NE(std::string::npos, text.find("<RUN&> (2)"));
}

TEST(RecordingReports, EveryListStopsAtItsBoundAndCountsTheRest)
{
    // 65 drawn signals (64 charts), an enum stepping through 18 values (17
    // kinds of change listed up to 16), and 4,097 codes (4,096 reported).
    std::string rig = "[[message]]\ncode = \"20000001\"\nname = \"step\"\nenum = { 0 = \"ZERO\" }\n";
    for (int i = 0; i < 64; ++i)
        rig += "[[message]]\ncode = \"" + std::to_string(20001000 + i) + "\"\nname = \"s" + std::to_string(i) + "\"\n";
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(rig, "rig.toml", &database, &errors)) << errors[0];
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    RecordingReport report(database, pages);
    RecordedMessage message;
    message.kind = kValueMessage;
    message.micros = 0;
    for (int32_t value = 0; value < 18; ++value) {
        message.code = 0x20000001;
        message.value = value;
        report.Add(message);
    }
    for (uint32_t code = 1; code < kReportCodes; ++code) {   // with the step, kReportCodes
        message.code = 0x20100000 + code;
        report.Add(message);
    }
    EXPECT_EQ(size_t(kReportCodes), report.Codes().size());
    EXPECT_EQ(0u, report.UnlistedMessages());
    message.code = 0x20000001;   // a code already listed still counts
    report.Add(message);
    message.code = 0x20200000;
    report.Add(message);
    EXPECT_EQ(size_t(kReportCodes), report.Codes().size());
    EXPECT_EQ(1u, report.UnlistedMessages());

    EXPECT_EQ(65u, report.Signals().size());
    EXPECT_EQ(1u, report.UndrawnSignals());
    EXPECT_EQ(size_t(kReportPlots), report.Charts().size());
    const SignalReport& step = report.Signals()[0];
    EXPECT_EQ(17u, step.transitions);   // 0 -> 1 ... 16 -> 17; the last 17 again is none
    EXPECT_EQ(size_t(kReportTransitions), step.transitionList.size());
    const std::vector<ReportTable> tables = ReportTables(report, ReportHeading());
    EXPECT_NE(std::string::npos, tables[5].more.find(" 1 of other kinds")) << tables[5].more;
    EXPECT_NE(std::string::npos, tables[0].more.find("1 messages of codes past the first 4096")) << tables[0].more;
}

} // namespace
