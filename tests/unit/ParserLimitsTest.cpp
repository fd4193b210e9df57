// Both ends of the limits of the local-time and JSON readers, and of the
// bridge's names and numbers: a one-point fault at any of them fails here.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "velkctl/BridgeLine.h"
#include "common/JsonObject.h"
#include "common/LocalTime.h"

namespace {

TEST(ParserLimits, LocalTimesAtTheEndsOfEveryField)
{
    WallTime time = {};
    struct Case { const char* text; bool good; };
    const Case cases[] = {
        { "2024-02-29T00:00:00Z", true },  { "2023-02-29T00:00:00Z", false },   // every fourth year
        { "2000-02-29T00:00:00Z", true },  { "2100-02-29T00:00:00Z", false },   // centuries: every fourth
        { "1900-02-28T00:00:00Z", true },  { "2026-04-30T00:00:00Z", true },
        { "2026-04-31T00:00:00Z", false }, { "2026-12-31T00:00:00Z", true },
        { "2026-13-01T00:00:00Z", false }, { "2026-00-01T00:00:00Z", false },
        { "2026-01-00T00:00:00Z", false }, { "2026-01-01T23:59:59Z", true },
        { "2026-01-01T23:60:00Z", false }, { "2026-01-01T23:59:60Z", false },
        { "2026-01-01T00:00:00.999999Z", true },
        { "2026-01-01T00:00:00+18:00", true },  { "2026-01-01T00:00:00+18:01", false },
        { "2026-01-01T00:00:00-18:00", true },  { "2026-01-01T00:00:00-18:01", false },
        { "2026-01-01T00:00:00-00:59", true },  { "2026-01-01T00:00:00-00:60", false },
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.good, ParseLocalTime(test.text, &time)) << test.text;

    // Negative offsets under an hour keep their sign; before 1970 the cut goes back in time.
    ASSERT_TRUE(ParseLocalTime("1970-01-01T00:00:00.000-00:30", &time));
    EXPECT_EQ(30 * 60 * 1000000LL, time.utcMicros);
    EXPECT_EQ(-30, time.offsetMinutes);
    EXPECT_EQ("-00:30", FormatUtcOffset(-30));
    EXPECT_EQ("-09:30", FormatUtcOffset(-570));
    EXPECT_EQ("+00:00", FormatUtcOffset(0));
    EXPECT_EQ("1969-12-31T23:59:59.999+00:00", FormatLocalTime(WallTime{ -1, 0 }));
    EXPECT_EQ("1969-12-31T23:30:00.000-00:30", FormatLocalTime(WallTime{ 0, -30 }));
    EXPECT_EQ("2100-03-01T00:00:00.000+00:00", FormatLocalTime(WallTime{ 4107542400000000LL, 0 }));
    EXPECT_EQ("2000-02-29T23:59:59.999+00:00", FormatLocalTime(WallTime{ 951868799999000LL, 0 }));
}

std::string StringMember(const std::string& json, bool* good)
{
    std::vector<JsonMember> members;
    std::string error;
    const std::string line = "{\"s\":\"" + json + "\"}";
    *good = ParseJsonObject(line.data(), line.size(), &members, &error);
    return *good ? members.at(0).text : error;
}

TEST(ParserLimits, JsonStringsAtTheEdgesOfUtf8AndOfTheirEscapes)
{
    struct Case { std::string json; bool good; std::string text; };
    const Case cases[] = {
        { "\\ud83d\\ude00", true, "\xf0\x9f\x98\x80" },
        { "\\ud800\\udc00", true, "\xf0\x90\x80\x80" },       // the first and
        { "\\udbff\\udfff", true, "\xf4\x8f\xbf\xbf" },       // the last pair
        { "\\ud83d\\u0041", false, "" }, { "\\udc00", false, "" }, { "\\ud83d", false, "" },
        { "\\uD7FF", true, "\xed\x9f\xbf" }, { "\\uE000", true, "\xee\x80\x80" },
        { "\\u0000", true, std::string(1, '\0') }, { "\\u001F", true, "\x1f" },
        { "\x1f", false, "" }, { " ", true, " " }, { "\x7f", true, "\x7f" },   // raw: below space is control
        { "\xc2\x80", true, "\xc2\x80" }, { "\xc1\xbf", false, "" },           // overlong two bytes
        { "\xe0\xa0\x80", true, "\xe0\xa0\x80" }, { "\xe0\x9f\xbf", false, "" },
        { "\xed\x9f\xbf", true, "\xed\x9f\xbf" }, { "\xed\xa0\x80", false, "" },   // no surrogates in UTF-8
        { "\xf4\x8f\xbf\xbf", true, "\xf4\x8f\xbf\xbf" }, { "\xf4\x90\x80\x80", false, "" },
        { "\xf0\x90\x80\x80", true, "\xf0\x90\x80\x80" }, { "\xf0\x8f\xbf\xbf", false, "" },
        { "\\u00e9\\/", true, "\xc3\xa9/" }, { "\\u00g9", false, "" },
        // Every two-character escape, and the bounds of the surrogate ranges.
        { "\\b\\f\\n\\r\\t\\\"\\\\\\/", true, "\b\f\n\r\t\"\\/" }, { "\\a", false, "" }, { "\\0", false, "" },
        { "\\udbff\\udc00", true, "\xf4\x8f\xb0\x80" }, { "\\ud800\\udfff", true, "\xf0\x90\x8f\xbf" },
        { "\\ud800\\udbff", false, "" }, { "\\ud800\\ue000", false, "" }, { "\\udfff", false, "" },
        { "\\uFFFF", true, "\xef\xbf\xbf" }, { "\\u0080", true, "\xc2\x80" }, { "\\u07ff", true, "\xdf\xbf" },
        { "\\u0800", true, "\xe0\xa0\x80" },
    };
    for (const Case& test : cases) {
        bool good = false;
        std::string text = StringMember(test.json, &good);
        EXPECT_EQ(test.good, good) << test.json << ": " << text;
        if (good && test.good) {
            EXPECT_EQ(test.text, text) << test.json;
        }
    }
    std::vector<JsonMember> members;
    std::string error;
    const std::string deepest = "{\"n\":" + std::string(16, '[') + std::string(16, ']') + "}";
    EXPECT_TRUE(ParseJsonObject(deepest.data(), deepest.size(), &members, &error)) << error;
    // Texts that end inside an escape, read from a buffer exactly their size;
    // four hex digits that end the text are whole, the string is what is cut.
    for (const char* cut : { "{\"s\":\"\\", "{\"s\":\"\\u004", "{\"s\":\"\\ud800\\", "{\"s\":\"\\ud800\\udc0", "{\"s\":\"\\u0041" }) {
        const std::vector<char> exact(cut, cut + strlen(cut));
        EXPECT_FALSE(ParseJsonObject(exact.data(), exact.size(), &members, &error)) << cut;
    }
    EXPECT_NE(std::string::npos, error.find("unterminated string")) << error;
}

TEST(ParserLimits, BridgeNamesAndSeqAtBothEnds)
{
    EXPECT_TRUE(IsBridgeName(std::string(64, 'a')));
    EXPECT_FALSE(IsBridgeName(std::string(65, 'a')));
    EXPECT_FALSE(IsBridgeName(""));
    EXPECT_TRUE(IsBridgeName("AZaz09_.-"));
    for (const char* bad : { "a/b", "a+", "a#", "a b", "\xc3\xa9" })
        EXPECT_FALSE(IsBridgeName(bad)) << bad;

    const std::string head = "{\"origin\":\"a\",\"code\":\"20000801\",\"kind\":\"value\",\"value\":1,\"run\":\"r\",\"seq\":";
    struct Case { const char* seq; bool good; };
    for (const Case& test : { Case{ "1", true }, Case{ "0", false }, Case{ "9007199254740992", true },
                              Case{ "9007199254740993", false }, Case{ "-1", false }, Case{ "1.0", false },
                              Case{ "18446744073709551617", false } }) {
        BridgeMessage message = {};
        std::string error;
        const std::string line = head + test.seq + "}";
        EXPECT_EQ(test.good, ParseBridgeLine(line.data(), line.size(), &message, &error)) << test.seq << ": " << error;
    }
    // A value's two ends and one past each; a length up to 64 KiB that matches its bytes.
    const std::string value = "{\"origin\":\"a\",\"code\":\"20000801\",\"kind\":\"value\",\"value\":";
    for (const Case& test : { Case{ "-2147483648", true }, Case{ "-2147483649", false }, Case{ "4294967295", true },
                              Case{ "4294967296", false }, Case{ "-0", false } }) {
        BridgeMessage message = {};
        std::string error;
        const std::string line = value + test.seq + "}";
        EXPECT_EQ(test.good, ParseBridgeLine(line.data(), line.size(), &message, &error)) << test.seq << ": " << error;
    }
    const std::string full = "{\"origin\":\"a\",\"code\":\"30000401\",\"kind\":\"array\",\"bytes\":\"" +
                             std::string(2 * 65536, 'f') + "\",\"length\":";
    BridgeMessage message = {};
    std::string error;
    const std::string longest = full + "65536}";
    EXPECT_TRUE(ParseBridgeLine(longest.data(), longest.size(), &message, &error)) << error;
    EXPECT_EQ(65536u, message.bytes.size());
    const std::string past = full + "65537}";
    EXPECT_FALSE(ParseBridgeLine(past.data(), past.size(), &message, &error));
}

} // namespace
