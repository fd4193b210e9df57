// velkctl bridge's pure parts: its lines read back strictly, input cut into
// bounded lines, and loss told from the sequence numbers.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "velkctl/BridgeBatch.h"
#include "velkctl/BridgeLine.h"
#include "velkctl/BridgeRules.h"
#include "velkctl/BridgeTopic.h"
#include "formats/JsonLine.h"
#include "common/LineSplitter.h"
#include "velkctl/SeqTracker.h"

namespace {

// Every byte a character of its own: "text" is only written, never read back.
bool DecodeBytes(const char* bytes, size_t count, std::u16string* text)
{
    text->assign(bytes, bytes + count);
    return true;
}
bool NoLeadByte(unsigned char) { return false; }
const CodePage kBytes = { 1, NoLeadByte, DecodeBytes };

bool Parse(const std::string& line, BridgeMessage* message, std::string* error)
{
    return ParseBridgeLine(line.data(), line.size(), message, error);
}

// An input line that holds one message (no batch).
InputLineVerdict ReadOne(const std::string& line, const std::string& prefix, BridgeMessage* message, std::string* error)
{
    std::vector<BridgeInput> items;
    ReadInputLine(line, prefix, &items);
    EXPECT_EQ(1u, items.size()) << line.substr(0, 80);
    if (items.empty())
        return kInputBad;
    *message = items[0].message;
    *error = items[0].error;
    return items[0].verdict;
}

std::string ValueLine(const std::string& origin, uint64_t seq)
{
    RecordedMessage value = { 0, 0x20000801, kValueMessage, static_cast<int32_t>(seq), "" };
    return FormatBridgeLine(FormatJsonLine(value, 0, false, kBytes), origin, "r1", seq);
}

// A line as mosquitto_sub -F %j prints it: the payload a JSON string.
std::string OnTopic(const std::string& topic, const std::string& payload)
{
    std::string quoted;
    for (char c : payload)
        quoted += c == '"' || c == '\\' ? std::string("\\") + c : std::string(1, c);
    return "{\"topic\":\"" + topic + "\",\"payload\":\"" + quoted + "\"}";
}

TEST(BridgeLines, WhatABridgeWritesReadsBackExactly)
{
    std::string everyByte;
    for (int b = 1; b <= 0xFF; ++b)
        everyByte += static_cast<char>(b);
    RecordedMessage value = { 1500000, 0x20000801, kValueMessage, -7, "" };
    RecordedMessage text = { 1500000, 0x30000203, kStringPayload, 0, everyByte };
    RecordedMessage array = { 1500000, 0x30000405, kArrayPayload, 0, std::string("\0\xff\x01", 3) };
    RecordedMessage empty = { 1500000, 0x30000400, kArrayPayload, 0, "" };
    uint64_t seq = 1;
    for (const RecordedMessage& sent : { value, text, array, empty }) {
        std::string line = FormatBridgeLine(FormatJsonLine(sent, 2000, false, kBytes), "lab-1.a", "5f0c2a9e81d4b7c3", seq);
        SCOPED_TRACE(line.substr(0, 120));
        BridgeMessage got;
        std::string error;
        ASSERT_TRUE(Parse(line, &got, &error)) << error;
        EXPECT_EQ("lab-1.a", got.origin);
        EXPECT_EQ("5f0c2a9e81d4b7c3", got.run);
        EXPECT_EQ(seq++, got.seq);
        EXPECT_EQ(sent.code, got.code);
        EXPECT_EQ(sent.kind, got.kind);
        EXPECT_EQ(sent.value, got.value);
        EXPECT_EQ(sent.bytes, got.bytes);
        EXPECT_FALSE(got.expired);
    }

    // Typed by hand or by a dashboard: no run or seq, blanks, members we do
    // not know (any JSON), escapes, upper-case hex, the largest unsigned value.
    BridgeMessage got;
    std::string error;
    ASSERT_TRUE(Parse(" { \"kind\" : \"array\", \"note\":[1,{\"a\":null},-2.5e3,\"\\u00e9\\ud83d\\ude00\"],"
                      "\"origin\":\"dash\",\"code\":\"3000040A\",\"bytes\":\"DEad\",\"length\":2,\"x\":\"\xc3\xa9\"}\t",
                      &got, &error)) << error;
    EXPECT_EQ(0x3000040Au, got.code);
    EXPECT_EQ(std::string("\xde\xad"), got.bytes);
    EXPECT_EQ(0u, got.seq);
    EXPECT_TRUE(got.run.empty());
    ASSERT_TRUE(Parse("{\"origin\":\"d\",\"code\":\"20000801\",\"kind\":\"value\",\"value\":4294967295}", &got, &error));
    EXPECT_EQ(-1, got.value);
    ASSERT_TRUE(Parse("{\"origin\":\"d\",\"code\":\"30000201\",\"kind\":\"string\",\"length\":0,\"bytes\":\"\","
                      "\"expired\":true}", &got, &error)) << error;
    EXPECT_TRUE(got.expired);
}

TEST(BridgeTopics, OnlyTheOriginsOwnTopicVouchesForIt)
{
    for (const char* good : { "velk/", "/", "!/", "~/", "site/velk/" })
        EXPECT_TRUE(IsTopicPrefix(good)) << good;
    for (const char* bad : { "", "velk", "velk/#/", "ve+lk/", "velk /", "\x1f/", "\x7f/" })
        EXPECT_FALSE(IsTopicPrefix(bad)) << bad;

    // mosquitto_sub -F %j's lines: topic and payload read exactly, whatever they hold.
    std::string topic, payload, error;
    const std::string jline = "{\"tst\":\"2026-12-09T17:53:54.964262Z+0000\",\"topic\":\"velk/a b\\\"{\",\"qos\":0,"
                              "\"retain\":0,\"payloadlen\":3,\"payload\":\"{\\\"x\\\": 1}\"}";
    ASSERT_TRUE(ReadTopicLine(jline.data(), jline.size(), &topic, &payload, &error)) << error;
    EXPECT_EQ("velk/a b\"{", topic);
    EXPECT_EQ("{\"x\": 1}", payload);
    const std::string empty = "{\"topic\":\"t\",\"payload\":null}";
    ASSERT_TRUE(ReadTopicLine(empty.data(), empty.size(), &topic, &payload, &error)) << error;
    EXPECT_EQ("", payload);
    for (const char* unreadable : { "", "velk/a {\"origin\":\"a\"}", "{\"payload\":\"{}\"}", "{\"topic\":1,\"payload\":\"{}\"}",
                                    "{\"topic\":\"velk/a\"}", "{\"topic\":\"velk/a\",\"payload\":{}}",
                                    "{\"topic\":\"velk/a\",\"topic\":\"velk/b\",\"payload\":\"\"}" })
        EXPECT_FALSE(ReadTopicLine(unreadable, strlen(unreadable), &topic, &payload, &error)) << unreadable;

    const std::string longest(64, 'n');
    EXPECT_TRUE(TopicCarriesOrigin("velk/a", "velk/", "a", &error));
    EXPECT_TRUE(TopicCarriesOrigin("velk/" + longest, "velk/", longest, &error));
    EXPECT_TRUE(TopicCarriesOrigin("site/velk/a", "site/velk/", "a", &error));
    const struct { const char* topic; const char* origin; } kRefused[] = {
        { "", "a" },              // no topic
        { "velk/", "a" },         // the prefix only
        { "velk/a/", "a" },       // the last level empty
        { "velk/site/a", "a" },   // a level more: a client id with "/" writes there
        { "velk/b/a", "a" },
        { "velk/ab", "a" }, { "velk/a", "ab" }, { "velK/a", "a" }, { "xvelk/a", "a" }, { "velk", "a" },
    };
    for (const auto& refused : kRefused) {
        error.clear();
        EXPECT_FALSE(TopicCarriesOrigin(refused.topic, "velk/", refused.origin, &error)) << refused.topic;
        EXPECT_NE(std::string::npos, error.find("topic")) << error;
    }

    // The longest line the reader hands on, with a payload that still parses.
    std::string line = "{\"topic\":\"velk/lab1\",\"payload\":\"{\\\"origin\\\":\\\"lab1\\\",\\\"code\\\":\\\"20000801\\\","
                       "\\\"kind\\\":\\\"value\\\",\\\"value\\\":1,\\\"pad\\\":\\\"\\\"}\"}";
    line.insert(line.size() - 5, kMaxBridgeLine - line.size(), 'p');
    ASSERT_EQ(static_cast<size_t>(kMaxBridgeLine), line.size());
    BridgeMessage message;
    ASSERT_EQ(kInputMessage, ReadOne(line, "velk/", &message, &error)) << error;
    EXPECT_EQ("lab1", message.origin);
}

// A stranger whose client id is `lab1 {"origin":"lab1",...,"seq":200000,` may
// write velk/<that id>; as -v printed it, its line read as lab1's own.
TEST(BridgeTopics, ALineIsTakenOnlyFromItsOriginsOwnTopic)
{
    const std::string genuine = "{\"origin\":\"lab1\",\"run\":\"r1\",\"seq\":2,\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}";
    const std::string quoted = "{\\\"origin\\\":\\\"lab1\\\",\\\"run\\\":\\\"r1\\\",\\\"seq\\\":2,\\\"code\\\":\\\"20000801\\\","
                               "\\\"kind\\\":\\\"value\\\",\\\"value\\\":1}";
    BridgeMessage message;
    std::string error;
    EXPECT_EQ(kInputMessage, ReadOne(genuine, "", &message, &error)) << error;
    EXPECT_EQ(2u, message.seq);
    EXPECT_EQ(kInputMessage, ReadOne("{\"topic\":\"velk/lab1\",\"payload\":\"" + quoted + "\"}", "velk/",
                                           &message, &error)) << error;
    EXPECT_EQ("lab1", message.origin);

    const std::string stranger = "{\"topic\":\"velk/lab1 {\\\"origin\\\":\\\"lab1\\\",\\\"run\\\":\\\"r1\\\","
                                 "\\\"seq\\\":200000,\",\"payload\":\"\\\"code\\\":\\\"20000801\\\",\\\"kind\\\":"
                                 "\\\"value\\\",\\\"value\\\":666}\"}";
    EXPECT_EQ(kInputOffTopic, ReadOne(stranger, "velk/", &message, &error));
    EXPECT_NE(std::string::npos, error.find("topic 'velk/lab1 {\"origin\":\"lab1\",")) << error;
    for (const char* topic : { "velk/lab1 x", "velk/", "velk/lab1/", "velk/a/lab1", "velk" }) {
        const std::string whole = std::string("{\"topic\":\"") + topic + "\",\"payload\":\"" + quoted + "\"}";
        EXPECT_EQ(kInputOffTopic, ReadOne(whole, "velk/", &message, &error)) << topic;
        EXPECT_NE(std::string::npos, error.find("is not velk/ and an origin")) << error;
    }
    const std::string other = "{\"topic\":\"velk/lab2\",\"payload\":\"" + quoted + "\"}";
    EXPECT_EQ(kInputOffTopic, ReadOne(other, "velk/", &message, &error));
    EXPECT_NE(std::string::npos, error.find("origin lab1 refused: topic 'velk/lab2' is not velk/lab1")) << error;
    // mosquitto_sub -v's TOPIC PAYLOAD cannot be read exactly: off-topic, whatever it claims.
    EXPECT_EQ(kInputOffTopic, ReadOne("velk/lab1 " + genuine, "velk/", &message, &error));
    EXPECT_NE(std::string::npos, error.find("mosquitto_sub -F %j")) << error;
    EXPECT_EQ(kInputOffTopic, ReadOne(genuine, "velk/", &message, &error));
    EXPECT_EQ(kInputBad, ReadOne("{\"topic\":\"velk/lab1\",\"payload\":null}", "velk/", &message, &error));
    EXPECT_EQ(kInputBad, ReadOne("velk/lab1 " + genuine, "", &message, &error));
}

TEST(BridgeLines, MalformedLinesAreRefusedWithTheirFault)
{
    const std::string good = "\"origin\":\"a\",\"run\":\"r\",\"seq\":1,\"code\":\"20000801\",\"kind\":\"value\"";
    const std::string payload = "\"origin\":\"a\",\"code\":\"30000401\",\"kind\":\"array\"";
    struct Case { std::string line; const char* fault; };
    const Case cases[] = {
        { "", "not JSON: expected '{' at column 1" },
        { "hello", "not JSON: expected '{'" },
        { "{" + good + ",\"value\":1", "expected ','" },
        { "{" + good + ",\"value\":1}}", "text after the object at column" },
        { "[{" + good + ",\"value\":1}]", "expected '{'" },
        { "{" + good + ",\"value\":1,}", "expected a key" },
        { "{" + good + ",\"value\":01}", "expected ','" },
        { "{" + good + ",\"value\":1.}", "digits must follow the decimal point" },
        { "{" + good + ",\"value\":1,\"value\":2}", "key \"value\" appears twice" },
        { "{" + good + ",\"value\":1,\"n\":\"a\tb\"}", "control character" },
        { "{" + good + ",\"value\":1,\"n\":\"\\x\"}", "bad escape" },
        { "{" + good + ",\"value\":1,\"n\":\"\\ud800\"}", "lone surrogate" },
        { "{" + good + ",\"value\":1,\"n\":\"\xc0\xaf\"}", "invalid UTF-8" },
        { "{" + good + ",\"value\":1,\"n\":\"\xed\xa0\x80\"}", "invalid UTF-8" },
        { "{" + good + ",\"value\":1,\"n\":\"\xe4\xb8\"}", "invalid UTF-8" },
        { "{" + good + ",\"value\":1,\"n\":" + std::string(17, '[') + std::string(17, ']') + "}", "nested deeper than 16" },
        { "{" + good + ",\"value\":1,\"n\":tru}", "expected a value" },
        { "{\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "no \"origin\"" },
        { "{\"origin\":\"a/b\",\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "\"origin\" must be a name" },
        { "{\"origin\":7,\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "\"origin\" must be a name" },
        { "{\"origin\":\"a\",\"seq\":1,\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "come together" },
        { "{\"origin\":\"a\",\"run\":\"r\",\"seq\":0,\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "\"seq\" must be" },
        { "{\"origin\":\"a\",\"run\":\"r\",\"seq\":\"1\",\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "\"seq\" must be" },
        { "{\"origin\":\"a\",\"run\":\"r\",\"seq\":9007199254740993,\"code\":\"20000801\",\"kind\":\"value\",\"value\":1}", "\"seq\" must be" },
        { "{\"origin\":\"a\",\"code\":\"2000801\",\"kind\":\"value\",\"value\":1}", "\"code\" must be a string of 8 hex" },
        { "{\"origin\":\"a\",\"code\":539000833,\"kind\":\"value\",\"value\":1}", "\"code\" must be a string of 8 hex" },
        { "{\"origin\":\"a\",\"code\":\"2000080g\",\"kind\":\"value\",\"value\":1}", "\"code\" must be a string of 8 hex" },
        { "{\"origin\":\"a\",\"code\":\"20000801\",\"value\":1}", "no \"kind\"" },
        { "{\"origin\":\"a\",\"code\":\"20000801\",\"kind\":\"float\",\"value\":1}", "unknown kind" },
        { "{\"origin\":\"a\",\"code\":\"20000801\",\"kind\":\"string\",\"bytes\":\"\"}", "does not fit code 20000801, a value code" },
        { "{" + good + "}", "has \"value\" and no \"bytes\"" },
        { "{" + good + ",\"value\":\"1\"}", "\"value\" must be an integer" },
        { "{" + good + ",\"value\":1.0}", "\"value\" must be an integer" },
        { "{" + good + ",\"value\":4294967296}", "\"value\" must be an integer" },
        { "{" + good + ",\"value\":-2147483649}", "\"value\" must be an integer" },
        { "{" + good + ",\"value\":true}", "\"value\" must be an integer" },
        { "{" + good + ",\"value\":1,\"expired\":1}", "\"expired\" must be true or false" },
        { "{" + payload + "}", "has \"bytes\" and no \"value\"" },
        { "{" + payload + ",\"bytes\":\"0\"}", "odd number of hex digits" },
        { "{" + payload + ",\"bytes\":\"0x01\"}", "non-hex character at byte 1" },
        { "{" + payload + ",\"bytes\":[1,2]}", "\"bytes\" must be a string" },
        { "{" + payload + ",\"bytes\":\"" + std::string(2 * 65537, 'a') + "\"}", "payload of 65537 bytes" },
        { "{" + payload + ",\"bytes\":\"01\",\"length\":2}", "\"length\" is not the 1 bytes given" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line.substr(0, 160));
        BridgeMessage message;
        std::string error;
        EXPECT_FALSE(Parse(test.line, &message, &error));
        EXPECT_NE(std::string::npos, error.find(test.fault)) << error;
    }
    BridgeMessage message;
    std::string error;
    EXPECT_TRUE(Parse("{" + payload + ",\"bytes\":\"" + std::string(2 * 65536, 'a') + "\"}", &message, &error)) << error;
}

struct Collected : LineSplitter::Handler {
    std::vector<std::string> lines;
    void Line(uint64_t number, const std::string& line) override
    {
        lines.push_back(std::to_string(number) + ":" + line);
    }
    void TooLong(uint64_t number, uint64_t bytes) override
    {
        lines.push_back(std::to_string(number) + ": too long " + std::to_string(bytes));
    }
};

TEST(LineSplitters, KeepAtMostTheBoundAndCountEveryLine)
{
    const size_t bound = 1000;
    std::string input = "first\r\n\n" + std::string(bound, 'x') + "\r\n" + std::string(bound + 1, 'y') + "\n";
    input += std::string(10 * 1000 * 1000, 'z') + "\nafter\nlast";
    // Whatever the chunks read, the same lines.
    for (size_t chunk : { size_t(1), size_t(4096), input.size() }) {
        SCOPED_TRACE(chunk);
        LineSplitter splitter(bound);
        Collected got;
        for (size_t at = 0; at < input.size(); at += chunk)
            splitter.Feed(input.data() + at, std::min(chunk, input.size() - at), &got);
        splitter.Finish(&got);
        ASSERT_EQ(7u, got.lines.size());
        EXPECT_EQ("1:first", got.lines[0]);
        EXPECT_EQ("2:", got.lines[1]);
        EXPECT_EQ("3:" + std::string(bound, 'x'), got.lines[2]);
        EXPECT_EQ("4: too long 1001", got.lines[3]);
        EXPECT_EQ("5: too long 10000000", got.lines[4]);
        EXPECT_EQ("6:after", got.lines[5]);
        EXPECT_EQ("7:last", got.lines[6]);
    }
}

TEST(SeqTrackers, CountGapsDuplicatesLateLinesAndNewRuns)
{
    SeqTracker tracker;
    const uint64_t W = SeqTracker::kWindow;
    struct Step { const char* origin; const char* run; uint64_t seq; SeqVerdict verdict; bool newRun; uint64_t missing; };
    const Step steps[] = {
        { "a", "r1", 1, kSeqInOrder, true, 0 },
        { "a", "r1", 2, kSeqInOrder, false, 0 },
        { "a", "r1", 6, kSeqGap, false, 3 },          // 3, 4, 5 missing
        { "a", "r1", 4, kSeqLate, false, 0 },         // one of them after all
        { "a", "r1", 4, kSeqDuplicate, false, 0 },
        { "a", "r1", 6, kSeqDuplicate, false, 0 },
        { "a", "r1", 2, kSeqDuplicate, false, 0 },     // the newest before the gap stays seen
        { "b", "q", 40, kSeqInOrder, true, 0 },       // joined late: nothing before counted
        { "b", "q", 39, kSeqLate, false, 0 },
        { "a", "r1", 7, kSeqInOrder, false, 0 },
        { "a", "r2", 1, kSeqInOrder, true, 0 },       // restarted: a new run
        { "a", "r2", 1 + W, kSeqGap, false, W - 1 },  // the longest gap the window tells
        { "a", "r2", 1, kSeqDuplicate, false, 0 },    // beyond the window: cannot be told
        { "a", "r2", 2, kSeqLate, false, 0 },         // the window's oldest
        { "a", "r2", 2 + 2 * W, kSeqJump, false, 0 }, // one past: a fresh window, nothing lost
        { "a", "r2", 2 + 3 * W, kSeqGap, false, W - 1 },
        { "a", "r2", 3 + 4 * W, kSeqJump, false, 0 },
        { "a", "r2", 2 + 4 * W, kSeqLate, false, 0 }, // before the jump: never counted lost
        { "a", "r2", uint64_t(1) << 53, kSeqJump, false, 0 },
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.origin) + " " + step.run + " " + std::to_string(step.seq));
        SeqEvent event = tracker.Note(step.origin, step.run, step.seq);
        EXPECT_EQ(step.verdict, event.verdict);
        EXPECT_EQ(step.newRun, event.newRun);
        EXPECT_EQ(step.missing, event.missing);
    }
    const OriginCounts& a = tracker.Counts().at("a");
    EXPECT_EQ(17u, a.received);
    EXPECT_EQ(2u + 2 * (W - 1) - 1, a.lost);
    EXPECT_EQ(4u, a.duplicates);
    EXPECT_EQ(3u, a.late);
    EXPECT_EQ(2u, a.runs);
    EXPECT_EQ(3u, a.jumps);
    OriginCounts total = tracker.Total();
    EXPECT_EQ(19u, total.received);
    EXPECT_EQ(4u, total.late);
    EXPECT_EQ(3u, total.jumps);
    EXPECT_EQ(a.lost, total.lost);   // b's late line was never counted missing
}

// The window and the number of origins, in the figures the docs give.
TEST(SeqTrackers, TheWindowIs65536NumbersAndTheOrigins1024)
{
    SeqTracker tracker;
    EXPECT_EQ(kSeqInOrder, tracker.Note("a", "r", 10).verdict);
    SeqEvent event = tracker.Note("a", "r", 10 + 65536);
    EXPECT_EQ(kSeqGap, event.verdict);
    EXPECT_EQ(65535u, event.missing);
    EXPECT_EQ(kSeqLate, tracker.Note("a", "r", 11).verdict);                 // 65535 behind: still told
    EXPECT_EQ(kSeqDuplicate, tracker.Note("a", "r", 9 + 65536 - 65535).verdict);
    EXPECT_EQ(kSeqJump, tracker.Note("a", "r", 10 + 2 * 65536 + 1).verdict);   // 65537 ahead

    SeqTracker many;
    for (int i = 0; i < 1023; ++i)
        many.Note("o" + std::to_string(i), "r", 1);
    EXPECT_FALSE(many.Full("o1023"));
    many.Note("o1023", "r", 1);
    EXPECT_TRUE(many.Full("o1024"));
    EXPECT_FALSE(many.Full("o0"));
}

TEST(BridgeRules, OwnLinesDuplicatesAndControlNeverReachTheBus)
{
    auto line = [](const char* origin, uint64_t seq, uint32_t code, bool expired) {
        BridgeMessage message = { origin, "r", seq, code, ClassifyCode(code), 0, "", expired };
        return message;
    };
    AcceptRule byDefault, channelZero, namingControl, controlType, codeMaskedOut;
    channelZero.given = namingControl.given = controlType.given = codeMaskedOut.given = true;
    channelZero.filter.AddChannel(0);
    namingControl.filter.AddCode(CodePattern{ kStopAllCode, 0xFFFFFFFF });
    controlType.filter.AddType(kTypeControl);
    codeMaskedOut.filter.AddCode(CodePattern{ kStopAllCode, 0xFF0000FF });   // passes stop-all, names no type
    struct Case { const char* what; const AcceptRule& rule; BridgeMessage message; InboundVerdict verdict; };
    const Case cases[] = {
        { "own origin", byDefault, line("me", 1, 0x20000801, false), kInboundOwn },
        { "a value", byDefault, line("a", 1, 0x20000801, false), kInboundPost },
        { "the same seq again", byDefault, line("a", 1, 0x20000801, false), kInboundDuplicate },
        { "stop-all by default", byDefault, line("a", 2, kStopAllCode, false), kInboundRefused },
        { "any CONTROL by default", byDefault, line("a", 3, 0x10800005, false), kInboundRefused },
        { "expired payload", byDefault, line("a", 4, 0x30000201, true), kInboundExpired },
        { "stop-all matched, not named", channelZero, line("a", 5, kStopAllCode, false), kInboundRefused },
        { "channel 0 matched", channelZero, line("a", 6, 0x20000800, false), kInboundPost },
        { "channel 1 not matched", channelZero, line("a", 7, 0x20000801, false), kInboundRefused },
        { "stop-all named", namingControl, line("a", 8, kStopAllCode, false), kInboundPost },
        { "a value not named", namingControl, line("a", 9, 0x20000801, false), kInboundRefused },
        { "any CONTROL by type", controlType, line("a", 10, 0x10800005, false), kInboundPost },
        { "stop-all by a mask without the bit", codeMaskedOut, line("a", 11, kStopAllCode, false), kInboundRefused },
    };
    SeqTracker tracker;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        SeqEvent event;
        EXPECT_EQ(test.verdict, DecideInbound("me", test.rule, test.message, &tracker, &event));
    }
    EXPECT_EQ(12u, tracker.Counts().at("a").received);   // refused lines count for loss too; own ones do not
    EXPECT_EQ(0u, tracker.Counts().count("me"));
}

} // namespace

// A flood goes out in batches; every message comes back once, in order,
// whichever batch edge it sat at, and a bad element costs only itself.
TEST(BridgeBatches, EveryMessageComesBackInOrderAcrossTheEdges)
{
    std::vector<std::string> written;
    BridgeBatch batch(3);
    for (uint64_t seq = 1; seq <= 7; ++seq) {
        std::string line = ValueLine("lab1", seq);
        if (!batch.Fits(line))
            written.push_back(batch.Take());
        batch.Add(line);
        if (batch.Full())
            written.push_back(batch.Take());
    }
    written.push_back(batch.Take());
    EXPECT_EQ("", batch.Take());
    ASSERT_EQ(3u, written.size());
    EXPECT_EQ(0u, written[0].find("{\"batch\":[{"));
    EXPECT_EQ(ValueLine("lab1", 7), written[2]);   // a lone line goes as it is, the old format
    for (const std::string& prefix : { std::string(), std::string("velk/") }) {
        std::vector<uint64_t> seqs;
        for (const std::string& line : written) {
            std::vector<BridgeInput> items;
            ReadInputLine(prefix.empty() ? line : OnTopic("velk/lab1", line), prefix, &items);
            for (const BridgeInput& item : items) {
                EXPECT_EQ(kInputMessage, item.verdict) << item.error;
                EXPECT_EQ(static_cast<int32_t>(item.message.seq), item.message.value);
                seqs.push_back(item.message.seq);
            }
        }
        EXPECT_EQ((std::vector<uint64_t>{ 1, 2, 3, 4, 5, 6, 7 }), seqs) << prefix;
    }

    // The byte bound: a line that makes it exactly full joins, one byte more waits for the next batch.
    BridgeBatch bytes(kMaxBatchLines);
    bytes.Add(std::string(1000, 'a'));
    EXPECT_TRUE(bytes.Fits(std::string(kMaxBatchBytes - 1001, 'b')));
    EXPECT_FALSE(bytes.Fits(std::string(kMaxBatchBytes - 1000, 'b')));
    bytes.Add(std::string(kMaxBatchBytes - 1002, 'b'));
    EXPECT_FALSE(bytes.Full());
    bytes.Add("");
    EXPECT_TRUE(bytes.Full());
    BridgeBatch one(1);
    EXPECT_TRUE(one.Fits(std::string(kMaxBatchBytes * 2, 'c')));   // a long line alone
    one.Add("x");
    EXPECT_TRUE(one.Full());
    EXPECT_FALSE(one.Fits("y"));
    EXPECT_EQ("x", one.Take());   // --batch 1: every line as it is, as older bridges read them

    // Bad elements at either edge and inside, and another origin's under velk/lab1's topic.
    const std::string mixed = "{\"batch\":[{\"origin\":\"lab1\"}," + ValueLine("lab1", 1) + ", " +
                              ValueLine("lab2", 2) + " ,7," + ValueLine("lab1", 3) + ",{}]}";
    std::vector<BridgeInput> items;
    ReadInputLine(OnTopic("velk/lab1", mixed), "velk/", &items);
    ASSERT_EQ(6u, items.size());
    const InputLineVerdict verdicts[] = { kInputBad, kInputMessage, kInputOffTopic, kInputBad, kInputMessage, kInputBad };
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(verdicts[i], items[i].verdict) << i << ": " << items[i].error;
    EXPECT_EQ(0u, items[0].error.find("batch message 1: no \"code\"")) << items[0].error;
    EXPECT_EQ(0u, items[3].error.find("batch message 4: ")) << items[3].error;
    EXPECT_EQ(0u, items[5].error.find("batch message 6: ")) << items[5].error;
    EXPECT_EQ(1u, items[1].message.seq);
    EXPECT_EQ(3u, items[4].message.seq);
    for (const char* whole : { "{\"batch\":[]}", "{\"batch\":[ ]}", "{\"batch\":5}", "{\"batch\":{\"origin\":\"a\"}}",
                               "{\"batch\":[" }) {
        ReadInputLine(whole, "", &items);
        ASSERT_EQ(1u, items.size()) << whole;
        EXPECT_EQ(kInputBad, items[0].verdict) << whole;
        EXPECT_FALSE(items[0].error.empty());
    }
}
