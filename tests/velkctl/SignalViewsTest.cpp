// velkctl's text views and sends with a signal file (the example rig):
// monitor's lines and JSON, top's rows, export's columns, posts by name,
// and a bad file refused before anything starts.
#include <string.h>

#include <string>
#include <vector>

#include "velk/VelkApi.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest SignalViews;

const std::string kRig = std::string(" --signals \"") + CORVANE_SIGNALS_EXAMPLE + "\"";

// pump.status: mode auto, valve open, temperature -0.1 degC, pressure 2.41 bar.
const char kPump[] = "\x12\xff\x0f\x00\xf1\x00";

bool Has(const std::vector<std::string>& lines, const std::string& wanted)
{
    for (const std::string& line : lines) {
        if (line.find(wanted) != std::string::npos)
            return true;
    }
    return false;
}

TEST_F(SignalViews, MonitorShowsTheSignalsUnderTheRawLineAndInTheJson)
{
    ChildProcess text, json;
    ASSERT_TRUE(text.Start("velkctl.exe", "monitor --count 5 --timeout 30" + kRig));
    ASSERT_TRUE(json.Start("velkctl.exe", "monitor --jsonl --count 5 --timeout 30" + kRig));
    ASSERT_TRUE(WaitForClients(2));
    ASSERT_GE(vPostData(window_, 0x20001001, 593, 4), 1);
    ASSERT_GE(vPostData(window_, 0x30000401, reinterpret_cast<LPARAM>(kPump), 6), 1);
    ASSERT_GE(vPostData(window_, 0x20001077, 7, 4), 1);   // not in the file
    const char ready[] = "\xbe\xcd\xd0\xf7";               // GBK
    ASSERT_GE(vPostData(window_, 0x30000201, reinterpret_cast<LPARAM>(ready), 4), 1);
    Sleep(600);   // three times motor.speed's period: late, and counted
    ASSERT_GE(vPostData(window_, 0x20001001, 593, 4), 1);
    ASSERT_EQ(0, text.Wait(30000));
    ASSERT_EQ(0, json.Wait(30000));

    std::vector<std::string> lines = text.Lines();
    ASSERT_EQ(10u, lines.size());
    EXPECT_EQ(0u, lines[8].find("    ~")) << lines[8];
    EXPECT_NE(std::string::npos, lines[8].find("ms  motor.speed=148.25 rpm")) << lines[8];
    EXPECT_EQ("velkctl: monitor: 1 message came more than twice their period after the one before (marked ~)", lines[9]);
    EXPECT_EQ("20001001      593", WithoutDelta(lines[0]));   // the raw line as without a file
    EXPECT_EQ("    motor.speed=148.25 rpm", lines[1]);
    EXPECT_EQ(0u, WithoutDelta(lines[2]).find("30000401(  6)"));
    EXPECT_EQ("    pump.status.mode=auto  pump.status.valve=open  pump.status.temperature=-0.1 degC  "
              "pump.status.pressure=2.41 bar", lines[3]);
    EXPECT_EQ("20001077      7", WithoutDelta(lines[4]));
    EXPECT_EQ(0u, lines[6].find("    rig.text=\""));

    lines = json.Lines();
    ASSERT_EQ(6u, lines.size());
    EXPECT_EQ(std::string::npos, lines[0].find("late_ms"));
    EXPECT_NE(std::string::npos, lines[4].find(",\"late_ms\":")) << lines[4];
    EXPECT_NE(std::string::npos, lines[0].find(",\"signals\":{\"motor.speed\":148.25}}")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find("\"signals\":{\"pump.status.mode\":{\"name\":\"auto\",\"raw\":2},"
                                               "\"pump.status.valve\":{\"name\":\"open\",\"raw\":1},"
                                               "\"pump.status.temperature\":-0.1,\"pump.status.pressure\":2.41}}"))
        << lines[1];
    EXPECT_EQ(std::string::npos, lines[2].find("signals"));
    EXPECT_NE(std::string::npos, lines[3].find("\"signals\":{\"rig.text\":\"\xe5\xb0\xb1\xe7\xbb\xaa\"}")) << lines[3];
}

TEST_F(SignalViews, TopNamesEachSignalAndMarksLimitsAndLateness)
{
    ChildProcess top;
    ASSERT_TRUE(top.Start("velkctl.exe", "top --interval 300ms --count 3" + kRig));
    ASSERT_TRUE(WaitForClients(1));
    ASSERT_GE(vPostData(window_, 0x20001001, 593, 4), 1);
    const char high[] = "\x02\x00\x00\x03\xea\x00";   // pressure 10.02 bar, above its max 10
    ASSERT_GE(vPostData(window_, 0x30000401, reinterpret_cast<LPARAM>(high), 6), 1);
    ASSERT_EQ(0, top.Wait(20000));

    std::vector<std::string> lines = top.Lines();
    EXPECT_TRUE(Has(lines, "     AGE  NAME                     VALUE"));
    // As the last block shows them: the motor sent once, 600 ms and more
    // ago, its period 100 ms.
    std::string speed, pressure, valve;
    for (const std::string& line : lines) {
        if (line.find("motor.speed ") != std::string::npos)
            speed = line;
        if (line.find("pump.status.pressure ") != std::string::npos)
            pressure = line;
        if (line.find("pump.status.valve ") != std::string::npos)
            valve = line;
    }
    EXPECT_EQ(0u, speed.find("~ 20001001 WV    ADC       1          1 ")) << speed;
    EXPECT_NE(std::string::npos, speed.find("148.25 rpm")) << speed;
    EXPECT_EQ('!', pressure[0]) << pressure;
    EXPECT_NE(std::string::npos, pressure.find("10.02 bar (above max 10 bar)")) << pressure;
    EXPECT_EQ(0u, valve.find("~          ")) << valve;   // a field's row: no code columns
    EXPECT_NE(std::string::npos, valve.find("closed"));
}

TEST_F(SignalViews, ExportAddsARowPerSignalWithTheRawColumns)
{
    // The rig has a counter and a checksum (motor.status): the check column
    // marks a bad checksum; an expired payload is not judged, and the
    // counter after it (0, then 2) starts afresh.
    std::string recording = WriteTempFile("# velk record 1\n0.000000 20001001 V -4\n0.100000 30000401 A 12ff0f00f100\n"
                                          "0.200000 20001077 V 9\n0.300000 30000403 A 28000000\n"
                                          "# the next message's payload had expired\n0.400000 30000403 A -\n"
                                          "0.500000 30000403 A 280002f7\n");
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunVelkctl("export \"" + recording + "\" --out -" + kRig, &lines));
    ASSERT_EQ(17u, lines.size());
    EXPECT_EQ("\xEF\xBB\xBFtime,seconds,code,direction,type,channel,kind,value,text,bytes,length,name,signal,physical,unit,"
              "check", lines[0]);
    EXPECT_EQ(",0.000000,0x20001001,Write Value,ADC,1,value,-4,,,,motor.speed,motor.speed,-1,rpm,", lines[1]);
    const std::string pump = ",0.100000,0x30000401,Read Value+Write Value,ARR,1,array,,,0x12ff0f00f100,6,pump.status,";
    EXPECT_EQ(pump + "pump.status.mode,auto,,", lines[2]);
    EXPECT_EQ(pump + "pump.status.temperature,-0.1,degC,", lines[4]);
    EXPECT_EQ(pump + "pump.status.pressure,2.41,bar,", lines[5]);
    EXPECT_EQ(",0.200000,0x20001077,Write Value,ADC,119,value,9,,,,,,,,", lines[6]);
    EXPECT_EQ(",0.300000,0x30000403,Read Value+Write Value,ARR,3,array,,,0x28000000,4,motor.status,motor.status.current,"
              "0.4,A,!crc", lines[7]);
    EXPECT_EQ(",0.400000,0x30000403,Read Value+Write Value,ARR,3,array,,,,0,motor.status,motor.status.current,,A,", lines[10]);
    EXPECT_EQ(",0.500000,0x30000403,Read Value+Write Value,ARR,3,array,,,0x280002f7,4,motor.status,motor.status.alive,2,,",
              lines[14]);
    EXPECT_NE(std::string::npos, lines[16].find("exported 6 messages"));

    // --wide: a row per time step, a column per signal, each holding its value.
    ASSERT_EQ(0, RunVelkctl("export \"" + recording + "\" --wide --out - --code 20001001 --code 30000401" + kRig,
                            &lines));
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("\xEF\xBB\xBFtime,seconds,motor.speed (rpm),pump.status.mode,pump.status.valve,"
              "pump.status.temperature (degC),pump.status.pressure (bar)", lines[0]);
    EXPECT_EQ(",0.000000,-1,,,,", lines[1]);
    EXPECT_EQ(",0.100000,-1,auto,open,-0.1,2.41", lines[2]);
    EXPECT_EQ("velkctl: exported 2 messages (4 filtered out) as 2 rows of 5 columns to standard output", lines[3]);
    DeleteFileA(recording.c_str());
}

TEST_F(SignalViews, PostAndSendArrByNameEncodeOrRefuse)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "watcher"));
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("post motor.speed 148.3" + kRig, &lines));   // the nearest raw value: 593
    EXPECT_EQ((std::vector<std::string>{ "20001001      593", "    motor.speed=148.25 rpm" }), lines);
    EXPECT_EQ(0, RunVelkctl("post motor.state RUNNING" + kRig));
    EXPECT_EQ(0, RunVelkctl("send-arr pump.status pressure=2.41 valve=open --base 0100000000000000" + kRig, &lines));
    EXPECT_EQ(0u, lines[0].find("30000401(  8)")) << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("11 00 00 00 F1 00 00 00")) << lines[0];
    EXPECT_EQ("    pump.status.mode=manual  pump.status.valve=open  pump.status.temperature=0 degC  "
              "pump.status.pressure=2.41 bar", lines[1]);
    EXPECT_EQ(0, RunVelkctl("post 20001001 5" + kRig));   // a code stays a code
    // rig.text is gbk: the typed text (code page 936) goes as GBK, and its line shows it decoded.
    EXPECT_EQ(0, RunVelkctl("send-str rig.text \"\xbe\xcd\xd0\xf7\\t1\"" + kRig, &lines));
    EXPECT_EQ("    rig.text=\"\xbe\xcd\xd0\xf7\\t1\"", lines.at(1));
    std::vector<BusMessage> received = Receive(window_, 5);
    ASSERT_EQ(5u, received.size());
    EXPECT_EQ(0x20001001u, received[0].code);
    EXPECT_EQ(593, static_cast<int32_t>(received[0].dataWord));
    EXPECT_EQ(0x20001002u, received[1].code);
    EXPECT_EQ(2, static_cast<int32_t>(received[1].dataWord));
    int length = 0;
    const char* payload = vGetp(received[2].dataWord, &length);
    ASSERT_EQ(8, length);
    EXPECT_EQ(0, memcmp("\x11\x00\x00\x00\xf1\x00\x00\x00", payload, 8));
    EXPECT_EQ(5, static_cast<int32_t>(received[3].dataWord));
    EXPECT_EQ(0x30000201u, received[4].code);
    payload = vGetp(received[4].dataWord, &length);
    ASSERT_EQ(6, length);
    EXPECT_EQ(0, memcmp("\xbe\xcd\xd0\xf7\t1", payload, 6));

    struct Refused {
        const char* arguments;
        const char* says;
    } refused[] = {
        { "post motor.speed 3000.25", "velkctl: post: motor.speed: 3000.25 rpm is above its max 3000 rpm" },
        { "post motor.speed -0.25", "motor.speed: -0.25 rpm is below its min 0 rpm" },
        { "post motor.state RUNING", "did you mean 'RUNNING'?" },
        { "post motr.speed 1", "no value signal 'motr.speed' in the signal file (did you mean 'motor.speed'?)" },
        { "post pump.status 1", "pump.status is an array message: use send-arr" },
        { "send-arr pump.status pressure=10.01", "pump.status.pressure: 10.01 bar is above its max 10 bar" },
        { "send-arr pump.status mode=auto --base 0g", "bad --base" },
        { "send-arr 1 01 02", "send-arr: unexpected argument '02'" },
        { "send-str pump.status x", "velkctl: send-str: pump.status is an array message: use send-arr" },
        { "send-str rig.txt x", "no string message 'rig.txt' in the signal file (did you mean 'rig.text'?)" },
    };
    for (const Refused& test : refused) {
        EXPECT_EQ(2, RunVelkctl(test.arguments + kRig, &lines)) << test.arguments;
        EXPECT_TRUE(Has(lines, test.says)) << test.arguments << ": " << (lines.empty() ? "" : lines[0]);
    }
    // A value in the signal's own unit; another unit is refused.
    EXPECT_EQ(0, RunVelkctl("post motor.speed 100rpm" + kRig, &lines));
    EXPECT_EQ("20001001      400", lines.at(0));
    EXPECT_EQ(2, RunVelkctl("post motor.speed 100rps" + kRig, &lines));
    EXPECT_TRUE(Has(lines, "velkctl: post: motor.speed: 'rps' is not its unit: give the number in rpm"));
    // A name without a signal file says so; a mistyped code is still a bad code.
    for (const char* arguments : { "post motor.speed 1", "send-arr pump.status mode=auto", "send-str rig.text x" }) {
        EXPECT_EQ(2, RunVelkctl(arguments, &lines)) << arguments;
        EXPECT_TRUE(Has(lines, ": no signal file: use --signals FILE or set VELK_SIGNALS (to name '")) << arguments;
    }
    EXPECT_EQ(2, RunVelkctl("post 2000100G 1", &lines));
    EXPECT_TRUE(Has(lines, "bad code '2000100G'"));
    EXPECT_EQ(6u, Counters()["posted"]);

    // A multiplexed field sets its selector, and the line shows only what the selector chooses.
    const std::string paged = WriteTempFile("[[message]]\ncode = \"30000402\"\nname = \"m\"\n"
                                            "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\nmux = true\n"
                                            "[[message.field]]\nname = \"temp\"\nbyte = 1\ntype = \"u8\"\nmux_value = 0\n"
                                            "[[message.field]]\nname = \"press\"\nbyte = 1\ntype = \"u8\"\nmux_value = [2, 9]\n");
    const std::string pages = " --signals \"" + paged + "\"";
    EXPECT_EQ(0, RunVelkctl("send-arr m press=7" + pages, &lines));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("30000402(  2) 02 07", lines[0]);
    EXPECT_EQ("    m.page=2  m.press=7", lines[1]);
    EXPECT_EQ(2, RunVelkctl("send-arr m temp=1 press=3" + pages, &lines));
    EXPECT_TRUE(Has(lines, "velkctl: send-arr: m.press: no value of page puts it in one payload with m.temp"));
    DeleteFileA(paged.c_str());
}

TEST_F(SignalViews, ABadSignalFileIsRefusedAtItsLineBeforeAnythingStarts)
{
    std::string bad = WriteTempFile("[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nscale = 0\n"
                                    "[[message]]\ncode = \"2000100G\"\nname = \"x\"\n");
    std::string name = bad.substr(bad.find_last_of("\\/") + 1);
    const std::string commands[] = { "monitor --count 1", "top --count 1", "post motor.speed 1", "send-arr 1 01",
                                     "export nothing.txt" };
    for (const std::string& command : commands) {
        std::vector<std::string> lines;
        EXPECT_EQ(2, RunVelkctl(command + " --signals \"" + bad + "\"", &lines)) << command;
        ASSERT_EQ(2u, lines.size()) << command;
        EXPECT_NE(std::string::npos, lines[0].find(name + ":4:9: ")) << lines[0];
        EXPECT_NE(std::string::npos, lines[1].find(name + ":6:8: ")) << lines[1];
    }
    // VELK_SIGNALS names the same file when --signals does not.
    SetEnvironmentVariableA("VELK_SIGNALS", bad.c_str());
    std::vector<std::string> lines;
    EXPECT_EQ(2, RunVelkctl("monitor --count 1", &lines));
    SetEnvironmentVariableA("VELK_SIGNALS", NULL);
    EXPECT_TRUE(Has(lines, name + ":4:9: "));
    EXPECT_TRUE(ClientLines().empty());   // nothing ever registered
    EXPECT_EQ(0u, Counters()["posted"]);
    DeleteFileA(bad.c_str());

    // Enum names in free text, typed in code page 936, as they are or quoted; shown quoted.
    const std::string rig = WriteTempFile("[[message]]\ncode = \"20001001\"\nname = \"m\"\n"
                                          "enum = { 0 = \"No Fault\", 1 = \"\\u6545\\u969c \\u4e00\" }\n");
    const std::string file = " --signals \"" + rig + "\"";
    EXPECT_EQ(0, RunVelkctl("post m \"\\\"\xb9\xca\xd5\xcf \xd2\xbb\\\"\"" + file, &lines));
    EXPECT_TRUE(Has(lines, "    m=\"\xb9\xca\xd5\xcf \xd2\xbb\"")) << (lines.empty() ? "" : lines[0]);
    EXPECT_EQ(0, RunVelkctl("post m \"No Fault\"" + file, &lines));
    EXPECT_TRUE(Has(lines, "    m=\"No Fault\""));
    DeleteFileA(rig.c_str());
}

} // namespace
