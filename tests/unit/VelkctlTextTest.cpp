// What velkctl writes for people: payloads as text, local times. Pure logic;
// the code pages come from the host's iconv here, MultiByteToWideChar there.
#include <errno.h>

#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "formats/CsvExport.h"
#include "formats/JsonLine.h"
#include "common/JsonObject.h"
#include "common/LocalTime.h"
#include "common/PayloadText.h"
#include "formats/RecordLine.h"
#include "tests/unit/HostCodePages.h"

namespace {

TEST(PayloadTexts, CodePageToUtf8WithControlsEscapedAndBadBytesMarked)
{
    struct Case { const CodePage* page; std::string bytes; const char* text; };
    const Case cases[] = {
        { &kGbk, "hello", "hello" },
        { &kGbk, "", "" },
        { &kGbk, "\xc4\xe3\xba\xc3", "\xe4\xbd\xa0\xe5\xa5\xbd" },                        // 你好
        { &kGbk, "\xce\xc2\xb6\xc8\t25\r\n", "\xe6\xb8\xa9\xe5\xba\xa6\\t25\\r\\n" },     // 温度, the console's escapes
        { &kGbk, std::string("\x07\x08\x01\x1b\x7f\x00z", 7), "\\a\\b\\x01\\x1b\\x7f\\x00z" },
        { &kGbk, "a\"b\\c", "a\"b\\c" },                                                   // JSON quotes them, not this
        { &kGbk, "\x81\x40", "\xe4\xb8\x82" },                                             // 丂: the second byte is '@'
        // Bytes that are no character: marked one by one, the characters around them kept.
        { &kGbk, "ab\xff\xc4\xe3", "ab\\xff\xe4\xbd\xa0" },
        { &kGbk, "\xc4\xe3\xc4", "\xe4\xbd\xa0\\xc4" },                                   // a lead byte cut off
        { &kGbk, "\x81\nx", "\\x81\\nx" },                                                 // a lead byte before a control
        { &kGbk, "\xff\xffz", "\\xff\\xffz" },
        { &kUtf8, "\xc3\xa9\xff\xe4\xbd\xa0", "\xc3\xa9\\xff\xe4\xbd\xa0" },               // é, a bad byte, 你
        { &kUtf8, "\xe4\xbd", "\\xe4\\xbd" },
        // C1 (CSI among them) and the bidirectional overrides: escaped as any control.
        { &kUtf8, "a\xc2\x9b" "2J\xe2\x80\xae" "b\xe2\x81\xa6", "a\\u009b2J\\u202eb\\u2066" },
        { &kUtf8, "\xc2\xa0\xe2\x80\xaf", "\xc2\xa0\xe2\x80\xaf" },   // U+00A0, U+202F: text
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(test.text, PayloadText(test.bytes, *test.page));
    }
}

// The plain monitor's line stays in the code page; only what a terminal
// would act on is escaped.
TEST(PayloadTexts, ALineKeepsItsCodePageButNotItsControls)
{
    struct Case { const CodePage* page; std::string line; const char* shown; };
    const Case cases[] = {
        { &kGbk, "00012 20001001      5", "00012 20001001      5" },
        { &kGbk, "30000201[  9] a\x1b[2J\\nb", "30000201[  9] a\\x1b[2J\\nb" },   // ESC; the console's \n kept
        { &kGbk, std::string("\x00\x1f \x7f~", 5), "\\x00\\x1f \\x7f~" },
        { &kGbk, "\xc4\xe3\x81\x40!", "\xc4\xe3\x81\x40!" },      // GBK's 0x81 starts a character: kept
        { &kGbk, "a\xff\xc4", "a\\xff\\xc4" },                    // no character, a lead byte cut off
        { &kUtf8, "a\xc2\x9b" "2J\xc2\xa0\xc3\xa9", "a\\xc2\\x9b2J\xc2\xa0\xc3\xa9" },   // CSI; U+00A0 and e-acute kept
        { &kUtf8, "\xc2\x80\xc2\x9f\xc2\xa0", "\\xc2\\x80\\xc2\\x9f\xc2\xa0" },          // C1's ends, and past it
        { &kUtf8, "x\xe2\x80\xae\xe2\x81\xa9\xe2\x80\xaf", "x\\xe2\\x80\\xae\\xe2\\x81\\xa9\xe2\x80\xaf" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.shown);
        EXPECT_EQ(test.shown, EscapeLineControls(test.line, *test.page));
    }
}

TEST(JsonLines, StringPayloadsCarryTheirTextAndAnAbsoluteTimeComesFirst)
{
    RecordedMessage message = { 1500, 0x30000201, kStringPayload, 0, "\xce\xc2\"\\\n\xff", 0 };
    std::vector<JsonMember> members;
    std::string error;
    std::string line = FormatJsonLine(message, 1500, false, kGbk);
    ASSERT_TRUE(ParseJsonObject(line.data(), line.size(), &members, &error)) << error << ": " << line;
    ASSERT_EQ(7u, members.size()) << line;
    EXPECT_EQ("length", members[4].key);
    EXPECT_EQ("6", members[4].text);
    EXPECT_EQ("cec2225c0aff", members[5].text);
    // GBK decoded to UTF-8 (温), the control byte and the byte GBK lacks shown as escapes.
    EXPECT_EQ("text", members[6].key);
    EXPECT_EQ("\xe6\xb8\xa9\"\\\\n\\xff", members[6].text);
    message.kind = kArrayPayload;
    message.code = 0x30000401;
    EXPECT_EQ(std::string::npos, FormatJsonLine(message, 0, false, kGbk).find("text"));   // arrays are bytes only
    RecordedMessage value = { 0, 0x20000801, kValueMessage, -3, "", 0 };
    line = FormatJsonLine(value, 0, false, kGbk, "2026-12-08T20:25:40.150+08:00");
    ASSERT_TRUE(ParseJsonObject(line.data(), line.size(), &members, &error)) << error << ": " << line;
    ASSERT_EQ(6u, members.size()) << line;
    EXPECT_EQ("time", members[0].key);
    EXPECT_EQ("2026-12-08T20:25:40.150+08:00", members[0].text);
    EXPECT_EQ("t", members[1].key);
    EXPECT_EQ("-3", members[5].text);
}

TEST(LocalTimes, LocalWallTimeWithItsOffsetAndBack)
{
    const int64_t instant = 1796732740150000;   // 2026-12-08T12:25:40.150Z
    struct Case { int64_t utcMicros; int offset; const char* text; };
    const Case cases[] = {
        { instant, 480, "2026-12-08T20:25:40.150+08:00" },
        { instant, 0, "2026-12-08T12:25:40.150+00:00" },
        { instant, 330, "2026-12-08T17:55:40.150+05:30" },    // India: a half-hour zone
        { instant, -210, "2026-12-08T08:55:40.150-03:30" },   // Newfoundland: behind, by a half hour more
        { instant, 845, "2026-12-09T02:30:40.150+14:05" },
        { instant + 999, 0, "2026-12-08T12:25:40.150+00:00" },          // milliseconds cut, not rounded
        { 1767232800000000, -300, "2025-12-31T21:00:00.000-05:00" },    // back over the new year
        { 1709251199999999, 60, "2024-03-01T00:59:59.999+01:00" },      // past a leap day
        { 0, -60, "1969-12-31T23:00:00.000-01:00" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        WallTime time = { test.utcMicros, test.offset };
        EXPECT_EQ(test.text, FormatLocalTime(time));
        WallTime parsed = { 1, 1 };
        ASSERT_TRUE(ParseLocalTime(test.text, &parsed));
        EXPECT_EQ(test.utcMicros / 1000 * 1000, parsed.utcMicros);
        EXPECT_EQ(test.offset, parsed.offsetMinutes);
    }
    EXPECT_EQ("2026-12-08 20:25:40.150", FormatSpreadsheetTime(WallTime{ instant, 480 }));

    // A recording's start line: local with its offset; older ones in UTC still read.
    WallTime start = { instant, 480 };
    EXPECT_EQ("# start 2026-12-08T20:25:40.150+08:00", FormatStartLine(start));
    WallTime read = { 0, 0 };
    ASSERT_TRUE(ParseStartLine("# start 2026-12-08T12:25:40.150Z", &read));
    EXPECT_EQ(instant, read.utcMicros);
    EXPECT_EQ(0, read.offsetMinutes);
    ASSERT_TRUE(ParseStartLine("# start 2026-12-08T20:25:40.150123+08:00", &read));
    EXPECT_EQ(instant + 123, read.utcMicros);
    const char* const bad[] = {
        "2026-02-29T00:00:00.000Z", "2026-12-08T24:00:00.000Z", "2026-12-08T20:25:40.150+8:00",
        "2026-12-08T20:25:40.150+19:00", "2026-12-08T20:25:40.+08:00", "2026-12-08T20:25:40.1234567Z",
        "2026-12-08 20:25:40.150Z", "2026-12-08T20:25:40.150", "2026-12-08T20:25:40.150Z ",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(ParseLocalTime(text, &read)) << text;
    }
    EXPECT_FALSE(ParseStartLine("# started 2026-12-08T12:25:40.150Z", &read));
}

TEST(CsvRows, OneRowPerMessageQuotedAsRfc4180AndNeverAFormula)
{
    const WallTime start = { 1796732740150000, 330 };   // 2026-12-08T12:25:40.150Z, seen in UTC+05:30
    EXPECT_EQ("time (UTC+05:30),seconds,code,direction,type,channel,kind,value,text,bytes,length",
              FormatCsvHeader(&start));
    const WallTime west = { 0, -210 };
    EXPECT_EQ(0u, FormatCsvHeader(&west).find("time (UTC-03:30),"));
    EXPECT_EQ(0u, FormatCsvHeader(nullptr).find("time,seconds,"));

    struct Case { RecordedMessage message; const char* row; };
    const Case cases[] = {
        { { 118711, 0x20000801, kValueMessage, -3, "", 0 },
          "2026-12-08 17:55:40.268,0.118711,0x20000801,Write Value,DEP,1,value,-3,,," },
        { { 1000000, 0x30000202, kStringPayload, 0, "\xce\xc2,\"25\"\t", 0 },
          "2026-12-08 17:55:41.150,1.000000,0x30000202,Read Value+Write Value,STR,2,string,,"
          "\"\xe6\xb8\xa9,\"\"25\"\"\\t\",0xcec22c2232352209,8" },
        { { 2000000, 0x30000403, kArrayPayload, 0, std::string("\0\xff", 2), 0 },
          "2026-12-08 17:55:42.150,2.000000,0x30000403,Read Value+Write Value,ARR,3,array,,,0x00ff,2" },
        { { 3000000, 0x30000201, kStringPayload, 0, "", 0 },   // expired, or empty
          "2026-12-08 17:55:43.150,3.000000,0x30000201,Read Value+Write Value,STR,1,string,,,,0" },
        { { 4000000, 0x00001807, kValueMessage, 0, "", 0 }, "2026-12-08 17:55:44.150,4.000000,0x00001807,,DEP+ADC,7,value,0,,," },
        // A text a spreadsheet would run.
        { { 5000000, 0x30000201, kStringPayload, 0, "=1+1", 0 },
          "2026-12-08 17:55:45.150,5.000000,0x30000201,Read Value+Write Value,STR,1,string,,'=1+1,0x3d312b31,4" },
        { { 5000000, 0x30000201, kStringPayload, 0, "@x,-", 0 },
          "2026-12-08 17:55:45.150,5.000000,0x30000201,Read Value+Write Value,STR,1,string,,\"'@x,-\",0x40782c2d,4" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.row);
        EXPECT_EQ(test.row, FormatCsvRow(test.message, &start, kGbk));
    }
    RecordedMessage value = { 118711, 0x20000801, kValueMessage, -3, "", 0 };
    EXPECT_EQ(",0.118711,0x20000801,Write Value,DEP,1,value,-3,,,", FormatCsvRow(value, nullptr, kGbk));
    // The ends of a value, a code and a channel, written digit by digit.
    value = { UINT64_MAX, 0xFFFFFFFF, kValueMessage, INT32_MIN, "", 0 };
    EXPECT_EQ(0u, FormatCsvRow(value, nullptr, kGbk).find(",18446744073709.551615,0xffffffff,"));
    EXPECT_NE(std::string::npos, FormatCsvRow(value, nullptr, kGbk).find(",255,value,-2147483648,,,"));
    value = { 0, 0x00000100, kValueMessage, INT32_MAX, "", 0 };
    EXPECT_EQ(",0.000000,0x00000100,,ABS,0,value,2147483647,,,", FormatCsvRow(value, nullptr, kGbk));
    std::string digits;
    AppendDecimal(&digits, 7, 3);
    AppendDecimal(&digits, 1234, 3);
    AppendHex(&digits, 0x1, 8);
    EXPECT_EQ("007123400000001", digits);

    EXPECT_EQ("plain", CsvField("plain"));
    EXPECT_EQ("\"a,b\"", CsvField("a,b"));
    EXPECT_EQ("\"say \"\"hi\"\"\"", CsvField("say \"hi\""));
    EXPECT_EQ("\"two\r\nlines\"", CsvField("two\r\nlines"));
    EXPECT_EQ("\"\n\"", CsvField("\n"));

    // Each formula starter neutralised, its neighbours and later bytes not.
    for (const char* starter : { "=", "+", "-", "@", "\t" })
        EXPECT_EQ(std::string("'") + starter + "1", CsvTextField(std::string(starter) + "1")) << starter;
    EXPECT_EQ("\"'\r1\"", CsvTextField("\r1"));
    for (const char* plain : { "<1", "A1", "?1", ",1", "\x0b" "1", "\n1", " =1", "1=", "" })
        EXPECT_EQ(CsvField(plain), CsvTextField(plain)) << plain;
}

// Whatever a text holds, a JSON line holds no byte a terminal acts on: C0,
// C1 and the bidirectional overrides are escapes in it.
TEST(JsonLines, NoControlCharacterGoesOutRaw)
{
    EXPECT_EQ("\"\\u009b\\u202e\\u0001\xc2\xa0\"", JsonString("\xc2\x9b\xe2\x80\xae\x01\xc2\xa0"));
    const RecordedMessage message = { 0, 0x30000201, kStringPayload, 0, "\xc2\x9b[2J\xe2\x80\xae", 0 };
    const std::string line = FormatJsonLine(message, 0, false, kUtf8);
    EXPECT_NE(std::string::npos, line.find("\"text\":\"\\\\u009b[2J\\\\u202e\"")) << line;
}

} // namespace
