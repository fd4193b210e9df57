#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/JsonObject.h"
#include "formats/JsonLine.h"
#include "formats/RecordLine.h"
#include "formats/RecordReader.h"

namespace {

RecordedMessage Message(uint64_t micros, uint32_t code, int32_t value, const std::string& bytes = "")
{
    RecordedMessage message;
    message.micros = micros;
    message.code = code;
    message.kind = ClassifyCode(code);
    message.value = value;
    message.bytes = bytes;
    return message;
}

std::string Recording(const std::string& body)
{
    return std::string(kRecordHeader) + "\n" + body;
}

TEST(RecordLines, EveryKindByteAndExtremeSurvivesTheRoundTrip)
{
    std::string everyByte;
    for (int i = 0; i < 256; ++i)
        everyByte += static_cast<char>(i);
    const RecordedMessage messages[] = {
        Message(0, 0x20000801, 255),
        Message(12345, 0x00000000, INT32_MIN),
        Message(12345, 0xFFFFFFFF, INT32_MAX),   // String bit with a direction: still a payload code
        Message(20000, 0x10000800, -1),
        Message(1000000, 0x30000201, 0, std::string("hello\tworld\0\r\n", 14)),
        Message(1500000, 0x30000402, 0, everyByte),
        Message(999999999999999ULL, 0x30000203, 0, ""),   // empty payload, the latest time a file holds
        Message(999999999999999ULL, 0x20000603, 0, ""),   // both type bits: string wins
        Message(999999999999999ULL, 0x40000201, 7),      // Read Para string: a value
    };
    EXPECT_EQ("0.000000 20000801 V 255", FormatRecordLine(messages[0]));
    EXPECT_EQ("0.012345 00000000 V -2147483648", FormatRecordLine(messages[1]));
    EXPECT_EQ("1.000000 30000201 S 68656c6c6f09776f726c64000d0a", FormatRecordLine(messages[4]));
    EXPECT_EQ("999999999.999999 30000203 S -", FormatRecordLine(messages[6]));
    EXPECT_EQ("999999999.999999 20000603 S -", FormatRecordLine(messages[7]));

    std::string text = Recording("# start 2026-12-08T09:12:03.123Z\n\n");
    for (const RecordedMessage& message : messages)
        text += FormatRecordLine(message) + "\r\n";   // a file edited on Windows reads the same
    RecordParse parsed = ParseRecordText(text);
    ASSERT_EQ(0u, parsed.errorLine) << parsed.error;
    ASSERT_EQ(sizeof messages / sizeof messages[0], parsed.messages.size());
    for (size_t i = 0; i < parsed.messages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(messages[i].micros, parsed.messages[i].micros);
        EXPECT_EQ(messages[i].code, parsed.messages[i].code);
        EXPECT_EQ(messages[i].kind, parsed.messages[i].kind);
        EXPECT_EQ(messages[i].kind == kValueMessage ? messages[i].value : 0, parsed.messages[i].value);
        EXPECT_EQ(messages[i].kind == kValueMessage ? "" : messages[i].bytes, parsed.messages[i].bytes);
    }
    // Upper-case hex written by hand reads the same.
    parsed = ParseRecordText(Recording("0.5 3000040A A 00FFaB\n"));
    ASSERT_EQ(1u, parsed.messages.size()) << parsed.error;
    EXPECT_EQ(std::string("\x00\xff\xab", 3), parsed.messages[0].bytes);
    EXPECT_EQ(500000u, parsed.messages[0].micros);

}

TEST(RecordLines, MalformedLinesAreNamedWithTheirNumber)
{
    struct Case {
        const char* text;
        size_t line;
        const char* error;   // a part of the message
    };
    const Case cases[] = {
        { "", 1, "first line must be '# velk record 1'" },
        { "# velk record 2\n", 1, "first line" },
        { "0.0 20000801 V 1\n", 1, "first line" },
        { "# velk record 1\n0.0 20000801 V\n", 2, "expected 4 fields" },
        { "# velk record 1\n0.0 20000801 V 1 2\n", 2, "found 5" },
        { "# velk record 1\n0.0  20000801 V 1\n", 2, "expected 4 fields" },
        { "# velk record 1\n0.0 20000801 V 1 \n", 2, "expected 4 fields" },
        { "# velk record 1\n-1.0 20000801 V 1\n", 2, "bad time '-1.0'" },
        { "# velk record 1\n1. 20000801 V 1\n", 2, "bad time" },
        { "# velk record 1\n0.1234567 20000801 V 1\n", 2, "at most 6 decimals" },
        { "# velk record 1\n1000000001 20000801 V 1\n", 2, "bad time" },
        { "# velk record 1\n# c\n0.5 20000801 V 1\n0.4 20000801 V 1\n", 4, "before the previous line's 0.500000" },
        { "# velk record 1\n0 2000801 V 1\n", 2, "bad code '2000801': expected 8 hex digits" },
        { "# velk record 1\n0 0x000801 V 1\n", 2, "bad code" },
        { "# velk record 1\n0 20000801 v 1\n", 2, "bad kind 'v'" },
        { "# velk record 1\n0 20000801 S 41\n", 2, "kind S does not fit code 20000801, a value code" },
        { "# velk record 1\n0 30000201 V 1\n", 2, "a string code" },
        { "# velk record 1\n0 30000401 S 41\n", 2, "an array code" },
        { "# velk record 1\n0 20000801 V 2147483648\n", 2, "bad value '2147483648'" },
        { "# velk record 1\n0 20000801 V -2147483649\n", 2, "bad value" },
        { "# velk record 1\n0 20000801 V 0x10\n", 2, "bad value" },
        { "# velk record 1\n0 20000801 V -\n", 2, "bad value '-'" },
        { "# velk record 1\n0 30000201 S 123\n", 2, "odd number of hex digits" },
        { "# velk record 1\n0 30000201 S 41zz\n", 2, "non-hex character at byte 2" },
        { "# velk record 1\n0 30000201 S \n", 2, "no payload: write '-'" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        RecordParse parsed = ParseRecordText(test.text);
        EXPECT_EQ(test.line, parsed.errorLine);
        EXPECT_NE(std::string::npos, parsed.error.find(test.error)) << parsed.error;
        EXPECT_TRUE(parsed.messages.empty());   // nothing of a bad file is kept
    }
    // At the bounds: the latest time a file holds, 8 code digits and not 9.
    EXPECT_EQ(0u, ParseRecordText(Recording("1000000000.999999 20000801 V 1\n")).errorLine);
    EXPECT_EQ("bad code '200008011': expected 8 hex digits",
              ParseRecordText(Recording("0 200008011 V 1\n")).error);
    // What a line holds is quoted short and escaped: no NUL cuts the
    // message, no escape sequence reaches the terminal, a runaway field
    // makes a line.
    EXPECT_EQ("bad kind '\\x00\\x1b[2J': expected V, S or A",
              ParseRecordText(Recording(std::string("0 20000801 \0\x1b[2J 1\n", 19))).error);
    std::string runaway = ParseRecordText(Recording(std::string(100000, '7') + " 20000801 V 1\n")).error;
    EXPECT_EQ(0u, runaway.find("bad time '7777")) << runaway;
    EXPECT_NE(std::string::npos, runaway.find("...' (100000 bytes): expected seconds")) << runaway;
    EXPECT_LT(runaway.size(), 200u);

    std::string tooLong = Recording("0 30000201 S " + std::string(2 * (kMaxRecordedPayload + 1), 'a') + "\n");
    EXPECT_NE(std::string::npos, ParseRecordText(tooLong).error.find("longer than the bus takes"));
    std::string longest = Recording("0 30000201 S " + std::string(2 * kMaxRecordedPayload, 'a') + "\n");
    EXPECT_EQ(0u, ParseRecordText(longest).errorLine);
}

// ASCII alone: the code pages themselves are tested with PayloadText.
bool DecodeAscii(const char* bytes, size_t count, std::u16string* text)
{
    text->assign(bytes, bytes + count);
    return std::all_of(bytes, bytes + count, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
bool NoLeadByte(unsigned char) { return false; }

// A JSON line read back by the strict reader a script's would be: each
// member as "key=value", strings decoded and quoted, in the line's order.
std::vector<std::string> ReadBack(const std::string& line)
{
    std::vector<JsonMember> members;
    std::string error;
    if (!ParseJsonObject(line.data(), line.size(), &members, &error))
        return { "not one JSON object: " + error };
    std::vector<std::string> shown;
    for (const JsonMember& member : members) {
        const char* literal = member.type == kJsonTrue ? "true" : member.type == kJsonFalse ? "false" : "null";
        shown.push_back(member.key + "=" +
                        (member.type == kJsonString ? "'" + member.text + "'"
                         : member.type == kJsonNumber ? member.text : std::string(literal)));
    }
    return shown;
}

TEST(JsonLines, ValuesAndPayloadsWithTheirFields)
{
    const CodePage ascii = { 1, NoLeadByte, DecodeAscii };
    const struct {
        RecordedMessage message;
        uint64_t deltaMicros;
        bool expired;
        std::vector<std::string> members;
    } cases[] = {
        { Message(12345, 0x20000801, INT32_MIN), 12345, false,
          { "t=0.012345", "delta_ms=12.345", "code='20000801'", "kind='value'", "value=-2147483648" } },
        // The text shows what a terminal must not get raw as escapes.
        { Message(1000000, 0x30000201, 0, std::string("\"\0\\", 3)), 0, false,
          { "t=1.000000", "delta_ms=0.000", "code='30000201'", "kind='string'", "length=3", "bytes='22005c'",
            "text='\"\\x00\\'" } },
        { Message(2000000, 0x30000402, 0), 1000000, true,
          { "t=2.000000", "delta_ms=1000.000", "code='30000402'", "kind='array'", "length=0", "bytes=''",
            "expired=true" } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.members, ReadBack(FormatJsonLine(c.message, c.deltaMicros, c.expired, ascii))) << c.message.code;
}

} // namespace
