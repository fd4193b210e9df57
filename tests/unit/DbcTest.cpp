// The DBC reader, its text's encodings and the import into a signal file,
// checked against DBC's own bit numbering decoded here bit by bit.
#include <gtest/gtest.h>
#include <math.h>

#include <string>
#include <vector>

#include "signals/DbcEncoding.h"
#include "signals/DbcFile.h"
#include "signals/DbcImport.h"
#include "signals/SignalCodec.h"
#include "signals/SignalFile.h"
#include "tests/unit/DbcPlaces.h"
#include "tests/unit/HostCodePages.h"

namespace {

DbcFile Read(const std::string& text, std::vector<std::string>* errors)
{
    DbcFile file;
    ReadDbcFile(text, "t.dbc", &file, errors);
    return file;
}

// A file that must read without a mistake.
DbcFile ReadClean(const std::string& text)
{
    std::vector<std::string> errors;
    DbcFile file = Read(text, &errors);
    EXPECT_EQ(errors, std::vector<std::string>());
    return file;
}

std::vector<std::string> NotesOf(const DbcFile& file)
{
    std::vector<std::string> notes;
    for (const DbcNote& note : file.notes)
        notes.push_back(std::to_string(note.line) + ": " + note.what);
    return notes;
}

// DBC's rule, bit by bit: Intel counts up from the start bit; Motorola
// starts at the MSB and walks down its byte, then on to bit 7 of the next.
uint64_t DbcRaw(const std::string& payload, unsigned start, unsigned length, bool motorola)
{
    auto bitAt = [&](unsigned position) { return static_cast<uint64_t>(payload[position / 8] >> (position % 8) & 1); };
    uint64_t value = 0;
    unsigned position = start;
    for (unsigned i = 0; i < length; ++i) {
        if (motorola) {
            value = value << 1 | bitAt(position);
            position = position % 8 == 0 ? position + 15 : position - 1;
        } else {
            value |= bitAt(position + i) << i;
        }
    }
    return value;
}

} // namespace

TEST(DbcFile, ReadsEverySectionItTakesAndNotesTheRestAtTheirLines)
{
    const std::string text =
        "VERSION \"\"\n"                                                         // 1
        "NS_ :\n\tCM_\n\tBA_DEF_\n\tSIG_VALTYPE_\n"                               // 2-5
        "BS_:\n"                                                                  // 6
        "BU_: ECU1 ECU2\n"                                                        // 7
        "VAL_TABLE_ OnOff 1 \"On\" 0 \"Off\" ;\n"                                 // 8
        "BO_ 291 Engine: 8 ECU1\n"                                                // 9
        " SG_ Speed : 0|16@1+ (0.125,-10) [0|0] \"rpm\" ECU2,ECU1\n"              // 10
        " SG_ Temp : 23|12@0- (0.1,0) [-40|215] \"\xC2\xB0" "C\" ECU2\n"          // 11
        " SG_ Mode M : 56|4@1+ (1,0) [0|15] \"\" ECU2\n"                          // 12
        " SG_ Page3 m3 : 60|4@1+ (1,0) [0|0] \"\" ECU2\n"                         // 13
        " SG_ Level m12M : 40|8@1+ (1,0) [0|0] \"\" ECU2\n"                       // 14
        "BO_ 2566844926 Ext: 8 Vector__XXX\n"                                     // 15
        " SG_ Ratio : 0|32@1- (1,0) [0|0] \"\" Vector__XXX\n"                     // 16
        "BO_TX_BU_ 291 : ECU1,ECU2;\n"                                            // 17
        "CM_ \"the file\";\n"                                                     // 18
        "CM_ BO_ 291 \"two \\\"lines\\\"\n and a \\\\ back\";\n"                  // 19-20
        "CM_ SG_ 291 Speed \"shaft\";\n"                                          // 21
        "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 10000;\n"                          // 22
        "BA_DEF_ SG_ \"GenSigStartValue\" INT 0 10000;\n"                         // 23
        "BA_DEF_ BO_ \"GenMsgSendType\" ENUM \"Cyclic\",\"Event\";\n"             // 24
        "BA_DEF_DEF_ \"GenMsgCycleTime\" 250;\n"                                  // 25
        "BA_ \"GenMsgCycleTime\" BO_ 291 100;\n"                                  // 26
        "BA_ \"GenSigStartValue\" SG_ 291 Speed 80;\n"                            // 27
        "BA_ \"GenMsgSendType\" BO_ 291 0;\n"                                     // 28
        "BA_ \"GenMsgSendType\" BO_ 2566844926 1;\n"                              // 29
        "VAL_ 291 Mode 0 \"Off\" 1 \"No Fault\" ;\n"                              // 30
        "VAL_ 291 Temp OnOff;\n"                                                  // 31
        "SIG_VALTYPE_ 2566844926 Ratio : 1;\n"                                    // 32
        "SIG_GROUP_ 291 G 1 : Speed Temp;\n"                                      // 33
        "SG_MUL_VAL_ 291 Level Mode 3-3, 5-7;\n"                                  // 34
        "EV_ Env: 0 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;\n"             // 35
        "FUTURE_ 1 2 3;\n"                                                        // 36
        "VAL_ 999 Nope 1 \"x\";\n";                                               // 37
    std::vector<std::string> errors;
    const DbcFile file = ReadClean(text);
    ASSERT_EQ(file.messages.size(), 2u);
    const DbcMessage& engine = file.messages[0];
    EXPECT_EQ(engine.id, 291u);
    EXPECT_EQ(engine.name, "Engine");
    EXPECT_EQ(engine.dlc, 8u);
    EXPECT_EQ(engine.comment, "two \"lines\"\n and a \\ back");
    EXPECT_EQ(engine.commentLine, 19);
    EXPECT_TRUE(engine.hasCycle);
    EXPECT_EQ(engine.cycleMs, 100);
    ASSERT_EQ(engine.signals.size(), 5u);
    const DbcSignal& speed = engine.signals[0];
    EXPECT_EQ(speed.line, 10);
    EXPECT_EQ(speed.startBit, 0u);
    EXPECT_EQ(speed.length, 16u);
    EXPECT_FALSE(speed.motorola);
    EXPECT_FALSE(speed.isSigned);
    EXPECT_EQ(speed.factor, 0.125);
    EXPECT_EQ(speed.offset, -10);
    EXPECT_EQ(speed.unit, "rpm");
    EXPECT_EQ(speed.comment, "shaft");
    EXPECT_TRUE(speed.hasStartValue);
    EXPECT_EQ(speed.startValue, 80);
    const DbcSignal& temp = engine.signals[1];
    EXPECT_TRUE(temp.motorola);
    EXPECT_TRUE(temp.isSigned);
    EXPECT_EQ(temp.min, -40);
    EXPECT_EQ(temp.max, 215);
    EXPECT_EQ(temp.unit, "\xC2\xB0" "C");
    ASSERT_EQ(temp.values.size(), 2u);   // from the value table
    EXPECT_EQ(temp.values[0].raw, 1);
    EXPECT_EQ(temp.values[0].text, "On");
    EXPECT_TRUE(engine.signals[2].multiplexor);
    EXPECT_FALSE(engine.signals[2].multiplexed);
    ASSERT_EQ(engine.signals[2].values.size(), 2u);
    EXPECT_EQ(engine.signals[2].values[1].text, "No Fault");
    EXPECT_EQ(engine.signals[2].valuesLine, 30);
    EXPECT_TRUE(engine.signals[3].multiplexed);
    EXPECT_EQ(engine.signals[3].muxValue, 3u);
    EXPECT_TRUE(engine.signals[4].multiplexed && engine.signals[4].multiplexor);
    EXPECT_EQ(engine.signals[4].muxValue, 12u);

    const DbcMessage& ext = file.messages[1];
    EXPECT_EQ(ext.id, 0x80000000u | 0x18FEF1FEu);
    EXPECT_TRUE(ext.hasCycle);   // the default
    EXPECT_EQ(ext.cycleMs, 250);
    EXPECT_EQ(ext.signals[0].floatBits, 32u);
    EXPECT_TRUE(ext.signals[0].isSigned);

    EXPECT_EQ(NotesOf(file), (std::vector<std::string>{
                                 "7: nodes (BU_) left out, with every message's sender and receivers: 2",
                                 "17: senders and receivers (BO_TX_BU_) left out",
                                 "18: the file's comment (CM_) left out",
                                 "24: attribute 'GenMsgSendType' left out, with its values: 2",
                                 "33: signal group (SIG_GROUP_) left out",
                                 "34: extended multiplexing (SG_MUL_VAL_) left out",
                                 "35: environment variable (EV_) left out",
                                 "36: unknown section 'FUTURE_' left out",
                                 "37: no message 999 (BO_) for this: left out",
                             }));
}

TEST(DbcFile, EveryMistakeIsNamedAtItsLineAndColumnAndReadingGoesOn)
{
    const std::string text =
        " SG_ Orphan : 0|8@1+ (1,0) [0|0] \"\" X\n"            // 1: before any BO_
        "BO_ 4294967296 Big: 8 X\n"                            // 2: past 32 bits
        " SG_ Lost : 0|8@1+ (1,0) [0|0] \"\" X\n"              // 3: skipped with its BO_
        "BO_ 1 One: 8 X\n"                                     // 4
        " SG_ Zero : 0|0@1+ (1,0) [0|0] \"\" X\n"              // 5: 0 bits
        " SG_ Wide : 0|1600@1+ (1,0) [0|4.4E+481] \"\" X\n"   // 6: J1939's long ones, a max past a double
        " SG_ Full : 0|64@1+ (1,0) [0|0] \"\" X\n"             // 7: 64 bits, fine
        " SG_ Order : 0|8@2+ (1,0) [0|0] \"\" X\n"             // 8
        " SG_ Sign : 8|8@1* (1,0) [0|0] \"\" X\n"              // 9
        " SG_ Mux mx : 8|8@1+ (1,0) [0|0] \"\" X\n"            // 10
        " SG_ Far : 524280|8@1+ (1,0) [0|0] \"\" X\n"          // 11: the last byte of 64 KiB, fine
        " SG_ Past : 524281|8@1+ (1,0) [0|0] \"\" X\n"         // 12: one bit past
        "BO_ 1 Again: 8 X\n"                                   // 13
        "CM_ BO_ 1 \"never closed;\n";                         // 14
    std::vector<std::string> errors;
    const DbcFile file = Read(text, &errors);
    EXPECT_EQ(errors, (std::vector<std::string>{
                          "t.dbc:1:6: SG_ before any BO_, whose signal it would be",
                          "t.dbc:2:5: expected a whole number from 0 to 4294967295, found '4294967296'",
                          "t.dbc:5:15: a signal has at least 1 bit",
                          "t.dbc:8:18: expected a whole number from 0 to 1, found '2'",
                          "t.dbc:9:18: expected + (unsigned) or - (signed), found '*'",
                          "t.dbc:10:10: unknown multiplexing 'mx' (expected M, mN or mNM)",
                          "t.dbc:12:13: the signal ends past the 64 KiB an array holds",
                          "t.dbc:13:5: message 1 is given twice (first at line 4)",
                          "t.dbc:14:11: text in quotes is not closed",
                      }));
    ASSERT_EQ(file.messages.size(), 1u);
    ASSERT_EQ(file.messages[0].signals.size(), 3u);
    EXPECT_EQ(file.messages[0].signals[0].length, 1600u);
    EXPECT_EQ(file.messages[0].signals[0].max, HUGE_VAL);
    EXPECT_EQ(file.messages[0].signals[1].name, "Full");
    EXPECT_EQ(file.messages[0].signals[2].name, "Far");

    // The first 50 are shown, then one line says more were left out.
    std::string many;
    for (int i = 0; i < 60; ++i)
        many += "BO_ x\n";
    Read(many, &errors);
    ASSERT_EQ(errors.size(), 51u);
    EXPECT_EQ(errors[49], "t.dbc:50:5: expected a number, found 'x'");
    EXPECT_EQ(errors[50], "t.dbc: more errors left out (the first 50 are shown)");
}

TEST(DbcImport, EveryPlaceDecodesAsDbcCountsIt)
{
    // Each signal alone in a message of 8 bytes, at every start bit and
    // the widths that meet byte edges, in both orders, signed and not.
    std::string text;
    const std::vector<DbcPlace> cases = DbcPlaces(&text);
    std::vector<std::string> errors;
    const DbcFile file = ReadClean(text);
    DbcImport imported;
    std::string error;
    ASSERT_TRUE(ImportDbc(file, "t.dbc", kDbcCodeBase, &imported, &error)) << error;
    EXPECT_EQ(imported.report, std::vector<std::string>());
    SignalDatabase database;
    ASSERT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    ASSERT_EQ(database.Messages().size(), cases.size());
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    const std::string payloads[] = { std::string("\x81\x42\xC3\x24\xA5\x66\xE7\x18", 8), std::string(8, '\xff'),
                                     std::string("\x01\x00\x00\x00\x00\x00\x00\x80", 8) };
    for (size_t i = 0; i < cases.size(); ++i) {
        const DbcPlace& c = cases[i];
        const SignalMessage* message = database.FindCode(DbcMessageCode(kDbcCodeBase, i));
        ASSERT_NE(message, nullptr);
        ASSERT_EQ(message->signals.size(), 1u);
        for (const std::string& payload : payloads) {
            std::vector<DecodedSignal> decoded;
            DecodeMessage(*message, 0, payload, pages, &decoded);
            uint64_t want = DbcRaw(payload, c.start, c.length, c.motorola);
            int64_t wantSigned = static_cast<int64_t>(want);
            if (c.isSigned && (want >> (c.length - 1) & 1))
                wantSigned = static_cast<int64_t>(want | ~uint64_t(0) << (c.length - 1));
            ASSERT_FALSE(decoded[0].missing);
            EXPECT_EQ(decoded[0].raw, wantSigned) << "start " << c.start << " length " << c.length
                                                  << (c.motorola ? " motorola" : " intel");
        }
    }
}

TEST(DbcImport, WritesWhatTheFileHoldsAndReportsTheRestAtItsLine)
{
    const std::string text =
        "BU_: A\n"                                                               // 1
        "BO_ 2147484160 Ext: 8 A\n"                                              // 2: 0x200, extended
        " SG_ Real : 7|32@0- (2,1) [-10|10] \"V\" A\n"                           // 3: float, Motorola
        "BO_ 16 Low: 8 A\n"                                                      // 4
        " SG_ Sel M : 0|8@1+ (1,0) [0|3] \"\" A\n"                               // 5
        " SG_ Page m1 : 8|8@1+ (1,0) [0|0] \"\" A\n"                             // 6
        " SG_ Big : 8|72@1+ (1,0) [0|0] \"\" A\n"                                // 7
        " SG_ Temp : 16|8@1- (0.5,-20) [-50|50] \"\xC2\xB0" "C\" A\n"            // 8
        " SG_ Group : 16|16@1+ (1,0) [0|0] \"\" A\n"                             // 9: overlaps Temp
        " SG_ State : 32|2@1+ (1,0) [0|0] \"\" A\n"                              // 10
        " SG_ Odd : 35|32@1+ (1,0) [0|0] \"\" A\n"                               // 11: float off its byte
        "CM_ BO_ 16 \"first\nsecond\";\n"                                        // 12-13
        "CM_ SG_ 16 Temp \"coolant\";\n"                                         // 14
        "BA_ \"GenMsgCycleTime\" BO_ 16 20;\n"                                   // 15
        "BA_ \"GenSigStartValue\" SG_ 16 Temp 60;\n"                             // 16: 60 * 0.5 - 20 = 10 degC
        "VAL_ 16 State 0 \"Off\" 1 \" No Fault \" 2 \"On\" 2 \"On\" 3 \"Off\" 3 \"2\" 0 \" \" 7 \"Beyond\";\n"   // 17
        "SIG_VALTYPE_ 2147484160 Real : 1;\n"                                    // 18
        "SIG_VALTYPE_ 16 Odd : 1;\n";                                            // 19
    std::vector<std::string> errors;
    const DbcFile file = ReadClean(text);
    DbcImport imported;
    std::string error;
    ASSERT_TRUE(ImportDbc(file, "t.dbc", kDbcCodeBase, &imported, &error)) << error;
    EXPECT_EQ(imported.report, (std::vector<std::string>{
        "t.dbc:1: nodes (BU_) left out, with every message's sender and receivers: 1",
        "t.dbc:7: signal Big of 72 bits left out: a field holds 64 bits at most",
        "t.dbc:11: float signal Odd left out: it does not begin on a whole byte",
        "t.dbc:12: the comment of Low, 2 lines, is joined into one line",
        "t.dbc:17: signal State: value 3 \"Off\" left out: the name is given twice, so a send of it would be ambiguous",
        "t.dbc:17: signal State: value 3 \"2\" left out: enum name '2' reads as a number other than the value it stands for, so a send of it would be ambiguous",
        "t.dbc:17: signal State: value 0 \" \" left out: enum name '' is empty or only blanks",
        "t.dbc:17: signal State: value 7 \"Beyond\" left out: not a raw value of the signal",
    }));
    EXPECT_EQ(imported.messages, 2u);
    EXPECT_EQ(imported.signals, 6u);
    EXPECT_NE(imported.toml.find("\n# coolant\n[[message.field]]\nname = \"Temp\"\n"), std::string::npos) << imported.toml;

    SignalDatabase database;
    ASSERT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    // The standard identifier 0x10 sorts before the extended 0x200.
    const SignalMessage* low = database.FindCode(0x30000400);
    const SignalMessage* ext = database.FindCode(0x30000401);
    ASSERT_TRUE(low != nullptr && ext != nullptr);
    EXPECT_EQ(low->name, "Low");
    EXPECT_EQ(low->comment, "first second");
    EXPECT_EQ(low->periodMicros, 20000u);
    ASSERT_EQ(low->signals.size(), 5u);
    const Signal& sel = low->signals[0];
    EXPECT_TRUE(sel.hasMin && sel.min == 0 && sel.max == 3 && sel.mux);
    EXPECT_EQ(low->signals[1].muxValues, std::vector<int64_t>{ 1 });   // Page
    const Signal& temp = low->signals[2];
    EXPECT_EQ(temp.type, kSignalI8);
    EXPECT_EQ(temp.unit, "\xC2\xB0" "C");
    EXPECT_TRUE(temp.hasInit);
    EXPECT_EQ(temp.init.integer, 60);
    EXPECT_TRUE(low->signals[3].covers);   // Group holds every bit of Temp
    EXPECT_FALSE(temp.covers);
    const Signal& state = low->signals[4];
    EXPECT_FALSE(state.hasMin || state.hasMax);   // [0|0]: no limits
    ASSERT_EQ(state.enums.size(), 3u);
    EXPECT_EQ(state.enums[0].name, "Off");
    EXPECT_EQ(state.enums[1].name, "No Fault");   // the blanks at its ends go
    EXPECT_EQ(state.enums[2].name, "On");
    EXPECT_EQ(ext->name, "Ext");
    ASSERT_EQ(ext->signals.size(), 1u);
    EXPECT_EQ(ext->signals[0].type, kSignalF32);
    EXPECT_EQ(ext->signals[0].endian, kEndianBig);
    EXPECT_EQ(ext->signals[0].byte, 0u);

    // Physical values as the DBC says: raw * factor + offset.
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    std::vector<DecodedSignal> decoded;
    DecodeMessage(*low, 0, std::string("\x02\x00\xF6\x00\x02", 5), pages, &decoded);
    EXPECT_TRUE(decoded[1].unselected);   // Page is m1, the selector 2
    EXPECT_EQ(decoded[2].physical, -10 * 0.5 - 20);
    EXPECT_EQ(*decoded[4].enumName, "On");
    DecodeMessage(*ext, 0, std::string("\x3F\xC0\x00\x00", 4), pages, &decoded);   // 1.5f
    EXPECT_EQ(decoded[0].physical, 1.5 * 2 + 1);

    // A signal holding all of another's bits covers it; one sharing only some is left out.
    const DbcFile groups = Read("BO_ 1 A: 8 X\n SG_ Low : 0|4@1+ (1,0) [0|0] \"\" X\n SG_ High : 4|4@1+ (1,0) [0|0] \"\" X\n"
                                " SG_ Both : 0|8@1+ (1,0) [0|0] \"\" X\n SG_ Skew : 3|2@1+ (1,0) [0|0] \"\" X\n", &errors);
    DbcImport grouped;
    ASSERT_TRUE(ImportDbc(groups, "t.dbc", kDbcCodeBase, &grouped, &error)) << error;
    EXPECT_EQ(grouped.report, std::vector<std::string>{ "t.dbc:5: signal Skew left out: it overlaps signal Low" });
    ASSERT_TRUE(LoadSignalFile(grouped.toml, "rig.toml", &database, &errors)) << errors[0];
    ASSERT_EQ(database.Messages()[0].signals.size(), 3u);
    EXPECT_TRUE(database.Messages()[0].signals[2].covers);
    EXPECT_FALSE(database.Messages()[0].signals[0].covers || database.Messages()[0].signals[1].covers);

    // Limits past a double's range (J1939 files have them) are none.
    const DbcFile huge = Read("BO_ 1 A: 8 X\n SG_ S : 0|8@1+ (1,0) [-1E+999|1E+999] \"\" X\n"
                              " SG_ W : 4|64@1- (1,0) [0|0] \"\" X\n SG_ U : 0|64@1+ (1,0) [0|0] \"\" X\n", &errors);
    DbcImport wide;
    ASSERT_TRUE(ImportDbc(huge, "t.dbc", kDbcCodeBase, &wide, &error)) << error;
    EXPECT_EQ(wide.report, (std::vector<std::string>{
        "t.dbc:2: signal S: a limit beyond what a number holds is left out",
        "t.dbc:3: signal W left out: it would span 9 bytes, past the 8 a field may",
    }));
    ASSERT_TRUE(LoadSignalFile(wide.toml, "rig.toml", &database, &errors)) << errors[0];
    EXPECT_FALSE(database.Messages()[0].signals[0].hasMin || database.Messages()[0].signals[0].hasMax);
    EXPECT_EQ(database.Messages()[0].signals[1].type, kSignalU64);   // covers S, which it holds
}

// M and mN become the selector and its fields, the selector first; what
// one selector cannot say is left out and listed.
TEST(DbcImport, MultiplexedSignalsKeepTheirSelectorValue)
{
    const std::string text =
        "BO_ 1 A: 8 X\n"                                                         // 1
        " SG_ Low m0 : 8|16@1+ (1,0) [0|0] \"\" X\n"                             // 2
        " SG_ High m3 : 8|8@1+ (1,0) [0|0] \"\" X\n"                             // 3: over Low, other page
        " SG_ Far m4 : 16|8@1+ (1,0) [0|0] \"\" X\n"                             // 4: past the 2-bit selector
        " SG_ Page M : 0|2@1+ (1,0) [0|0] \"\" X\n"                              // 5
        " SG_ Deep m3M : 24|8@1+ (1,0) [0|0] \"\" X\n"                           // 6: extended
        " SG_ Other M : 32|8@1+ (1,0) [0|0] \"\" X\n"                            // 7: a second M
        "BO_ 2 B: 8 X\n"                                                         // 8
        " SG_ Lone m1 : 0|8@1+ (1,0) [0|0] \"\" X\n"                             // 9
        "BO_ 3 C: 8 X\n"                                                         // 10
        " SG_ Signed M : 0|4@1- (1,0) [0|0] \"\" X\n"                            // 11: holds -8 to 7
        " SG_ Seven m7 : 8|8@1+ (1,0) [0|0] \"\" X\n"                            // 12
        " SG_ Eight m8 : 8|8@1+ (1,0) [0|0] \"\" X\n";                           // 13
    std::vector<std::string> errors;
    DbcImport imported;
    std::string error;
    ASSERT_TRUE(ImportDbc(ReadClean(text), "t.dbc", kDbcCodeBase, &imported, &error)) << error;
    EXPECT_EQ(imported.report, (std::vector<std::string>{
        "t.dbc:4: multiplexed signal Far (m4) left out: its multiplexor Page holds no such value",
        "t.dbc:6: multiplexed signal Deep (m3M) left out: a message has one selector here",
        "t.dbc:7: multiplexor Other kept as a plain field: Page is its message's selector",
        "t.dbc:9: multiplexed signal Lone (m1) left out: its message has no multiplexor (M)",
        "t.dbc:13: multiplexed signal Eight (m8) left out: its multiplexor Signed holds no such value",
    }));
    SignalDatabase database;
    ASSERT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    const SignalMessage& a = database.Messages()[0];
    ASSERT_EQ(a.signals.size(), 4u);
    EXPECT_EQ(a.signals[0].fieldName, "Page");
    EXPECT_EQ(a.muxIndex, 0);
    EXPECT_EQ(a.signals[1].muxValues, std::vector<int64_t>{ 0 });
    EXPECT_EQ(a.signals[2].muxValues, std::vector<int64_t>{ 3 });
    EXPECT_FALSE(a.signals[3].mux);
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    std::vector<DecodedSignal> decoded;
    DecodeMessage(a, 0, std::string("\x03\x34\x12\x00\x07", 5), pages, &decoded);
    EXPECT_TRUE(decoded[1].unselected);
    EXPECT_EQ(decoded[2].raw, 0x34);
    DecodeMessage(a, 0, std::string("\x00\x34\x12\x00\x07", 5), pages, &decoded);
    EXPECT_EQ(decoded[1].raw, 0x1234);
    EXPECT_TRUE(decoded[2].unselected);
}

TEST(DbcImport, CodesAreDistinctAcrossFamiliesAndTheBaseIsChecked)
{
    std::string text;
    for (unsigned id = 0; id < 300; ++id)
        text += "BO_ " + std::to_string(2999 - id) + " M" + std::to_string(id) + ": 8 X\n";
    std::vector<std::string> errors;
    const DbcFile file = Read(text, &errors);
    DbcImport imported;
    std::string error;
    ASSERT_TRUE(ImportDbc(file, "t.dbc", kDbcCodeBase, &imported, &error)) << error;
    SignalDatabase database;
    ASSERT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    ASSERT_EQ(database.Messages().size(), 300u);
    EXPECT_EQ(database.FindCode(0x30000400)->name, "M299");   // the lowest identifier, 2700
    EXPECT_EQ(database.FindCode(0x300004ff)->name, "M44");
    EXPECT_EQ(database.FindCode(0x30010400)->name, "M43");
    EXPECT_EQ(database.FindCode(0x3001042b)->name, "M0");

    EXPECT_EQ(DbcCodeBaseProblem(0x30000400, 128 * 256), "");
    EXPECT_EQ(DbcCodeBaseProblem(0x30000400, 128 * 256 + 1), "32769 messages from 30000400 would go past bit 22 of the code");
    EXPECT_EQ(DbcCodeBaseProblem(0x307f0400, 256), "");
    EXPECT_EQ(DbcCodeBaseProblem(0x307f0400, 257), "257 messages from 307f0400 would go past bit 22 of the code");
    EXPECT_EQ(DbcCodeBaseProblem(0x30000401, 1), "30000401 is not an array code on channel 0 (like 30000400)");
    EXPECT_EQ(DbcCodeBaseProblem(0x30000600, 1), "30000600 is not an array code on channel 0 (like 30000400)");
    EXPECT_FALSE(ImportDbc(file, "t.dbc", 0x307f0400, &imported, &error));
    EXPECT_EQ(error, "300 messages from 307f0400 would go past bit 22 of the code");
}

TEST(DbcEncoding, Utf8ElseGbkElseLatin1AndSaysWhich)
{
    std::string utf8;
    DbcEncoding taken;
    ASSERT_TRUE(DecodeDbcText("\xEF\xBB\xBF" "CM_ \"\xE6\xB8\xA9\";", kDbcAuto, kGbk, &utf8, &taken));
    EXPECT_EQ(taken, kDbcUtf8);
    EXPECT_EQ(utf8, "CM_ \"\xE6\xB8\xA9\";");
    ASSERT_TRUE(DecodeDbcText("\"\xCE\xC2\xB6\xC8\"", kDbcAuto, kGbk, &utf8, &taken));   // 温度 in GBK
    EXPECT_EQ(taken, kDbcGbk);
    EXPECT_EQ(utf8, "\"\xE6\xB8\xA9\xE5\xBA\xA6\"");
    ASSERT_TRUE(DecodeDbcText("\"\xB0" "C f\xFCr \x80\"", kDbcAuto, kGbk, &utf8, &taken));   // °C für €
    EXPECT_EQ(taken, kDbcLatin1);
    EXPECT_EQ(utf8, "\"\xC2\xB0" "C f\xC3\xBCr \xE2\x82\xAC\"");
    // GB2312's rows at their edges: lead A1 to F7, second A1 to FE. Windows
    // decodes GBK's user-defined rows too (F8A1, to private use), so the
    // shape alone must refuse them: a decoder that takes any pair here.
    const CodePage anyPairs = { 2, GbkLeadByte, [](const char*, size_t count, std::u16string* text) {
                                    *text = std::u16string(count / 2, u'\x4E00');
                                    return true;
                                } };
    const struct { const char* bytes; DbcEncoding taken; } rows[] = {
        { "\xA1\xA1", kDbcGbk }, { "\xF7\xFE", kDbcGbk }, { "\xA0\xA1", kDbcLatin1 },
        { "\xF8\xA1", kDbcLatin1 }, { "\xB0\xA0", kDbcLatin1 }, { "\xB0\xFF", kDbcLatin1 },
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(DecodeDbcText(row.bytes, kDbcAuto, anyPairs, &utf8, &taken));
        EXPECT_EQ(taken, row.taken) << row.bytes;
    }
    // Overlong, surrogate and cut UTF-8 are not UTF-8.
    for (const char* bad : { "\xC0\xAF", "\xED\xA0\x80", "\xE6\xB8" }) {
        ASSERT_TRUE(DecodeDbcText(bad, kDbcAuto, kGbk, &utf8, &taken));
        EXPECT_NE(taken, kDbcUtf8) << bad;
    }
    EXPECT_FALSE(DecodeDbcText("\xB0" "C", kDbcUtf8, kGbk, &utf8, &taken));
    EXPECT_FALSE(DecodeDbcText("\xFF", kDbcGbk, kGbk, &utf8, &taken));
    ASSERT_TRUE(DecodeDbcText("\xB0" "C", kDbcGbk, kGbk, &utf8, &taken));   // taken as told
    EXPECT_EQ(taken, kDbcGbk);
}
