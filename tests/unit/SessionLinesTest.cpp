// velkctl session's request and answer lines. Pure logic.
#include <gtest/gtest.h>

#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionRequest.h"
#include "tests/unit/FakeSignals.h"

namespace {

// ASCII only: the answers' text needs no code page here.
bool NoLeadBytes(unsigned char) { return false; }
bool Latin(const char* bytes, size_t count, std::u16string* text)
{
    text->assign(bytes, bytes + count);
    return true;
}
const CodePage kAscii = { 1, NoLeadBytes, Latin };

TEST(SessionRequests, BadLinesAreRefusedWithTheLineNumberAndTheirIdWhenGood)
{
    struct Case { const char* line; bool hasId; const char* error; };
    const Case cases[] = {
        { "", false, "line 7: not JSON: expected '{' at column 1" },
        { "{\"id\":1,\"op\":\"quit\"", false, "line 7: not JSON" },
        { "{\"op\":\"quit\"}", false, "line 7: no \"id\"" },
        { "{\"id\":-1,\"op\":\"quit\"}", false, "\"id\" must be a whole number from 0 to 9007199254740991" },
        { "{\"id\":9007199254740992,\"op\":\"quit\"}", false, "\"id\" must be a whole number" },
        { "{\"id\":1.5,\"op\":\"quit\"}", false, "\"id\" must be a whole number" },
        { "{\"id\":\"1\",\"op\":\"quit\"}", false, "\"id\" must be a whole number" },
        { "{\"id\":1}", true, "line 7: no \"op\"" },
        { "{\"id\":1,\"op\":\"sned\"}", true, "unknown op 'sned' (expected one of post expect collect" },
        // The session runs the simulation's requests too: they are named among its own.
        { "{\"id\":1,\"op\":\"sned\"}", true, "recent replay quit simulate set start stop period send describe)" },
        { "{\"id\":1,\"op\":\"quit\",\"now\":true}", true, "quit takes no 'now' (it takes no fields)" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"valeu\":5}", true,
          "post takes no 'valeu' (it takes code signal value text bytes)" },
        { "{\"id\":1,\"op\":\"post\",\"value\":5}", true, "post needs \"code\" or \"signal\"" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\"}", true, "post needs \"value\", \"text\" or \"bytes\"" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"value\":1,\"text\":\"a\"}", true, "not several" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"signal\":\"motor.speed\",\"value\":1}", true, "not both" },
        { "{\"id\":1,\"op\":\"post\",\"code\":20000801,\"value\":1}", true, "\"code\" must be a string" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"2000080g\",\"value\":1}", true, "\"code\": bad code '2000080g'" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801/ff\",\"value\":1}", true, "post takes one code, without a mask" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"value\":4294967296}", true,
          "\"value\" must be a whole number from -2147483648 to 4294967295" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"value\":-2147483649}", true, "\"value\" must be" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"value\":1.5}", true, "\"value\" must be" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"30000201\",\"value\":1}", true, "code 30000201 carries a payload" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"30000401\",\"text\":\"a\"}", true, "code 30000401 is no string code" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"20000801\",\"bytes\":\"01\"}", true, "code 20000801 is a value code" },
        { "{\"id\":1,\"op\":\"post\",\"code\":\"30000401\",\"bytes\":\"012\"}", true, "\"bytes\": " },
        { "{\"id\":1,\"op\":\"post\",\"signal\":\"motor.speed\",\"text\":\"a\"}", true, "a signal is posted by \"value\"" },
        { "{\"id\":1,\"op\":\"post\",\"signal\":\"rig.text\",\"bytes\":\"01\"}", true, "rig.text is a string message: post it by \"text\"" },
        { "{\"id\":1,\"op\":\"post\",\"signal\":\"pump.state\",\"value\":\"BROKEN\"}", true,
          "\"value\": no 'BROKEN' in pump.state" },
        { "{\"id\":1,\"op\":\"post\",\"signal\":\"motor.sped\",\"value\":1}", true, "\"signal\": no signal 'motor.sped'" },
        { "{\"id\":1,\"op\":\"expect\",\"within\":1}", true, "no \"match\"" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 gtt 5\",\"within\":1}", true,
          "\"match\" '20000801 gtt 5': at column 10: unknown operator 'gtt'" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 changed\"}", true, "expect needs \"within\"" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":0}", true, "must be more than 0" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":-1}", true, "\"within\" '-1'" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":\"2x\"}", true, "unknown unit" },
        { "{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":true}", true, "must be seconds" },
        { "{\"id\":1,\"op\":\"collect\",\"code\":\"0/0\",\"over\":1,\"max\":0}", true,
          "\"max\" must be a whole number from 1 to 100000" },
        { "{\"id\":1,\"op\":\"collect\",\"code\":\"0/0\",\"over\":1,\"max\":100001}", true, "\"max\" must be" },
        { "{\"id\":1,\"op\":\"collect\",\"over\":1}", true, "collect needs \"code\" or \"signal\"" },
        { "{\"id\":1,\"op\":\"rate\",\"code\":\"20000801\"}", true, "rate needs \"over\"" },
        { "{\"id\":1,\"op\":\"var-get\",\"index\":64}", true, "\"index\" must be a whole number from 0 to 63" },
        { "{\"id\":1,\"op\":\"var-get\"}", true, "var-get needs \"index\"" },
        { "{\"id\":1,\"op\":\"var-set\",\"index\":3}", true, "var-set needs \"value\"" },
        { "{\"id\":1,\"op\":\"subscribe\"}", true, "subscribe needs \"code\" or \"signal\"" },
        { "{\"id\":1,\"op\":\"unsubscribe\",\"sub\":0}", true, "\"sub\" must be a whole number from 1" },
        { "{\"id\":1,\"op\":\"recent\",\"max\":0}", true, "\"max\" must be a whole number from 1 to 1000" },
        { "{\"id\":1,\"op\":\"recent\",\"max\":1001}", true, "\"max\" must be" },
        { "{\"id\":1,\"op\":\"replay\",\"speed\":1}", true, "no \"file\"" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"-\"}", true, "standard input holds the requests" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"\"}", true, "\"file\" names a recording" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"a.txt\",\"loop\":2}", true,
          "replay takes no 'loop' (it takes file speed)" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"a.txt\",\"speed\":0.0009}", true,
          "\"speed\" must be 0 (as fast as the bus takes them) or a number from 0.001 to 1000000" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"a.txt\",\"speed\":1000000.1}", true, "\"speed\" must be" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"a.txt\",\"speed\":-1}", true, "\"speed\" must be" },
        { "{\"id\":1,\"op\":\"replay\",\"file\":\"a.txt\",\"speed\":\"2\"}", true, "\"speed\" must be" },
    };
    FakeSignals signals;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line);
        SessionRequest request;
        std::string error;
        EXPECT_FALSE(ParseSessionRequest(test.line, 7, &signals, &request, &error));
        EXPECT_EQ(0u, error.find("line 7: ")) << error;
        EXPECT_NE(std::string::npos, error.find(test.error)) << error;
        EXPECT_EQ(test.hasId, request.hasId);
        const std::string answer = FormatErrorAnswer(request, error);
        EXPECT_EQ(0u, answer.find(std::string(test.hasId ? "{\"id\":1" : "{\"id\":null") +
                                  ",\"ok\":false,\"error\":\"line 7: ")) << answer;
    }
    SessionRequest request;
    std::string error;
    EXPECT_FALSE(ParseSessionRequest("{\"id\":1,\"op\":\"post\",\"signal\":\"motor.speed\",\"value\":1}", 2, nullptr,
                                     &request, &error));
    EXPECT_EQ("line 2: \"signal\" needs a signal file (velkctl session --signals FILE)", error);
}

TEST(SessionRequests, GoodLinesCarryTheirFieldsToTheirLimits)
{
    FakeSignals signals;
    SessionRequest request;
    std::string error;
    auto parse = [&](const std::string& line) {
        bool good = ParseSessionRequest(line, 1, &signals, &request, &error);
        EXPECT_TRUE(good) << line << ": " << error;
        return good;
    };
    ASSERT_TRUE(parse("{\"id\":9007199254740991,\"op\":\"post\",\"code\":\"0x20000801\",\"value\":4294967295}"));
    EXPECT_EQ(9007199254740991ULL, request.id);
    EXPECT_EQ(kSessionPost, request.op);
    EXPECT_EQ(0x20000801u, request.pattern.code);
    EXPECT_EQ(kPostValue, request.postKind);
    EXPECT_EQ(-1, request.value);
    ASSERT_TRUE(parse("{\"id\":0,\"op\":\"post\",\"code\":\"20000801\",\"value\":-2147483648}"));
    EXPECT_EQ(INT32_MIN, request.value);
    ASSERT_TRUE(parse("{ \"op\" : \"post\", \"id\" : 2, \"code\":\"30000205\",\"text\":\"\\u6cf5 ok\"}"));
    EXPECT_EQ(kPostText, request.postKind);
    EXPECT_EQ("\xe6\xb3\xb5 ok", request.payload);
    ASSERT_TRUE(parse("{\"id\":3,\"op\":\"post\",\"code\":\"30000404\",\"bytes\":\"01FF\"}"));
    EXPECT_EQ(kPostBytes, request.postKind);
    EXPECT_EQ(std::string("\x01\xff"), request.payload);
    ASSERT_TRUE(parse("{\"id\":4,\"op\":\"post\",\"signal\":\"pump.state\",\"value\":\"FAULT\"}"));
    EXPECT_EQ(0x20001002u, request.pattern.code);
    EXPECT_EQ("pump.state", request.signal);
    EXPECT_EQ(3, request.signalValue);
    ASSERT_TRUE(parse("{\"id\":5,\"op\":\"post\",\"signal\":\"motor.speed\",\"value\":-148.25}"));
    EXPECT_EQ(-148.25, request.signalValue);
    ASSERT_TRUE(parse("{\"id\":5,\"op\":\"post\",\"signal\":\"rig.text\",\"text\":\"ok\"}"));
    EXPECT_EQ(kPostText, request.postKind);
    EXPECT_EQ(0x30000201u, request.pattern.code);
    EXPECT_EQ("ok", request.payload);

    ASSERT_TRUE(parse("{\"id\":6,\"op\":\"expect\",\"match\":\"pump.state eq RUNNING\",\"within\":2.5}"));
    EXPECT_EQ(kSessionExpect, request.op);
    EXPECT_EQ(2500000u, request.micros);
    EXPECT_EQ(kPredicateEq, request.match.op);
    EXPECT_EQ(2, request.match.operand);
    ASSERT_TRUE(parse("{\"id\":7,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":\"1us\"}"));
    EXPECT_EQ(1u, request.micros);
    ASSERT_TRUE(parse("{\"id\":8,\"op\":\"collect\",\"code\":\"20000800/ffffff00\",\"over\":\"100ms\"}"));
    EXPECT_EQ(0xFFFFFF00u, request.pattern.mask);
    EXPECT_EQ(static_cast<size_t>(kDefaultCollectMax), request.max);
    ASSERT_TRUE(parse("{\"id\":8,\"op\":\"collect\",\"signal\":\"motor.speed\",\"over\":1,\"max\":100000}"));
    EXPECT_EQ(100000u, request.max);
    ASSERT_TRUE(parse("{\"id\":9,\"op\":\"collect\",\"code\":\"0/0\",\"over\":1,\"max\":1}"));
    EXPECT_EQ(1u, request.max);
    ASSERT_TRUE(parse("{\"id\":10,\"op\":\"var-set\",\"index\":63,\"value\":7}"));
    EXPECT_EQ(63u, request.index);
    EXPECT_EQ(7, request.value);
    ASSERT_TRUE(parse("{\"id\":11,\"op\":\"var-get\",\"index\":0}"));
    EXPECT_EQ(kSessionVarGet, request.op);
    ASSERT_TRUE(parse("{\"id\":12,\"op\":\"unsubscribe\",\"sub\":9007199254740991}"));
    EXPECT_EQ(9007199254740991ULL, request.sub);
    ASSERT_TRUE(parse("{\"id\":12,\"op\":\"recent\"}"));
    EXPECT_EQ(static_cast<size_t>(kDefaultRecentMax), request.max);
    for (int max : { 1, 1000 }) {
        ASSERT_TRUE(parse("{\"id\":12,\"op\":\"recent\",\"max\":" + std::to_string(max) + "}"));
        EXPECT_EQ(static_cast<size_t>(max), request.max);
    }
    ASSERT_TRUE(parse("{\"id\":12,\"op\":\"expect\",\"match\":\"rig.text contains \\\"PUMP R\\\"\",\"within\":1}"));
    EXPECT_EQ(kPredicateContains, request.match.op);
    EXPECT_EQ("PUMP R", request.match.text);
    ASSERT_TRUE(parse("{\"id\":14,\"op\":\"replay\",\"file\":\"logs\\\\run-*.txt.gz\"}"));
    EXPECT_EQ(kSessionReplay, request.op);
    EXPECT_EQ("logs\\run-*.txt.gz", request.file);
    EXPECT_EQ(1.0, request.speed);
    for (double speed : { 0.0, 0.001, 1000000.0 }) {
        ASSERT_TRUE(parse("{\"id\":14,\"op\":\"replay\",\"file\":\"a.txt\",\"speed\":" + JsonNumber(speed) + "}"));
        EXPECT_EQ(speed, request.speed);
    }
    for (const char* op : { "clients", "counters", "quit" })
        EXPECT_TRUE(parse(std::string("{\"id\":13,\"op\":\"") + op + "\"}")) << op;
    EXPECT_EQ(kSessionQuit, request.op);
    EXPECT_STREQ("var-get", SessionOpName(kSessionVarGet));
}

TEST(SessionAnswers, MessagesAnswersAndEventsAreJsonLines)
{
    RecordedMessage value = {};
    value.micros = 1250000;
    value.code = 0x20001001;
    value.kind = kValueMessage;
    value.value = 593;
    const std::string message = FormatSessionMessage(value, false, kAscii, "{\"motor.speed\":148.25}");
    EXPECT_EQ("{\"t\":1.250000,\"code\":\"20001001\",\"kind\":\"value\",\"value\":593,"
              "\"signals\":{\"motor.speed\":148.25}}",
              message);
    EXPECT_EQ("{\"t\":1.250000,\"code\":\"20001001\",\"kind\":\"value\",\"value\":593}",
              FormatSessionMessage(value, false, kAscii, ""));
    EXPECT_EQ("{\"ev\":\"msg\",\"sub\":4,\"t\":1.250000,\"code\":\"20001001\"", FormatMessageEvent(4, message).substr(0, 50));
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"matched\":true,\"msg\":" + message + "}", FormatMatchAnswer(3, message));
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"matched\":false,\"seen\":0}", FormatTimeoutAnswer(3, 0, ""));
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"matched\":false,\"seen\":2,\"last\":{}}", FormatTimeoutAnswer(3, 2, "{}"));
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"count\":2,\"cut\":true,\"msgs\":[{}]}", FormatCollectAnswer(3, 2, { "{}" }));
    EXPECT_EQ("{\"id\":3,\"ok\":true,\"count\":1,\"cut\":false,\"msgs\":[{}]}", FormatCollectAnswer(3, 1, { "{}" }));

    // 101 messages over 2 s of bus time: 50 Hz; one message has no span.
    EXPECT_EQ("{\"id\":1,\"ok\":true,\"count\":101,\"hz\":50,\"span\":2.000000,\"over\":2.000000}",
              FormatRateAnswer(1, 101, 500000, 2500000, 2000000));
    EXPECT_EQ("{\"id\":1,\"ok\":true,\"count\":1,\"hz\":0.5,\"span\":0.000000,\"over\":2.000000}",
              FormatRateAnswer(1, 1, 7, 7, 2000000));

    EXPECT_EQ("{\"id\":4,\"ok\":true,\"posted\":5,\"triggers\":1,\"expired\":2,\"parts\":3,\"seconds\":0.250000}",
              FormatReplayAnswer(4, { 5, 1, 2, 3, 250000, "" }));
    EXPECT_EQ("{\"id\":4,\"ok\":true,\"posted\":0,\"triggers\":0,\"expired\":0,\"parts\":1,\"seconds\":0.000000,"
              "\"notice\":\"a.txt.gz: torn\"}",
              FormatReplayAnswer(4, { 0, 0, 0, 1, 0, "a.txt.gz: torn" }));

    SessionRequest noId;
    EXPECT_EQ("{\"id\":null,\"ok\":false,\"error\":\"line 1: \\\"a\\\"\\u0009\\\\\"}",
              FormatErrorAnswer(noId, "line 1: \"a\"\t\\"));
    EXPECT_EQ("{\"id\":2,\"ok\":true,\"clients\":[{\"handle\":\"0001a2b4\",\"mask\":\"00000200\",\"pid\":77,"
              "\"name\":\"corvane\"}]}",
              FormatClientsAnswer(2, { { 0x1a2b4, 0x200, 77, "corvane" } }));
    EXPECT_EQ("{\"id\":2,\"ok\":true,\"counters\":{\"delivered\":20,\"posted\":10}}",
              FormatCountersAnswer(2, { { "posted", 10 }, { "delivered", 20 } }));
    EXPECT_EQ("0.1", JsonNumber(0.1));
    EXPECT_EQ("-2.5e-07", JsonNumber(-2.5e-7));
    EXPECT_EQ("0.30000000000000004", JsonNumber(0.1 + 0.2));
    EXPECT_EQ("null", JsonNumber(1.0 / 0.0));
}

} // namespace
