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

} // namespace
