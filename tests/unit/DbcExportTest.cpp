// A signal file out as a DBC and back in: the same signals, every place of
// both byte orders; the map file of identifiers and codes both ways.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signals/DbcCodeMap.h"
#include "signals/DbcExport.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/SignalFile.h"
#include "tests/unit/DbcPlaces.h"

namespace {

SignalDatabase Imported(const std::string& dbcText, const DbcCodeMap* map = nullptr, std::vector<std::string>* report = nullptr)
{
    DbcFile file;
    std::vector<std::string> errors;
    EXPECT_TRUE(ReadDbcFile(dbcText, "t.dbc", &file, &errors)) << errors[0];
    DbcImport imported;
    std::string error;
    EXPECT_TRUE(ImportDbc(file, "t.dbc", kDbcCodeBase, &imported, &error, map)) << error;
    if (report != nullptr)
        *report = imported.report;
    SignalDatabase database;
    EXPECT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    return database;
}

// What a view decodes by: every key of each message and field.
void ExpectSameSignals(const SignalDatabase& a, const SignalDatabase& b)
{
    ASSERT_EQ(a.Messages().size(), b.Messages().size());
    for (size_t m = 0; m < a.Messages().size(); ++m) {
        const SignalMessage& x = a.Messages()[m];
        const SignalMessage& y = b.Messages()[m];
        EXPECT_EQ(x.code, y.code);
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.comment, y.comment);
        EXPECT_EQ(x.periodMicros, y.periodMicros);
        ASSERT_EQ(x.signals.size(), y.signals.size()) << x.name;
        for (size_t s = 0; s < x.signals.size(); ++s) {
            const Signal& f = x.signals[s];
            const Signal& g = y.signals[s];
            SCOPED_TRACE(f.name);
            EXPECT_EQ(f.name, g.name);
            EXPECT_EQ(std::make_tuple(f.byte, f.bit, f.bits, f.type, f.endian, f.covers),
                      std::make_tuple(g.byte, g.bit, g.bits, g.type, g.endian, g.covers));
            EXPECT_EQ(std::make_tuple(f.scale, f.offset, f.hasMin, f.min, f.hasMax, f.max, f.unit),
                      std::make_tuple(g.scale, g.offset, g.hasMin, g.min, g.hasMax, g.max, g.unit));
            EXPECT_EQ(std::make_tuple(f.hasInit, f.init.integer, f.init.real), std::make_tuple(g.hasInit, g.init.integer, g.init.real));
            EXPECT_EQ(std::make_pair(f.mux, f.muxValues), std::make_pair(g.mux, g.muxValues));
            ASSERT_EQ(f.enums.size(), g.enums.size());
            for (size_t e = 0; e < f.enums.size(); ++e)
                EXPECT_EQ(std::make_pair(f.enums[e].raw, f.enums[e].name), std::make_pair(g.enums[e].raw, g.enums[e].name));
        }
    }
}

SignalDatabase RoundTrip(const SignalDatabase& database, DbcExport* exported, const DbcCodeMap* map = nullptr)
{
    ExportDbc(database, "rig.toml", kDbcCodeBase, map, exported);
    return Imported(exported->text, map);
}

} // namespace

TEST(DbcExport, ImportExportImportKeepsEverySignal)
{
    const std::string text =
        "BO_ 16 Low: 8 A\n"
        " SG_ Temp : 16|8@1- (0.5,-20) [-50|50] \"\xC2\xB0" "C \\\"in\\\"\" A\n"
        " SG_ Group : 16|16@1+ (1,0) [0|0] \"\" A\n"
        " SG_ Temp2 : 24|8@1+ (1,0) [0|0] \"\" A\n"
        " SG_ State : 32|2@1+ (1,0) [0|3] \"\" A\n"
        " SG_ Speed : 39|12@0+ (0.125,0) [0|0] \"rpm\" A\n"
        "BO_ 2147484160 Ext: 64 A\n"
        " SG_ Real : 7|32@0- (2,1) [-10|10] \"V\" A\n"
        " SG_ Whole : 32|64@1- (1,0) [0|0] \"\" A\n"
        " SG_ Last : 511|1@1+ (1,0) [0|0] \"\" A\n"
        "BO_ 17 Paged: 8 A\n"
        " SG_ Page M : 0|8@1+ (1,0) [0|0] \"\" A\n"
        " SG_ Flow m0 : 8|8@1+ (1,0) [0|0] \"\" A\n"
        " SG_ Press m255 : 8|16@1+ (1,0) [0|0] \"\" A\n"
        "CM_ BO_ 16 \"the \\\"low\\\" one\";\n"
        "BA_ \"GenMsgCycleTime\" BO_ 16 20;\n"
        "BA_ \"GenSigStartValue\" SG_ 16 Temp 60;\n"
        "VAL_ 16 State 0 \"Off\" 1 \"No Fault\" 3 \"故障\";\n"
        "SIG_VALTYPE_ 2147484160 Whole : 2;\n"
        "SIG_VALTYPE_ 2147484160 Real : 1;\n";
    const SignalDatabase first = Imported(text);
    DbcExport exported;
    const SignalDatabase second = RoundTrip(first, &exported);
    ExpectSameSignals(first, second);
    EXPECT_EQ(exported.messages, 3u);
    EXPECT_EQ(exported.signals, 11u);
    EXPECT_EQ(exported.report, std::vector<std::string>());
    // The rule's place of each code is its identifier; 64 bytes stay 64.
    EXPECT_NE(exported.text.find("BO_ 0 Low: 8 Vector__XXX"), std::string::npos) << exported.text;
    EXPECT_NE(exported.text.find("BO_ 1 Paged: 8 Vector__XXX"), std::string::npos) << exported.text;
    EXPECT_NE(exported.text.find("BO_ 2 Ext: 64 Vector__XXX"), std::string::npos) << exported.text;
    EXPECT_NE(exported.text.find(" SG_ Speed : 39|12@0+ (0.125,0) [0|0] \"rpm\" Vector__XXX"), std::string::npos);
    EXPECT_NE(exported.text.find(" SG_ Page M : 0|8@1+"), std::string::npos) << exported.text;
    EXPECT_NE(exported.text.find(" SG_ Press m255 : 8|16@1+"), std::string::npos) << exported.text;

    // Every start bit of both orders at the widths that meet byte edges.
    std::string places;
    DbcPlaces(&places);
    const SignalDatabase placed = Imported(places);
    ExpectSameSignals(placed, RoundTrip(placed, &exported));
    EXPECT_EQ(exported.text.find("BO_ 2048 "), std::string::npos);   // 2048 would be extended: fewer messages here
}

TEST(DbcExport, WhatADbcCannotSayIsListedAtItsLine)
{
    const std::string toml =
        "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\n"                                    // 1-3
        "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\nperiod = \"1500us\"\n"               // 4-7
        "[[message.field]]\nname = \"text\"\nbyte = 0\ntype = \"str\"\nlength = 2\n"                    // 8-12
        "[[message.field]]\nname = \"count\"\nbyte = 2\ntype = \"u8\"\ncounter = true\n"                // 13-17
        "[[message.field]]\nname = \"level\"\nbyte = 3\ntype = \"u8\"\nmin = 10\nscale = -1\n"          // 18-23
        "[[message.field]]\nname = \"page\"\nbyte = 4\ntype = \"u8\"\nmux = true\n"                     // 24-28
        "[[message.field]]\nname = \"flow\"\nbyte = 5\ntype = \"u8\"\nmux_value = [1, 2]\n"             // 29-33
        "[[message]]\ncode = \"31000400\"\nname = \"far\"\n"                                            // 34-36
        "[[message]]\ncode = \"30000402\"\nname = \"big\"\n"                                            // 37-39
        "[[message.field]]\nname = \"tail\"\nbyte = 64\ntype = \"u8\"\n";                               // 40-43
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(toml, "rig.toml", &database, &errors)) << errors[0];
    DbcExport exported;
    ExportDbc(database, "rig.toml", kDbcCodeBase, nullptr, &exported);
    EXPECT_EQ(exported.report, (std::vector<std::string>{
        "rig.toml:1: value message motor.speed left out: a DBC holds the arrays",
        "rig.toml:4: message pump.status is named pump_status in the DBC",
        "rig.toml:4: the period of pump.status left out: GenMsgCycleTime holds whole milliseconds",
        "rig.toml:8: text field pump.status.text left out: a DBC signal is a number",
        "rig.toml:13: pump.status.count is exported as a plain signal: a DBC has no counters",
        "rig.toml:29: pump.status.flow left out: a DBC signal is multiplexed by one selector value (mN), it has 2",
        "rig.toml:34: message far left out: its code 31000400 has no identifier in the map nor by the rule from 30000400",
        "rig.toml:37: message big left out: its fields reach byte 64, past the 64 bytes of a CAN FD frame",
    }));
    // One limit alone: the other is the raw values' end (scale -1: 0 to -255).
    EXPECT_NE(exported.text.find(" SG_ level : 24|8@1+ (-1,0) [10|0] "), std::string::npos) << exported.text;
}

TEST(DbcCodeMap, ReadsPairsAndPlacesEveryMistake)
{
    DbcCodeMap map;
    std::vector<std::string> errors;
    EXPECT_TRUE(ReadDbcCodeMap("# identifier, code\n291 30000410\n\n0x9FFFFFFF 0x30000411  # the last extended\n"
                               "0 30000412\n2047 30000413\n2147483648 30000414\n", "m.txt", &map, &errors));
    EXPECT_EQ(map.codeOfId.at(291), 0x30000410u);
    EXPECT_EQ(map.codeOfId.at(0x9FFFFFFF), 0x30000411u);
    EXPECT_EQ(map.idOfCode.at(0x30000414), 0x80000000u);
    EXPECT_FALSE(ReadDbcCodeMap("291\n2048 30000401\n0xA0000000 30000401\n1 20001001\n291 30000401\n291 30000402\n"
                                "292 30000401\n3 30000G01\n",
                                "m.txt", &map, &errors));
    EXPECT_EQ(errors, (std::vector<std::string>{
        "m.txt:1:1: expected IDENTIFIER CODE (291 30000400)",
        "m.txt:2:1: '2048' is not a CAN identifier as BO_ writes it",
        "m.txt:3:1: '0xA0000000' is not a CAN identifier as BO_ writes it",
        "m.txt:4:3: 20001001 is not an array code",
        "m.txt:6:1: identifier 291 is given twice (first at line 5)",
        "m.txt:7:5: code 30000401 is given twice (first at line 5)",
        "m.txt:8:3: bad code '30000G01': expected 1 to 8 hex digits, with or without 0x (codes are always hex, as monitor "
        "prints them: 20001001 is 0x20001001)",
    }));

    // Import takes the map's codes and the rule's for the rest, past those
    // taken; export gives each code its identifier back.
    DbcCodeMap rig;
    ASSERT_TRUE(ReadDbcCodeMap("0x123 30000400\n2566844926 30000405\n", "m.txt", &rig, &errors));
    const std::string text = "BO_ 291 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n"
                             "BO_ 5 B: 8 X\nBO_ 2566844926 C: 8 X\nBO_ 6 D: 8 X\n";
    const SignalDatabase database = Imported(text, &rig);
    EXPECT_EQ(database.FindCode(0x30000400)->name, "A");
    EXPECT_EQ(database.FindCode(0x30000401)->name, "B");   // 30000400 is the map's
    EXPECT_EQ(database.FindCode(0x30000402)->name, "D");
    EXPECT_EQ(database.FindCode(0x30000405)->name, "C");
    DbcExport exported;
    ExpectSameSignals(database, RoundTrip(database, &exported, &rig));
    EXPECT_NE(exported.text.find("BO_ 291 A: 8"), std::string::npos);
    EXPECT_NE(exported.text.find("BO_ 2566844926 C: 8"), std::string::npos);
    EXPECT_NE(exported.text.find("BO_ 1 B: 8"), std::string::npos);   // by the rule
}
