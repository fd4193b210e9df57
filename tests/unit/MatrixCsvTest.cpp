// The communication matrix read from CSV: its columns in either language,
// its encodings, the edges of each cell, and its mistakes at their cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signals/DbcEncoding.h"
#include "signals/DbcImport.h"
#include "signals/MatrixCsv.h"
#include "signals/SignalFile.h"
#include "tests/unit/HostCodePages.h"

namespace {

std::vector<std::string> ErrorsOf(const std::string& text, DbcFile* file = nullptr)
{
    DbcFile scratch;
    std::vector<std::string> errors;
    ReadMatrixCsv(text, "m.csv", file != nullptr ? file : &scratch, &errors);
    return errors;
}

DbcFile ReadClean(const std::string& text)
{
    DbcFile file;
    EXPECT_EQ(ErrorsOf(text, &file), std::vector<std::string>());
    return file;
}

std::string GbkOf(const std::string& utf8)
{
    iconv_t converter = iconv_open("GBK", "UTF-8");
    std::string in = utf8, out(utf8.size() * 2, '\0');
    char* inAt = &in[0];
    char* outAt = &out[0];
    size_t inLeft = in.size(), outLeft = out.size();
    EXPECT_NE(iconv(converter, &inAt, &inLeft, &outAt, &outLeft), static_cast<size_t>(-1));
    iconv_close(converter);
    out.resize(out.size() - outLeft);
    return out;
}

const char kChineseHeader[] =
    "报文名称,报文标识符,信号名称,起始位,信号长度,排列格式,数据类型,精度,偏移量,物理最小值,物理最大值,单位,信号值描述,报文周期(ms),发送节点\n";

} // namespace

TEST(MatrixCsv, ChineseOrEnglishHeadersAnyEncodingTheSameMessages)
{
    const std::string rows =
        "Engine,0x123,Speed,0,16,Intel,Unsigned,0.25,0,0,8000,rpm,,100,ECU\n"
        ",,State,16,2,Intel,无符号,1,0,,,,\"0x0:Off;0x1:On;\n2:故障 码\",,\n"
        ",,Coolant,31,12,Motorola,有符号,0.1,-40,-40,150,°C,,,\n"
        "Pump,18FFE0FE,,,,,,,,,,,,200,\n"
        "Pump,0x18FFE0FE,Pressure,7,32,Motorola MSB,Float,1,0,,,bar,,,\n"
        "Pump,0x18FFE0FE,Flow,34,12,Motorola LSB,Signed,1,0,,,,,,\n";
    const std::string english =
        "Message , Message ID,Signal Name,Start Bit,Length,Byte Order,Data Type,Factor,Offset,Min,Max,Unit,Value Table,"
        "Cycle Time (ms),Sender\n";
    DbcFile fromChinese = ReadClean(kChineseHeader + rows);
    DbcFile fromEnglish = ReadClean(english + rows);
    ASSERT_EQ(fromChinese.messages.size(), 2u);
    for (const DbcFile* file : { &fromChinese, &fromEnglish }) {
        ASSERT_EQ(file->notes.size(), 1u);
        EXPECT_EQ(file->notes[0].line, 1);
        EXPECT_NE(file->notes[0].what.find("left out"), std::string::npos);
        const DbcMessage& engine = file->messages[0];
        EXPECT_EQ(engine.id, 0x123u);
        EXPECT_EQ(engine.line, 2);
        EXPECT_TRUE(engine.hasCycle);
        EXPECT_EQ(engine.cycleMs, 100);
        ASSERT_EQ(engine.signals.size(), 3u);
        EXPECT_EQ(engine.signals[0].factor, 0.25);
        EXPECT_EQ(engine.signals[0].max, 8000);
        EXPECT_EQ(engine.signals[1].name, "State");
        ASSERT_EQ(engine.signals[1].values.size(), 3u);   // ; and a line break part the entries
        EXPECT_EQ(engine.signals[1].values[2].raw, 2);
        EXPECT_EQ(engine.signals[1].values[2].text, "故障 码");
        EXPECT_TRUE(engine.signals[2].motorola && engine.signals[2].isSigned);
        EXPECT_EQ(engine.signals[2].offset, -40);
        EXPECT_EQ(engine.signals[2].unit, "°C");
        const DbcMessage& pump = file->messages[1];
        EXPECT_EQ(pump.id, 0x18FFE0FEu | kDbcExtendedFlag);   // above 7FF: 29 bits
        EXPECT_EQ(pump.cycleMs, 200);                        // from the message's own row
        ASSERT_EQ(pump.signals.size(), 2u);
        EXPECT_EQ(pump.signals[0].floatBits, 32u);
        // Motorola LSB 34, 12 bits: bits 2-7 of byte 4 and 0-5 of byte 3, its MSB bit 29.
        EXPECT_EQ(pump.signals[1].startBit, 29u);
    }
    EXPECT_EQ(fromChinese.messages[1].signals[1].startBit, fromEnglish.messages[1].signals[1].startBit);

    // The same bytes in GBK, with a BOM, and as they are: one file.
    const std::string utf8 = kChineseHeader + rows;
    std::string text;
    for (const std::string& bytes : { utf8, "\xEF\xBB\xBF" + utf8, GbkOf(utf8) }) {
        DbcEncoding taken;
        ASSERT_TRUE(DecodeDbcText(bytes, kDbcAuto, kGbk, &text, &taken));
        EXPECT_EQ(taken, static_cast<unsigned char>(bytes[0]) >= 0xE0 ? kDbcUtf8 : kDbcGbk);   // 报 in UTF-8 or GBK
        DbcFile file = ReadClean(text);
        ASSERT_EQ(file.messages.size(), 2u);
        EXPECT_EQ(file.notes[0].column, 73);   // columns count characters, the BOM none
    }
}

TEST(MatrixCsv, EveryCellAtItsEdgesAndHeaderOnlyFiles)
{
    const std::string header = "Message,ID,Signal,Start bit,Length,Byte order,Signed\n";
    // Start bit 0 and 63, length 1 and 64, in both byte orders.
    DbcFile file = ReadClean(header +
                             "A,0,Low,0,1,Intel,\n"
                             ",,High,63,1,Intel,\n"
                             "B,7FF,Whole,0,64,Intel,Signed\n"
                             "C,800,WholeM,7,64,Motorola,\n"
                             "D,1FFFFFFF,Top,63,1,,\n");
    ASSERT_EQ(file.messages.size(), 4u);
    EXPECT_EQ(file.messages[0].signals[0].startBit, 0u);
    EXPECT_EQ(file.messages[0].signals[1].startBit, 63u);
    EXPECT_EQ(file.messages[1].id, 0x7FFu);                         // the last standard identifier
    EXPECT_EQ(file.messages[1].signals[0].length, 64u);
    EXPECT_EQ(file.messages[2].id, 0x800u | kDbcExtendedFlag);      // the first extended one
    EXPECT_TRUE(file.messages[2].signals[0].motorola);
    EXPECT_EQ(file.messages[3].id, 0x1FFFFFFFu | kDbcExtendedFlag);
    EXPECT_FALSE(file.messages[3].signals[0].motorola);             // an empty byte order is Intel
    EXPECT_EQ(file.messages[0].dlc, 8u);

    // A header alone, or with blank rows, is a matrix of no messages; no header is a mistake.
    EXPECT_TRUE(ReadClean(header).messages.empty());
    EXPECT_TRUE(ReadClean(header.substr(0, header.size() - 1)).messages.empty());
    EXPECT_TRUE(ReadClean("\n" + header + ",,,,,,\n\n").messages.empty());
    EXPECT_EQ(ErrorsOf(""), std::vector<std::string>{ "m.csv: no header row: the file is empty" });
    EXPECT_EQ(ErrorsOf("\r\n \r\n"), std::vector<std::string>{ "m.csv: no header row: the file is empty" });

    // Semicolons apart (Excel in Europe), \r\n lines, a quoted cell with "" and the separator.
    file = ReadClean("Message;ID;Signal;Start bit;Length;Unit\r\nE;1;S;8;8;\"a \"\"b\"\";c\"\r\n");
    ASSERT_EQ(file.messages.size(), 1u);
    EXPECT_EQ(file.messages[0].signals[0].unit, "a \"b\";c");
    EXPECT_EQ(file.messages[0].signals[0].startBit, 8u);

    // A DLC, and without one the bytes the signals reach (9 here).
    file = ReadClean("Message,ID,Signal,Start bit,Length,DLC\nE,1,S,64,8,\nF,2,S,0,8,2\n");
    EXPECT_EQ(file.messages[0].dlc, 9u);
    EXPECT_EQ(file.messages[1].dlc, 2u);
}

TEST(MatrixCsv, EveryMistakeAtItsLineAndColumn)
{
    const std::string header = "Message,ID,Signal,Start bit,Length,Byte order,Signed,Factor,Min,Max,Value table,Cycle time\n";
    EXPECT_EQ(ErrorsOf(header +
                       ",,Orphan,0,8,,,,,,,\n"                        // 2
                       "E,0x20000000,S,0,8,,,,,,,\n"                  // 3: past 29 bits
                       "E,123,S,0,65,,,,,,,\n"                        // 4
                       "E,123,S,0,0,,,,,,,\n"                         // 5
                       "E,123,S,x,8,,,,,,,\n"                         // 6
                       "E,123,S,524288,1,,,,,,,\n"                    // 7: past 64 KiB
                       "E,123,S,0,8,Big,,,,,,\n"                      // 8
                       "E,123,S,0,8,,Text,,,,,\n"                     // 9
                       "E,123,S,0,8,,,1e999,,,,\n"                    // 10
                       "E,123,S,0,8,,,,0,,,\n"                        // 11
                       "E,123,S,0,8,,,,,,0x1:On;Off,\n"               // 12
                       "E,123,S,0,8,,,,,,,100\n"                      // 13
                       "E,123,T,0,8,,,,,,,50\n"                       // 14
                       "F,123,S,0,8,,,,,,,\n"                         // 15
                       "E,124,S,0,8,,,,,,,\n"                         // 16
                       "E,,S,0,8,,,,,,,\n"                            // 17
                       "G,1,S,0,9,Motorola LSB,,,,,,\n"               // 18: its MSB before byte 0
                       "G,1,S,0,8,,,,,,,,extra\n"                     // 19
                       "G,1,S,0,8,,,,,,\"open\n"),                    // 20
              (std::vector<std::string>{
                  "m.csv:2:1: the row names no message, and no row above it does",
                  "m.csv:3:3: '0x20000000' is not a CAN identifier (hex from 0 to 1FFFFFFF)",
                  "m.csv:4:11: a signal is 1 to 64 bits, not '65'",
                  "m.csv:5:11: a signal is 1 to 64 bits, not '0'",
                  "m.csv:6:9: expected a whole number from 0 to 524287, found 'x'",
                  "m.csv:7:9: expected a whole number from 0 to 524287, found '524288'",
                  "m.csv:8:13: unknown byte order 'Big': expected Intel, Motorola, Motorola MSB or Motorola LSB",
                  "m.csv:9:14: unknown data type 'Text': expected Unsigned, Signed, Float or Double",
                  "m.csv:10:15: '1e999' is not a number",
                  "m.csv:11:16: only one of min and max is given: give both, or neither",
                  "m.csv:12:18: value description 'Off' is not RAW:TEXT (0x1:On)",
                  "m.csv:14:19: the cycle time of E is another at line 13",
                  "m.csv:15:1: ID 123 is message E (line 4)",
                  "m.csv:16:3: message E has another ID (line 4)",
                  "m.csv:17:3: a message needs both its name and its ID",
                  "m.csv:18:7: the signal begins before byte 0",
                  "m.csv:19:18: a cell right of the last column",
                  "m.csv:20:16: text in quotes is not closed",
              }));
    EXPECT_EQ(ErrorsOf("Message,Signal,Start bit,Length,信号名称\n"),
              (std::vector<std::string>{ "m.csv:1:1: no column 报文标识符 (ID)",
                                         "m.csv:1:33: column 信号名称 (Signal) is given twice (first in column 9)" }));
    // A record over several lines (a quoted cell's line break) says its mistakes in the file's order.
    EXPECT_EQ(ErrorsOf("Message,ID,Signal,Start bit,Length,Value table,Cycle time\nE,1,S,x,8,\"0:a\n1:b\",y\n"),
              (std::vector<std::string>{ "m.csv:2:7: expected a whole number from 0 to 524287, found 'x'",
                                         "m.csv:3:6: 'y' is not a cycle time in ms" }));
    std::string many = header;
    for (int i = 0; i < 60; ++i)
        many += "E,123,S,0,99,,,,,,,\n";
    const std::vector<std::string> errors = ErrorsOf(many);
    ASSERT_EQ(errors.size(), kMaxDbcErrors + 1u);
    EXPECT_EQ(errors.back(), "m.csv: more errors left out (the first 50 are shown)");
    EXPECT_TRUE(IsMatrixCsvName("a/b.CSV") && IsMatrixCsvName(".csv") && !IsMatrixCsvName("csv") && !IsMatrixCsvName("b.dbc"));
}

TEST(MatrixCsv, ImportsIntoASignalFileThatLoads)
{
    DbcFile file = ReadClean(std::string(kChineseHeader) +
                             "Engine,0x123,Speed,0,16,Intel,Unsigned,0.25,0,0,8000,rpm,,100,ECU\n"
                             ",,State,16,2,Intel,,1,0,,,,0x0:Off;0x1:On;0x2:No Fault,,\n"
                             ",,Wide,33,64,Intel,,1,0,,,,,,\n");
    DbcImport imported;
    std::string error;
    ASSERT_TRUE(ImportDbc(file, "m.csv", kDbcCodeBase, &imported, &error)) << error;
    EXPECT_EQ(imported.report, (std::vector<std::string>{
        "m.csv:1: column '发送节点' left out: not a column the import reads",
        "m.csv:4: signal Wide left out: it would span 9 bytes, past the 8 a field may" }));
    SignalDatabase database;
    std::vector<std::string> errors;
    ASSERT_TRUE(LoadSignalFile(imported.toml, "rig.toml", &database, &errors)) << errors[0];
    const SignalRef state = database.FindSignal("Engine.State");
    ASSERT_NE(state.signal, nullptr);
    EXPECT_EQ(state.message->periodMicros, 100000u);
    ASSERT_NE(state.signal->EnumName(2), nullptr);
    EXPECT_EQ(*state.signal->EnumName(2), "No Fault");
    EXPECT_EQ(database.FindSignal("Engine.Speed").signal->max, 8000);
}
