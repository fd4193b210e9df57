// velkctl plot with a signal file: traces by signal name in physical units,
// the unit in the legend and, when the traces share it, on the value axis;
// a name the file lacks refused with the closest it has.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/FileBytes.h"
#include "tests/velk/BusTestSupport.h"

namespace {

typedef BusTest PlotSignals;

const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nunit = \"rpm\"\nscale = 0.25\n"
    "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\n"
    "[[message.field]]\nname = \"mode\"\nbyte = 0\ntype = \"u8\"\n"
    "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\nendian = \"big\"\nunit = \"bar\"\nscale = 0.01\n";

TEST_F(PlotSignals, SignalsDrawInTheirUnitsAndAMistypedNameIsRefused)
{
    // 0.50 bar rising to 0.54 and back, and the speed at 250.25 rpm.
    std::string recording = "# velk record 1\n";
    const char* pressures[] = { "0032", "0033", "0034", "0035", "0036", "0035", "0034" };
    for (int i = 0; i < 7; ++i)
        recording += "0." + std::to_string(100000 + i * 100000).substr(0, 6) + " 30000401 A 02" + pressures[i] + "\n";
    recording += "0.750000 20001001 V 1001\n";
    const std::string path = WriteTempFile(recording);
    const std::string rig = WriteTempFile(kRig);
    const std::string svg = path + ".svg";
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunVelkctl("plot \"" + path + "\" --signals \"" + rig + "\" --signal pump.status.pressure --out \"" + svg + "\"",
                            &lines)) << (lines.empty() ? "" : lines.back());
    std::string chart = ReadFileText(svg);
    EXPECT_NE(std::string::npos, chart.find("pump.status.pressure [bar]</text>")) << chart;
    EXPECT_NE(std::string::npos, chart.find("text-anchor=\"end\">bar</text>"));    // the axis's unit
    EXPECT_NE(std::string::npos, chart.find(">0.54</text>"));                     // ticks in hundredths
    EXPECT_NE(std::string::npos, lines.back().find("plotted 7 of 8 messages")) << lines.back();

    // A message: each of its fields; with the speed, three units on one axis.
    SetEnvironmentVariableA("VELK_SIGNALS", rig.c_str());
    ASSERT_EQ(0, RunVelkctl("plot \"" + path + "\" --signal pump.status --code 20001001 --out \"" + svg + "\"", &lines));
    SetEnvironmentVariableA("VELK_SIGNALS", NULL);
    chart = ReadFileText(svg);
    EXPECT_NE(std::string::npos, chart.find(">pump.status.mode</text>"));
    EXPECT_NE(std::string::npos, chart.find("motor.speed [rpm]</text>"));
    EXPECT_EQ(std::string::npos, chart.find("text-anchor=\"end\">bar</text>"));
    DeleteFileA(svg.c_str());

    lines.clear();
    EXPECT_EQ(2, RunVelkctl("plot \"" + path + "\" --signals \"" + rig + "\" --signal pump.status.presure --out \"" + svg + "\"",
                            &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("did you mean 'pump.status.pressure'?")) << lines[0];
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(svg.c_str()));
    lines.clear();
    EXPECT_EQ(2, RunVelkctl("plot \"" + path + "\" --signal motor.speed --out \"" + svg + "\"", &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(std::string::npos, lines[0].find("needs a signal file")) << lines[0];
    DeleteFileA(path.c_str());
    DeleteFileA(rig.c_str());
}

TEST_F(PlotSignals, ReportOfARecordingAsAPageAndAsText)
{
    // The pressure beyond its max once, the mode an enum that changes twice,
    // the speed's 100 ms period broken by a gap of 0.5 s.
    const std::string rig = WriteTempFile(
        "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"100ms\"\nunit = \"rpm\"\n"
        "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\n"
        "[[message.field]]\nname = \"mode\"\nbyte = 0\ntype = \"u8\"\nenum = { 0 = \"off\", 2 = \"<auto>\" }\n"
        "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\nendian = \"big\"\nunit = \"bar\"\n"
        "scale = 0.01\nmax = 0.55\n");
    const std::string path = WriteTempFile("# velk record 1\n"
                                           "0.000000 20001001 V 1000\n0.100000 20001001 V 1001\n"
                                           "0.100000 30000401 A 000032\n0.200000 30000401 A 020038\n"
                                           "0.300000 30000401 A 000034\n0.600000 20001001 V 1002\n");
    const std::string page = path + ".html";
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunVelkctl("report \"" + path + "\" --signals \"" + rig + "\" --out \"" + page + "\"", &lines))
        << (lines.empty() ? "" : lines.back());
    EXPECT_NE(std::string::npos, lines.back().find("reported 6 messages of 2 codes")) << lines.back();
    const std::string html = ReadFileText(page);
    EXPECT_EQ(0u, html.find("<!DOCTYPE html>"));
    EXPECT_NE(std::string::npos, html.find("<td>pump.status.pressure</td><td>bar</td><td class=\"n\">3</td>")) << html;
    EXPECT_NE(std::string::npos, html.find("<td>&lt;auto&gt; (2)</td>"));
    EXPECT_NE(std::string::npos, html.find("<td class=\"n\">0.100000</td><td class=\"n\">0.500000</td>"));   // the gap
    EXPECT_NE(std::string::npos, html.find(">motor.speed</text>"));   // its chart's title
    DeleteFileA(page.c_str());

    lines.clear();
    ASSERT_EQ(0, RunVelkctl("report \"" + path + "\" --signals \"" + rig + "\" --text", &lines));
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    EXPECT_NE(std::string::npos, text.find("Limit violations")) << text;
    EXPECT_NE(std::string::npos, text.find("above max 0.55")) << text;
    EXPECT_EQ(2, RunVelkctl("report \"" + path + "\"", &lines));   // neither --out nor --text
    DeleteFileA(path.c_str());
    DeleteFileA(rig.c_str());
}

} // namespace
