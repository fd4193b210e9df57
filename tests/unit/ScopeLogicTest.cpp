// velkscope's command line and engine, and the latest-value cell the live
// views share.
#include <stdio.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/LatestValue.h"
#include "velkscope/RecordingBudget.h"
#include "velkscope/ScopeModel.h"
#include "velkscope/ScopeOptions.h"

namespace {

bool NoLeadBytes(unsigned char) { return false; }
bool Gbk(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::vector<std::string> TooManyCodes()
{
    std::vector<std::string> args;
    for (size_t i = 0; i <= kMaxScopeTraces; ++i) {
        args.push_back("--code");
        char code[16];
        snprintf(code, sizeof code, "%08zx", 0x20001000 + i);
        args.push_back(code);
    }
    return args;
}

TEST(ScopeOptions, EveryArgumentIsCheckedAndABadOneNamed)
{
    ScopeOptions options;
    std::string error;
    ASSERT_TRUE(ParseScopeArguments({ "--code", "20001001", "--code=0x30000403", "--window", "2m", "--mask",
                                      "0x1000", "--array", "word", "--bus", "bench" }, &options, &error)) << error;
    EXPECT_EQ((std::vector<uint32_t>{ 0x20001001, 0x30000403 }), options.codes);
    EXPECT_EQ(120000000, options.windowMicros);
    EXPECT_EQ(0x1000u, options.mask);
    EXPECT_EQ(kArrayFirstWord, options.arrayValue);
    EXPECT_EQ("bench", options.busName);

    // Bare words are recordings, in their order; a workspace by name.
    ASSERT_TRUE(ParseScopeArguments({ "night.rec", "--workspace", "bench.toml", "day.rec" }, &options, &error)) << error;
    EXPECT_EQ((std::vector<std::string>{ "night.rec", "day.rec" }), options.recordings);
    EXPECT_EQ("bench.toml", options.workspace);

    // As many recordings as a workspace names, and not one more.
    std::vector<std::string> sixteen(kMaxRecordings, "night.rec");
    ScopeOptions many;
    EXPECT_TRUE(ParseScopeArguments(sixteen, &many, &error)) << error;
    sixteen.push_back("day.rec");
    ScopeOptions seventeen;
    EXPECT_FALSE(ParseScopeArguments(sixteen, &seventeen, &error));
    EXPECT_EQ("at most 16 recordings are opened at once", error);

    ScopeOptions defaults;
    ASSERT_TRUE(ParseScopeArguments({}, &defaults, &error));
    EXPECT_EQ(10000000, defaults.windowMicros);
    EXPECT_EQ(0x0080FF00u, defaults.mask);

    struct Case { std::vector<std::string> args; const char* named; };
    const Case bad[] = {
        { { "--code", "2000100G" }, "2000100G" },
        { { "--code" }, "--code" },
        { { "--window", "500ms" }, "500ms" },
        { { "--window", "2h" }, "2h" },
        { { "--window", "fast" }, "fast" },
        { { "--mask", "-1" }, "-1" },
        { { "--array", "dword" }, "dword" },
        { { "--bus=" }, "--bus" },
        { { "--cod", "20001001" }, "--cod" },
        { { "-x" }, "-x" },
        { { "" }, "empty" },
        { { "--workspace=" }, "--workspace" },
        { TooManyCodes(), "64" },
    };
    for (const Case& test : bad) {
        SCOPED_TRACE(test.named);
        ScopeOptions ignored;
        error.clear();
        EXPECT_FALSE(ParseScopeArguments(test.args, &ignored, &error));
        EXPECT_NE(std::string::npos, error.find(test.named)) << error;
    }
}

TEST(ScopeModels, TraceWhatIsTickedWithinTheirBounds)
{
    ScopeModel model(1000000, kArrayFirstWord);
    for (uint32_t code = 1; code <= kTraceColours; ++code)
        EXPECT_TRUE(model.Tick(0x20001000 | code));
    model.Untick(0x20001003);
    EXPECT_TRUE(model.Tick(0x30000409));
    EXPECT_EQ(2u, model.Traces()[static_cast<size_t>(model.TraceOf(0x30000409))].colour);   // the freed colour
    for (uint32_t code = kTraceColours + 1; model.Traces().size() < kMaxScopeTraces; ++code)
        ASSERT_TRUE(model.Tick(0x20002000 | code));
    EXPECT_FALSE(model.Tick(0x20003000));   // one past the most
    EXPECT_EQ(kMaxScopeTraces, model.Traces().size());
    model.Untick(0x30000409);

    // An array draws its first word; a string, or an array too short, nothing.
    LatestValue array, shortArray, text;
    array.Set(kArrayPayload, 0, "\x34\x12\xFF", 3);
    shortArray.Set(kArrayPayload, 0, "\x34", 1);
    text.Set(kStringPayload, 0, "12", 2);
    bool inserted = false;
    model.Receive(0x30000409, 10, array, &inserted);
    EXPECT_TRUE(inserted);
    model.Receive(0x30000409, 20, shortArray, &inserted);
    EXPECT_FALSE(inserted);
    ASSERT_TRUE(model.Tick(0x30000409));   // drawn again from the history
    const size_t trace = static_cast<size_t>(model.TraceOf(0x30000409));
    EXPECT_EQ(1u, model.TraceSamples(trace));
    std::vector<Column> columns = model.TraceColumns(trace, 20, 10);
    ASSERT_EQ(1u, columns.back().count);
    EXPECT_EQ(0x1234, columns.back().max);

    // Rows sorted by code; past the bound new codes are only counted.
    for (uint32_t code = 0; code < kMaxCodes + 5; ++code)
        model.Receive(0x10000800 + (kMaxCodes + 5 - code), 30, text, &inserted);
    EXPECT_EQ(kMaxCodes, model.Rows().size());
    EXPECT_EQ(6u, model.Unlisted());
    for (size_t i = 1; i < model.Rows().size(); ++i)
        EXPECT_LT(model.Rows()[i - 1].code, model.Rows()[i].code);
}

TEST(ScopeModels, TheCursorReadsNothingInADropout)
{
    ScopeModel model(4000000, kArrayFirstByte);   // 400 columns of 10 ms
    std::vector<Column> columns(400);
    for (size_t p = 0; p <= 100; p += 4)
        columns[p].Add(static_cast<int32_t>(p));
    columns[100].Add(-5);
    for (size_t p = 180; p <= 300; p += 4)
        columns[p].Add(static_cast<int32_t>(p));
    auto at = [&](size_t pixel) { return model.ReadAt({ columns }, pixel).values.at(0); };
    EXPECT_EQ("-5..100", at(100));   // the column's range
    EXPECT_EQ("96", at(98));         // the usual step: the last value
    EXPECT_EQ("-", at(102));         // the dropout, as the line breaks there
    EXPECT_EQ("-", at(179));
    EXPECT_EQ("180", at(180));
    EXPECT_EQ("300", at(303));       // not silent for long yet
    EXPECT_EQ("-", at(399));         // silent since
    EXPECT_DOUBLE_EQ(0.0, model.ReadAt({ columns }, 399).secondsBack);
}

TEST(LatestValues, OneCellPerMessageCutToItsWidth)
{
    struct Case { MessageKind kind; int32_t value; std::string bytes; size_t width; LeadByteTest lead; const char* shown; };
    const Case cases[] = {
        { kValueMessage, -42, "", 20, NoLeadBytes, "-42" },
        { kValueMessage, INT32_MIN, "", 20, NoLeadBytes, "-2147483648" },
        { kValueMessage, 123456, "", 4, NoLeadBytes, "123~" },
        { kStringPayload, 0, "hi\n\x01there", 20, NoLeadBytes, "hi\\n.there" },
        { kStringPayload, 0, std::string("ab\0cd", 5), 20, NoLeadBytes, "ab" },
        { kStringPayload, 0, "\xC9\xEE\xB6\xC8 depth", 4, Gbk, "\xC9\xEE~" },     // a GBK character kept whole
        { kStringPayload, 0, "\xC9\xEE\xB6\xC8", 3, Gbk, "\xC9\xEE~" },
        { kArrayPayload, 0, "\x01\xFF\x3C", 20, NoLeadBytes, "01 FF 3C" },
        { kArrayPayload, 0, std::string(70, '\x11'), 8, NoLeadBytes, "11 11 ~" },
        { kArrayPayload, 0, "", 8, NoLeadBytes, "" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.shown);
        LatestValue latest;
        latest.Set(test.kind, test.value, test.bytes.data(), static_cast<int32_t>(test.bytes.size()));
        EXPECT_EQ(test.shown, LatestValueText(latest, test.width, test.lead));
        EXPECT_LE(LatestValueText(latest, test.width, test.lead).size(), test.width);
    }
    LatestValue expired;
    expired.Set(kStringPayload, 0, nullptr, 0);
    EXPECT_EQ("(expired)", LatestValueText(expired, 20, NoLeadBytes));

    // A long payload is kept to its head, but its whole length still tells a change.
    LatestValue a, b;
    a.Set(kArrayPayload, 0, std::string(100, 'x').data(), 100);
    b.Set(kArrayPayload, 0, std::string(100, 'x').data(), 99);
    EXPECT_EQ(static_cast<size_t>(kLatestPayloadBytes), a.bytes.size());
    EXPECT_TRUE(a != b);
}

} // namespace
