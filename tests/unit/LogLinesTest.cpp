#include <gtest/gtest.h>

#include <string.h>

#include "protocol/LogLines.h"

namespace {

// Stands in for the bus library's vGetp: hands out one payload and records the call.
struct FakePayload {
    const void* address;
    int32_t length;
    int calls;
    intptr_t askedFor;
};

const void* FetchFake(void* context, intptr_t dataWord, int32_t* length)
{
    FakePayload* payload = static_cast<FakePayload*>(context);
    ++payload->calls;
    payload->askedFor = dataWord;
    *length = payload->length;
    return payload->address;
}

std::string Incoming(uint32_t delta, uint32_t code, intptr_t dataWord, FakePayload* payload)
{
    return FormatIncomingLine(delta, code, dataWord, payload ? FetchFake : nullptr, payload);
}

TEST(SentLines, ValueStringAndArray)
{
    EXPECT_EQ("20000801      ff", FormatSentValue(0x20000801, 255));
    EXPECT_EQ("80800000      0", FormatSentValue(0x80800000, 0));
    EXPECT_EQ("5      ffffffff", FormatSentValue(5, 0xFFFFFFFF));

    EXPECT_EQ("30000200(  4) a\\nb", FormatSentString(0x30000200, "a\\nb"));
    EXPECT_EQ("30000200(  0) ", FormatSentString(0x30000200, ""));
    EXPECT_EQ("300002ff(  4) \xB2\xE2\xCA\xD4", FormatSentString(0x300002FF, "\xB2\xE2\xCA\xD4"));
    const std::string longText(300, 'x');
    EXPECT_EQ("30000200(300) " + longText, FormatSentString(0x30000200, longText));

    const unsigned char bytes[] = { 0x01, 0x05, 0x09, 0x00, 0x02, 0x09, 0x00, 0x00, 0x01, 0x03, 0x03 };
    EXPECT_EQ("30000400( 11) 01 05 09 00 02 09 00 00 01 03 03", FormatSentArray(0x30000400, bytes, 11));
    const unsigned char high[] = { 0xA0, 0xFF };
    EXPECT_EQ("30000407(  2) A0 FF", FormatSentArray(0x30000407, high, 2));
}

TEST(IncomingLines, ValueShowsTheDataWordSigned)
{
    EXPECT_EQ("00250 20000805      7", Incoming(250, 0x20000805, 7, nullptr));
    EXPECT_EQ("00250 20000805      -1", Incoming(250, 0x20000805, static_cast<intptr_t>(0xFFFFFFFFu), nullptr));
    EXPECT_EQ("00250 805      0", Incoming(250, 0x805, 0, nullptr));
    EXPECT_EQ("00001 10000000      -2147483648", Incoming(1, 0x10000000, static_cast<intptr_t>(0x80000000u), nullptr));
    EXPECT_EQ("00000 0      2147483647", Incoming(0, 0, 0x7FFFFFFF, nullptr));
    // A Read Para string is a value: its data word is printed, nothing fetched.
    FakePayload payload = { "never", 5, 0, 0 };
    EXPECT_EQ("00003 40000201      12345", Incoming(3, 0x40000201, 12345, &payload));
    EXPECT_EQ(0, payload.calls);
}

TEST(IncomingLines, TimeDeltaIsZeroFilledToFiveAndPrintedWhole)
{
    EXPECT_EQ("3600000 805      0", Incoming(3600000, 0x805, 0, nullptr));
    EXPECT_EQ("00272 805      0", Incoming(0x00000010u - 0xFFFFFF00u, 0x805, 0, nullptr));
    EXPECT_EQ("4294967295 805      0", Incoming(0xFFFFFFFFu, 0x805, 0, nullptr));
}

TEST(IncomingLines, StringIsCutTo54BytesThenEscaped)
{
    FakePayload payload = { "hello\tworld", 11, 0, 0 };
    EXPECT_EQ("01234 30000201[ 11] hello\\tworld", Incoming(1234, 0x30000201, 0x4242, &payload));
    EXPECT_EQ(1, payload.calls);
    EXPECT_EQ(0x4242, payload.askedFor);

    const std::string sixty = std::string(50, 'a') + "0123456789";
    payload = FakePayload{ sixty.c_str(), 60, 0, 0 };
    EXPECT_EQ("00009 30000200[ 60] " + sixty.substr(0, 54), Incoming(9, 0x30000200, 1, &payload));

    const std::string newlines(54, '\n');
    payload = FakePayload{ newlines.c_str(), 54, 0, 0 };
    std::string line = Incoming(250, 0x30000201, 1, &payload);
    EXPECT_EQ(128u, line.size());
    std::string expected = "00250 30000201[ 54] ";
    for (int i = 0; i < 54; ++i)
        expected += "\\n";
    EXPECT_EQ(expected, line);

    // The reported length is only shown: it neither cuts nor extends the text.
    payload = FakePayload{ "abcdef", 2, 0, 0 };
    EXPECT_EQ("00001 30000200[  2] abcdef", Incoming(1, 0x30000200, 1, &payload));
    payload = FakePayload{ "ab", -7, 0, 0 };
    EXPECT_EQ("00001 30000200[ -7] ab", Incoming(1, 0x30000200, 1, &payload));

    payload = FakePayload{ "page\fbreak\x7f", 11, 0, 0 };
    EXPECT_EQ("00001 10000200[ 11] page\fbreak\x7f", Incoming(1, 0x10000200, 1, &payload));
}

TEST(IncomingLines, StringCodeWithArrayBitIsAString)
{
    FakePayload payload = { "x", 1, 0, 0 };
    EXPECT_EQ("00002 10000600[  1] x", Incoming(2, 0x10000600, 1, &payload));
}

TEST(IncomingLines, ArrayShowsAtMost18Bytes)
{
    const unsigned char three[] = { 0x01, 0xA0, 0xFF };
    FakePayload payload = { three, 3, 0, 0 };
    EXPECT_EQ("00016 30000402(  3)  01 A0 FF", Incoming(16, 0x30000402, 1, &payload));

    unsigned char twenty[20];
    for (int i = 0; i < 20; ++i)
        twenty[i] = static_cast<unsigned char>(i + 1);
    const std::string first18 = " 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12";
    payload = FakePayload{ twenty, 20, 0, 0 };
    EXPECT_EQ("00016 30000402( 20) " + first18, Incoming(16, 0x30000402, 1, &payload));
    // A negative length counts as a large unsigned one.
    payload = FakePayload{ twenty, -1, 0, 0 };
    EXPECT_EQ("00016 30000402( -1) " + first18, Incoming(16, 0x30000402, 1, &payload));

    payload = FakePayload{ twenty, 0, 0, 0 };
    EXPECT_EQ("00016 30000402(  0) ", Incoming(16, 0x30000402, 1, &payload));

    // Escapes are for strings only.
    const unsigned char control[] = { '\n', '\t' };
    payload = FakePayload{ control, 2, 0, 0 };
    EXPECT_EQ("00016 20000400(  2)  0A 09", Incoming(16, 0x20000400, 1, &payload));
}

TEST(IncomingLines, MissingPayloadsShowTheHeadOnly)
{
    // No vGetp bound: head with length 0.
    EXPECT_EQ("00005 30000201[  0] ", Incoming(5, 0x30000201, 1, nullptr));
    EXPECT_EQ("00005 30000402(  0) ", Incoming(5, 0x30000402, 1, nullptr));
    // Null addresses: the reported length, no text, no bytes.
    FakePayload payload = { nullptr, 9, 0, 0 };
    EXPECT_EQ("00005 30000201[  9] ", Incoming(5, 0x30000201, 1, &payload));
    payload = FakePayload{ nullptr, 9, 0, 0 };
    EXPECT_EQ("00005 30000402(  9) ", Incoming(5, 0x30000402, 1, &payload));
}

} // namespace
