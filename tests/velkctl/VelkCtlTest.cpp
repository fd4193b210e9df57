// velkctl's arguments, the public variables as velkctl and a client see
// them, and a 32-bit client beside 64-bit ones.
#include <string.h>

#include <algorithm>
#include <sstream>

#include "velk/VelkApi.h"
#include "protocol/MessageCode.h"
#include "tests/FileBytes.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/SharedBus.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Velkctl;
typedef BusTest PublicVariables;
typedef BusTest MixedWidths;

// The path Wine's host gives a Windows path ("/tmp/..."); empty off Wine.
std::string UnixPath(const std::string& windowsPath)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    ToUnix toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH];
    if (toUnix == NULL || MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH) == 0)
        return std::string();
    char* unixPath = toUnix(wide);
    if (unixPath == NULL)
        return std::string();
    std::string path(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return path;
}

TEST_F(Velkctl, BadArgumentsEndWithAMessageAndAnExitCode)
{
    // One byte beyond what a message carries.
    const std::string tooLarge = WriteTempFile(std::string(kMaxPayloadBytes + 1, 'x'));
    ASSERT_FALSE(tooLarge.empty());
    // A recording whose second line holds a NUL and an escape sequence.
    const std::string hostile = WriteTempFile(std::string("# velk record 1\n0 20000801 \0\x1b[2J 1\n", 35));
    ASSERT_FALSE(hostile.empty());

    struct Case {
        std::string arguments;
        int exitCode;
        const char* message;  // a part of the first line
    };
    std::vector<Case> cases = {
        { "", 2, "a command is required" },
        { "post 0x20000801", 2, "post: VALUE is required" },
        { "post 0xZZ 1", 2, "bad code '0xZZ'" },
        { "post 0x20000801 4294967296", 2, "value 4294967296 is out of range -2147483648 to 4294967295" },
        { "post 0x30000201 1", 2, "use send-str or send-arr" },   // a value would pass as an address
        { "send-str 256 x", 2, "channel 256 is out of range 0-255" },
        { "monitor 0x800 --timeout 8640001", 2, "bad timeout '8640001': too long" },   // seconds: over 100 days
        { "monitor --timeout 2x", 2, "bad timeout '2x': unknown unit" },
        { "monitor 0x800 --count -1", 2, "count -1 is out of range: 0 or more" },
        { "monitor --duration 0", 2, "bad duration '0': must be more than 0" },
        { "monitor --duration 1s --timeout 1s", 2, "monitor: --duration does not go with --timeout" },
        { "monitor 0x100000000", 2, "mask 0x100000000 is out of range 0-0xFFFFFFFF" },
        { "monitor --code 2000100G", 2, "bad code '2000100G'" },
        { "monitor --code 20001001/1FFFFFFFF", 2, "bad code mask '1FFFFFFFF'" },
        { "record x.txt --channel 256", 2, "channel 256 is out of range 0-255" },
        { "stats --type STRING", 2, "bad type 'STRING'" },
        { "set-var -1 1", 2, "index -1 is out of range 0-2147483647" },
        { "set-var 64 1", 3, "no such public variable" },
        // Mistyped words: the parser's own codes become 2, the closest word is named.
        { "frobnicate", 2, "unknown command 'frobnicate'; velkctl --help lists the commands" },
        { "psot 0x20000801 1", 2, "unknown command 'psot'; did you mean 'post'?" },
        { "help psot", 2, "unknown command 'psot'; did you mean 'post'?" },
        { "--bsu x vars", 2, "unknown option '--bsu'; did you mean '--bus'?" },
        { "monitor 0x800 --cuont 1", 2, "monitor: unknown option '--cuont'; did you mean '--count'?" },
        { "post 0x20000801 1 2", 2, "post: unexpected argument '2'" },
        { "vars --count 2", 2, "vars: --interval and --count go with --watch" },
        // send-arr: every token one byte in hex, 1 to 20 of them.
        { "send-arr 1 \"zz yy\"", 2, "bad byte 'zz'" },
        { "send-arr 1 \"01 1FF 100 -1\"", 2, "bad byte '1FF'" },
        { "send-arr 1 \"0x1\"", 2, "bad byte '0x1'" },
        { "send-arr 1 \"   \"", 2, "no bytes" },
        { "send-arr 1 \"1 2 3 4 5 6 7 8 9 a b c d e f 10 11 12 13 14 15\"", 2, "too many bytes: '15'" },
        { "send-str 1", 2, "needs TEXT or --file" },
        { "send-str 1 --file no-such-file", 5, "cannot open 'no-such-file'" },
        { "send-str 1 --file \"" + tooLarge + "\"", 2, "holds more than 65536 bytes" },
        { "--bus " + std::string(250, 'x') + " post 0x10000801 4242", 1, "no bus: " },   // never another bus
        // Not held by the code page: both would become "velk?" (UTF-8 here, the wide command line for velkctl).
        { "--bus velk\xF0\x9F\x98\x80 post 0x10000801 4242", 1, "no bus: the bus name is unusable: " },
        { "--bus=velk\xF0\x9F\x99\x82 post 0x10000801 4242", 1, "no bus: the bus name is unusable: " },
        // A speed too small to tell from 0 is out of range, not "as fast as possible".
        { "replay no-such-file --speed 1e-400", 2, "bad speed '1e-400': expected 0" },
        // Input quoted in a message: short, escaped, whole to its end.
        { "post \"0x\x1b[31m\" 1", 2, "bad code '0x\\x1b[31m': expected" },
        { "post " + std::string(5000, '9') + " 1", 2, "9999...' (5000 bytes): expected 1 to 8 hex digits" },
        { "replay \"" + hostile + "\"", 2, ":2: bad kind '\\x00\\x1b[2J': expected V, S or A" },
    };
    // A path starting with '/' is a file, not a Windows-style option.
    const std::string unixTooLarge = UnixPath(tooLarge);
    if (!unixTooLarge.empty())
        cases.push_back({ "send-str 1 --file " + unixTooLarge, 2, "holds more than 65536 bytes" });
    for (const Case& test : cases) {
        SCOPED_TRACE(test.arguments);
        std::vector<std::string> lines;
        int exitCode = RunVelkctl(test.arguments, &lines);
        EXPECT_EQ(test.exitCode, exitCode);
        ASSERT_FALSE(lines.empty());
        EXPECT_NE(std::string::npos, lines[0].find(test.message)) << lines[0];
        EXPECT_LT(lines[0].size(), 400u);
    }
    // --duration ends a monitor as it ends record and simulate: no failure, whatever --count reached.
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("monitor --count 5 --duration 300ms", &lines));
    EXPECT_EQ(4, RunVelkctl("monitor --count 5 --timeout 300ms", &lines));
    DeleteFileA(tooLarge.c_str());
    DeleteFileA(hostile.c_str());
    EXPECT_TRUE(ClientLines().empty());   // nothing was left registered
    EXPECT_EQ(0u, Counters()["posted"]);
    EXPECT_EQ(0u, Counters()["refused"]);   // refused by velkctl, never handed to the library
}

TEST_F(Velkctl, SignalsCheckCountsAGoodFileAndNamesEveryMistakeAtItsLine)
{
    const std::string good = WriteTempFile(
        "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nunit = \"rpm\"\nscale = 0.25\n"
        "[[message]]\ncode = \"30000401\"\nname = \"pump\"\n"
        "[[message.field]]\nname = \"mode\"\nbyte = 0\nbits = 4\ntype = \"u8\"\n"
        "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\nendian = \"big\"\n");
    const std::string bad = WriteTempFile(
        "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nscael = 2\n"
        "[[message]]\ncode = \"30000401\"\nname = \"pump\"\n"
        "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\n");
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("signals check " + good, &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("2 messages, 3 signals", lines[0]);
    EXPECT_EQ(0, RunVelkctl("signals show " + good + " pump.pressure", &lines));
    EXPECT_FALSE(lines.empty());

    EXPECT_EQ(2, RunVelkctl("signals check " + bad, &lines));   // every mistake, each at its line
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(":4:1: unknown key 'scael'")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find(":8:")) << lines[1];
    EXPECT_NE(std::string::npos, lines[1].find("endian")) << lines[1];
    EXPECT_EQ(2, RunVelkctl("signals frob " + good, &lines));
    EXPECT_EQ(2, RunVelkctl("signals show " + good + " no.such", &lines));
    DeleteFileA(good.c_str());
    DeleteFileA(bad.c_str());
}

TEST_F(Velkctl, SignalsImportWritesAFileThatChecksAndListsWhatItLeftOut)
{
    // Latin-1, as older tools write it: the degree sign is the byte B0.
    const std::string dbc = WriteTempFile(
        "BU_: ECU\n"
        "BO_ 291 Engine: 8 ECU\n"
        " SG_ Temp : 7|12@0- (0.1,0) [-40|215] \"\xB0" "C\" ECU\n"
        " SG_ Mode M : 16|4@1+ (1,0) [0|0] \"\" ECU\n"
        " SG_ Page m2 : 20|4@1+ (1,0) [0|0] \"\" ECU\n"
        "BA_ \"GenMsgCycleTime\" BO_ 291 50;\n");
    const std::string out = dbc + ".toml";
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("signals import " + dbc + " --out " + out, &lines));
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(":1: nodes (BU_) left out")) << lines[0];
    EXPECT_NE(std::string::npos, lines[1].find(" read as latin-1: 1 message, 3 signals to ")) << lines[1];
    EXPECT_NE(std::string::npos, lines[2].find("left out or changed: 1 item, listed above")) << lines[2];
    const std::string written = ReadFileText(out);
    EXPECT_NE(std::string::npos, written.find("unit = \"\xC2\xB0" "C\"\n")) << written;   // UTF-8, as TOML is
    EXPECT_NE(std::string::npos, written.find("period = \"50ms\"\n")) << written;
    EXPECT_NE(std::string::npos, written.find("name = \"Mode\"\nbyte = 2\nbits = 4\ntype = \"u8\"\nmux = true\n")) << written;
    EXPECT_NE(std::string::npos, written.find("mux_value = 2\n")) << written;
    EXPECT_EQ(0, RunVelkctl("signals check " + out, &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("1 message, 3 signals", lines[0]);

    const std::string bad = WriteTempFile("BO_ 1 A: 8 X\n SG_ B : 0|0@1+ (1,0) [0|0] \"\" X\n");
    EXPECT_EQ(2, RunVelkctl("signals import " + bad, &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(":2:12: a signal has at least 1 bit")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("signals import " + dbc + " --code-base 30000401", &lines));
    EXPECT_NE(std::string::npos, lines[0].find("30000401 is not an array code on channel 0")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("signals import " + dbc + " --encoding utf-8", &lines));
    EXPECT_NE(std::string::npos, lines[0].find("is not utf-8 text")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("signals check " + out + " --out x.toml", &lines));

    // And back out as a DBC, its codes' identifiers from a map file.
    const std::string map = WriteTempFile("291 30000400\n");
    const std::string again = out + ".dbc";
    EXPECT_EQ(0, RunVelkctl("signals export " + out + " --dbc --code-map " + map + " --out " + again, &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find("1 message, 3 signals as a DBC to ")) << lines[0];
    const std::string exported = ReadFileText(again);
    EXPECT_NE(std::string::npos, exported.find("BO_ 291 Engine: 8 Vector__XXX\n SG_ Mode M : 16|4@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                               " SG_ Temp : 7|12@0- (0.1,0) [-40|215] \"\xC2\xB0" "C\" Vector__XXX\n"
                                               " SG_ Page m2 : 20|4@1+ ")) << exported;
    EXPECT_EQ(2, RunVelkctl("signals export " + out, &lines));   // export says its format
    EXPECT_NE(std::string::npos, lines[0].find("export needs --dbc")) << lines[0];
    EXPECT_EQ(2, RunVelkctl("signals import " + dbc + " --dbc", &lines));

    // A communication matrix by its name's .csv: GBK, as Excel saves it here; a mistake at its cell.
    const std::string csv = out + ".csv";
    const std::string matrix = "\xB1\xA8\xCE\xC4\xC3\xFB\xB3\xC6,ID,Signal,Start bit,Length\r\n"   // 报文名称
                               "Engine,0x123,Speed,0,16\r\n,,State,16,x\r\n";
    auto writeCsv = [&](const std::string& bytes) {
        return MoveFileExA(WriteTempFile(bytes).c_str(), csv.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    };
    ASSERT_TRUE(writeCsv(matrix));
    EXPECT_EQ(2, RunVelkctl("signals import " + csv, &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(".csv:3:12: a signal is 1 to 64 bits, not 'x'")) << lines[0];
    ASSERT_TRUE(writeCsv(matrix.substr(0, matrix.size() - 3) + "2\r\n"));
    EXPECT_EQ(0, RunVelkctl("signals import " + csv + " --out " + out, &lines));
    EXPECT_NE(std::string::npos, lines.back().find(" read as gbk: 1 message, 2 signals to ")) << lines.back();
    for (const std::string& path : { dbc, out, bad, map, again, csv })
        DeleteFileA(path.c_str());
}

TEST_F(Velkctl, EveryCommandsHelpHasAnExampleAndNamesItsArguments)
{
    std::vector<std::string> lines;
    ASSERT_EQ(0, RunVelkctl("--version", &lines));
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(0u, lines[0].find("velkctl 1.")) << lines[0];

    ASSERT_EQ(0, RunVelkctl("--help", &lines));
    std::vector<std::string> commands;
    bool listed = false;
    for (const std::string& line : lines) {
        if (line == "Subcommands:")
            listed = true;
        else if (listed && line.empty())
            break;
        else if (listed)
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
    EXPECT_GE(commands.size(), 14u);
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "  6  crashed: velkctl or the bus library crashed, or an internal error"));
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        ASSERT_EQ(0, RunVelkctl("help " + command, &lines));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(0u, lines[1].find("Usage: velkctl " + command)) << lines[1];   // not the program's path
        EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Example:"));
        for (const std::string& line : lines) {
            // "--every TEXT", CLI11's word for any string, says nothing of what is expected.
            std::istringstream words(line);
            std::string name, kind;
            words >> name >> kind;
            if (line.compare(0, 2, "  ") == 0) {
                EXPECT_NE("TEXT", kind) << line;
            }
        }
    }
}

// UTF-8, as this file is written, in the system code page velkctl prints in.
std::string InSystemPage(const std::string& utf8)
{
    wchar_t wide[512];
    char narrow[1024];
    const int count = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide, 512);
    WideCharToMultiByte(CP_ACP, 0, wide, count, narrow, sizeof narrow, NULL, NULL);
    return narrow;
}

TEST_F(Velkctl, SpeaksChineseFirstOnAChineseSystemAndEnglishWhenAsked)
{
    ASSERT_EQ(936u, GetACP());   // the tests' Wine prefix: a Chinese system
    std::vector<std::string> lines;
    SetEnvironmentVariableA("VELK_LANG", NULL);
    EXPECT_EQ(2, RunVelkctl("psot 1", &lines));
    EXPECT_EQ((std::vector<std::string>{ InSystemPage("velkctl: 未知命令 'psot'; 是否想用 'post'？"),
                                         "velkctl: unknown command 'psot'; did you mean 'post'?" }),
              lines);
    EXPECT_EQ(2, RunVelkctl("post motor.speed 3000.25 --signals \"" CORVANE_SIGNALS_EXAMPLE "\"", &lines));
    EXPECT_EQ((std::vector<std::string>{ InSystemPage("velkctl: post: motor.speed: 3000.25 rpm 高于其上限 3000 rpm"),
                                         "velkctl: post: motor.speed: 3000.25 rpm is above its max 3000 rpm" }),
              lines);
    ASSERT_EQ(0, RunVelkctl("help post", &lines));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(InSystemPage("发送一条数值消息"), lines[0]);
    EXPECT_EQ("post a value message", lines[1]);
    EXPECT_EQ(0u, lines[2].find(InSystemPage("用法 Usage: velkctl post"))) << lines[2];
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(),
                                     InSystemPage("  -h,--help                   打印本帮助并退出")));

    SetEnvironmentVariableA("VELK_LANG", "en");
    EXPECT_EQ(2, RunVelkctl("psot 1", &lines));
    EXPECT_EQ(std::vector<std::string>{ "velkctl: unknown command 'psot'; did you mean 'post'?" }, lines);
    SetEnvironmentVariableA("VELK_LANG", "zh");
    EXPECT_EQ(2, RunVelkctl("psot 1", &lines));
    EXPECT_EQ(2u, lines.size());
}

TEST_F(Velkctl, VarsWatchPrintsAgainOnlyWhenAVariableChanged)
{
    const size_t block = 1 + kPublicVarCount;   // the time, then INDEX=VALUE lines
    ChildProcess watch;
    ASSERT_TRUE(watch.Start("velkctl.exe", "vars --watch --interval 20ms --count 2"));
    DWORD started = GetTickCount();
    while (watch.Lines().size() < block && GetTickCount() - started < 20000)
        Sleep(20);
    Sleep(300);   // many looks at an unchanged bus
    ASSERT_EQ(block, watch.Lines().size());
    ASSERT_EQ(kVelkOk, vSetPublicVar(5, -42));
    ASSERT_EQ(0, watch.Wait(20000));
    std::vector<std::string> lines = watch.Lines();
    ASSERT_EQ(2 * block, lines.size());
    for (size_t at : { size_t(0), block }) {
        int year = 0, hour = 0, offset = 0;
        EXPECT_EQ(3, sscanf(lines[at].c_str(), "-- %d-%*d-%*dT%d:%*d:%*d.%*d%d:%*d --", &year, &hour, &offset))
            << lines[at];
    }
    EXPECT_EQ("5=0", lines[1 + 5]);
    EXPECT_EQ("5=-42", lines[block + 1 + 5]);
}

TEST_F(Velkctl, CodesAreAlwaysHexAndACodeMissingItsFieldsIsPostedWithAWarning)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "watcher"));
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("post 20001001 5", &lines));   // as monitor prints it, not 0x013130E9
    EXPECT_EQ(std::vector<std::string>{ "20001001      5" }, lines);
    EXPECT_EQ(0, RunVelkctl("post 0X20001001 0xFFFFFFFD", &lines));
    EXPECT_EQ(std::vector<std::string>{ "20001001      -3" }, lines);   // the value as monitor shows it
    std::vector<BusMessage> received = Receive(window_, 2);
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ(0x20001001u, received[0].code);
    EXPECT_EQ(5, static_cast<int32_t>(received[0].dataWord));
    EXPECT_EQ(0x20001001u, received[1].code);
    EXPECT_EQ(-3, static_cast<int32_t>(received[1].dataWord));

    // CODE and VALUE swapped: still posted, as the bus allows, with a warning.
    EXPECT_EQ(0, RunVelkctl("post 5 20001001", &lines));
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].find("velkctl: warning: code 00000005 has no direction bit (bits 28-31) and no type bit"))
        << lines[0];
    EXPECT_EQ("5      20001001", lines[1]);   // values stay decimal
    EXPECT_EQ(3u, Counters()["posted"]);
}

TEST_F(Velkctl, AChangeToABusNoOtherProcessHasOpenIsSaidToBeLost)
{
    // This process has the test's bus open: the change stays, nothing is said.
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("set-var 5 -7", &lines));
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(-7, vGetPublicVar(5));

    const std::string alone = "--bus velktest-alone-" + std::to_string(GetCurrentProcessId()) + " ";
    const char* changes[] = { "set-var 5 -7", "post 0x20000801 1", "send-str 1 x", "send-arr 1 01", "stop-all" };
    for (const char* change : changes) {
        EXPECT_EQ(0, RunVelkctl(alone + change, &lines)) << change;
        ASSERT_FALSE(lines.empty()) << change;
        EXPECT_EQ(0u, lines.back().find("velkctl: no other client is attached: the bus ends when velkctl exits, and this "))
            << lines.back();
    }
    EXPECT_EQ(0, RunVelkctl(alone + "vars", &lines));   // reading changes nothing: nothing said
    ASSERT_EQ(kPublicVarCount, lines.size());
    EXPECT_EQ("5=0", lines[5]);   // that bus ended, and a new one began
}

TEST_F(PublicVariables, SharedByAllClientsAndBoundsChecked)
{
    for (int i = 0; i < static_cast<int>(kPublicVarCount); ++i)
        EXPECT_EQ(0, vGetPublicVar(i));   // a new bus starts at 0
    for (int i = 0; i < static_cast<int>(kPublicVarCount); ++i)
        ASSERT_EQ(kVelkOk, vSetPublicVar(i, i * 1000 - 7));
    EXPECT_EQ(kVelkBadIndex, vSetPublicVar(kPublicVarCount, 1));
    EXPECT_EQ(kVelkBadIndex, vSetPublicVar(-1, 1));
    EXPECT_EQ(0, vGetPublicVar(kPublicVarCount));
    EXPECT_EQ(0, vGetPublicVar(-1));

    EXPECT_EQ(0, RunVelkctl("set-var 5 -42"));
    EXPECT_EQ(0, RunVelkctl("set-var 0x6 0xFFFFFFFF"));
    EXPECT_EQ(-42, vGetPublicVar(5));
    EXPECT_EQ(-1, vGetPublicVar(6));
    std::vector<std::string> lines;
    EXPECT_EQ(0, RunVelkctl("vars", &lines));
    ASSERT_EQ(kPublicVarCount, lines.size());
    EXPECT_EQ("0=-7", lines[0]);
    EXPECT_EQ("5=-42", lines[5]);
    EXPECT_EQ("63=62993", lines[63]);
    for (int i = 0; i < static_cast<int>(kPublicVarCount); ++i) {
        if (i != 5 && i != 6) {
            EXPECT_EQ(i * 1000 - 7, vGetPublicVar(i));   // the refused sets changed nothing
        }
    }
}

// Needs an i686 build's velkctl.exe (with its velk.dll) in VELKCTL32 and a
// system that runs 32-bit programs (CORVANE_WINE32=1).
TEST_F(MixedWidths, ThirtyTwoAndSixtyFourBitClientsExchangeValuesAndPayloads)
{
    const std::string velkctl32 = Velkctl32Path();
    if (velkctl32.empty())
        GTEST_SKIP() << "no 32-bit client: set VELKCTL32 to an i686 build's velkctl.exe, on a system "
                        "where 32-bit Windows programs run (CORVANE_WINE32=1)";

    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeString | kTypeArray | kTypeAD, "sixty-four"));
    ChildProcess monitor32;
    ASSERT_TRUE(monitor32.Start(velkctl32, "monitor 0x1600 --count 3 --timeout 30"));
    ASSERT_TRUE(WaitForClients(2));
    // Both widths list the same handles.
    std::vector<std::string> listed32;
    EXPECT_EQ(0, RunVelkctl("clients", &listed32, velkctl32));
    EXPECT_EQ(ClientLines(), listed32);

    const unsigned char bytes[20] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0xFF };
    EXPECT_EQ(2, vPostData(window_, 0x20001001, -5, 4));
    EXPECT_EQ(2, vPostData(window_, 0x30000202, reinterpret_cast<LPARAM>("from 64\tbit"), 11));
    EXPECT_EQ(2, vPostData(window_, 0x30000403, reinterpret_cast<LPARAM>(bytes), 20));
    EXPECT_EQ(0, monitor32.Wait(30000));
    std::vector<std::string> lines = monitor32.Lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("20001001      -5", WithoutDelta(lines[0]));
    EXPECT_EQ("30000202[ 11] from 64\\tbit", WithoutDelta(lines[1]));
    EXPECT_EQ("30000403( 20)  01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12", WithoutDelta(lines[2]));
    Receive(window_, 3);   // our own copies

    EXPECT_EQ(0, RunVelkctl("post 0x20001007 0xFFFFFFFF", NULL, velkctl32));
    EXPECT_EQ(0, RunVelkctl("send-str 7 \"from 32\\tbit\"", NULL, velkctl32));
    EXPECT_EQ(0, RunVelkctl("send-arr 8 \"de ad be ef\"", NULL, velkctl32));
    std::vector<BusMessage> received = Receive(window_, 3);
    ASSERT_EQ(3u, received.size());
    EXPECT_EQ(-1, static_cast<int32_t>(received[0].dataWord));
    int length = 0;
    EXPECT_STREQ("from 32\tbit", vGetp(received[1].dataWord, &length));
    EXPECT_EQ(11, length);
    const char* array = vGetp(received[2].dataWord, &length);
    ASSERT_EQ(4, length);
    EXPECT_EQ(0, memcmp("\xDE\xAD\xBE\xEF", array, 4));
}

} // namespace
