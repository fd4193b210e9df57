// What velkctl session waits on, and the client list it answers. Pure logic.
#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "velkctl/SessionAnswer.h"
#include "velkctl/SessionBook.h"
#include "tests/unit/FakeSignals.h"

namespace {

std::string Short(const RecordedMessage& message, bool)
{
    return FormatText("{\"code\":\"%08x\",\"value\":%d,\"us\":%llu}", static_cast<unsigned>(message.code),
                      message.value, static_cast<unsigned long long>(message.micros));
}

SessionRequest Parsed(const std::string& line, const SignalResolver* signals = nullptr)
{
    SessionRequest request;
    std::string error;
    EXPECT_TRUE(ParseSessionRequest(line, 1, signals, &request, &error)) << error;
    return request;
}

RecordedMessage Value(uint64_t micros, uint32_t code, int32_t value)
{
    return RecordedMessage{ micros, code, kValueMessage, value, std::string() };
}

std::vector<std::string> Fed(SessionBook* book, const RecordedMessage& message)
{
    std::vector<std::string> lines;
    book->Take(message, false, &lines);
    return lines;
}

TEST(SessionBook, ExpectsAnswerOnTheirMatchOrAfterTheirTimeWithWhatCame)
{
    FakeSignals signals;
    SessionBook book(&signals, Short);
    std::string error;
    // Armed at 1000 for 500 us: messages up to 1500 count, the one at 1501 does not.
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 eq 5\",\"within\":\"500us\"}"),
                         1000, &error));
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":2,\"op\":\"expect\",\"match\":\"20000802 gt 10\",\"within\":\"500us\"}"),
                         1000, &error));
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":3,\"op\":\"expect\",\"match\":\"pump.state eq RUNNING\",\"within\":1}",
                                &signals), 1000, &error));
    EXPECT_EQ(1500u, book.NextEnd());

    EXPECT_TRUE(Fed(&book, Value(1100, 0x20000801, 4)).empty());
    EXPECT_TRUE(Fed(&book, Value(1200, 0x20000802, 10)).empty());
    EXPECT_EQ(std::vector<std::string>{ "{\"id\":3,\"ok\":true,\"matched\":true,\"msg\":{\"code\":\"20001002\","
                                        "\"value\":2,\"us\":1300}}" },
              Fed(&book, Value(1300, 0x20001002, 2)));
    EXPECT_EQ(std::vector<std::string>{ "{\"id\":1,\"ok\":true,\"matched\":true,\"msg\":{\"code\":\"20000801\","
                                        "\"value\":5,\"us\":1500}}" },
              Fed(&book, Value(1500, 0x20000801, 5)));
    EXPECT_TRUE(Fed(&book, Value(1501, 0x20000802, 11)).empty());   // too late for id 2

    std::vector<std::string> lines;
    book.Expire(1500, &lines);
    EXPECT_TRUE(lines.empty());
    book.Expire(1501, &lines);
    EXPECT_EQ(std::vector<std::string>{ "{\"id\":2,\"ok\":true,\"matched\":false,\"seen\":1,\"last\":{\"code\":"
                                        "\"20000802\",\"value\":10,\"us\":1200}}" },
              lines);
    EXPECT_FALSE(book.Waiting());
    EXPECT_EQ(UINT64_MAX, book.NextEnd());

    // A window starts the moment it is armed: a message stamped then counts, one before it not.
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":5,\"op\":\"expect\",\"match\":\"20000801 eq 7\",\"within\":\"100us\"}"),
                         3000, &error));
    EXPECT_TRUE(Fed(&book, Value(2999, 0x20000801, 7)).empty());
    EXPECT_EQ(1u, Fed(&book, Value(3000, 0x20000801, 7)).size());
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":6,\"op\":\"expect\",\"match\":\"20000801 eq 7\",\"within\":\"100us\"}"),
                         3000, &error));
    EXPECT_TRUE(Fed(&book, Value(2999, 0x20000801, 6)).empty());
    lines.clear();
    book.Expire(3101, &lines);
    EXPECT_EQ(std::vector<std::string>{ "{\"id\":6,\"ok\":true,\"matched\":false,\"seen\":0}" }, lines);

    // None of its codes came: no "last".
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":4,\"op\":\"expect\",\"match\":\"20000801 changed\",\"within\":\"1us\"}"),
                         0, &error));
    lines.clear();
    book.Expire(2, &lines);
    EXPECT_EQ(std::vector<std::string>{ "{\"id\":4,\"ok\":true,\"matched\":false,\"seen\":0}" }, lines);
}

TEST(SessionBook, CollectsRatesAndSubscriptions)
{
    SessionBook book(nullptr, Short);
    std::string error;
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":1,\"op\":\"collect\",\"code\":\"20000800/ffffff00\",\"over\":\"1ms\","
                                "\"max\":2}"), 0, &error));
    ASSERT_TRUE(book.Arm(Parsed("{\"id\":2,\"op\":\"rate\",\"code\":\"20000801\",\"over\":\"1ms\"}"), 0, &error));
    uint64_t first = 0, second = 0;
    ASSERT_TRUE(book.Subscribe(CodePattern{ 0x20000801, 0xFFFFFFFF }, &first, &error));
    ASSERT_TRUE(book.Subscribe(CodePattern{ 0, 0 }, &second, &error));
    EXPECT_EQ(1u, first);
    EXPECT_EQ(2u, second);

    // 20000801 at 100, 300, 500 us: two gaps of 200 us, 5000 Hz.
    for (uint64_t micros = 100; micros <= 500; micros += 200)
        EXPECT_EQ(2u, Fed(&book, Value(micros, 0x20000801, static_cast<int32_t>(micros))).size());
    EXPECT_EQ(std::vector<std::string>{ "{\"ev\":\"msg\",\"sub\":2,\"code\":\"30000201\",\"value\":0,\"us\":600}" },
              Fed(&book, RecordedMessage{ 600, 0x30000201, kStringPayload, 0, "a" }));
    std::vector<std::string> lines;
    book.Expire(1001, &lines);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("{\"id\":1,\"ok\":true,\"count\":3,\"cut\":true,\"msgs\":[{\"code\":\"20000801\",\"value\":100,"
              "\"us\":100},{\"code\":\"20000801\",\"value\":300,\"us\":300}]}", lines[0]);
    EXPECT_EQ("{\"id\":2,\"ok\":true,\"count\":3,\"hz\":5000,\"span\":0.000400,\"over\":0.001000}", lines[1]);

    EXPECT_TRUE(book.Unsubscribe(first));
    EXPECT_FALSE(book.Unsubscribe(first));
    EXPECT_EQ(1u, Fed(&book, Value(2000, 0x20000801, 1)).size());
    uint64_t third = 0;
    ASSERT_TRUE(book.Subscribe(CodePattern{ 0x20000801, 0xFFFFFFFF }, &third, &error));
    EXPECT_EQ(3u, third);   // numbers are never given again
}

TEST(SessionBook, WaitsAndSubscriptionsAreBounded)
{
    SessionBook book(nullptr, Short);
    std::string error;
    const SessionRequest expect = Parsed("{\"id\":1,\"op\":\"expect\",\"match\":\"20000801 eq 1\",\"within\":1}");
    for (int i = 0; i < SessionBook::kMaxWaits; ++i)
        ASSERT_TRUE(book.Arm(expect, 0, &error));
    EXPECT_FALSE(book.Arm(expect, 0, &error));
    EXPECT_EQ("1000 expects, collects and rates are waiting already; wait for their answers first", error);
    uint64_t sub = 0;
    for (int i = 0; i < SessionBook::kMaxSubscriptions; ++i)
        ASSERT_TRUE(book.Subscribe(CodePattern{ 0, 0 }, &sub, &error));
    EXPECT_FALSE(book.Subscribe(CodePattern{ 0, 0 }, &sub, &error));
    EXPECT_NE(std::string::npos, error.find("1000 subscriptions are open already"));
}

TEST(SessionBook, ChangedComparesWithTheCodesLastMessageBeforeTheExpectWithinItsBounds)
{
    SessionBook book(nullptr, Short);
    std::string error;
    auto arm = [&](SessionBook* on, const std::string& codes) {
        ASSERT_TRUE(on->Arm(Parsed("{\"id\":1,\"op\":\"expect\",\"match\":\"" + codes + " changed\",\"within\":1}"),
                            100, &error));
    };
    // Seen on the bus before the expect: its first message after it is a change.
    Fed(&book, Value(50, 0x20000801, 4));
    arm(&book, "20000800/fffffff0");
    EXPECT_EQ(1u, Fed(&book, Value(110, 0x20000801, 5)).size());
    // Posted by the session itself, not yet back: the post coming back is no change.
    Fed(&book, Value(50, 0x20000802, 0));
    book.Posted(Value(0, 0x20000802, 1));
    arm(&book, "20000802");
    EXPECT_TRUE(Fed(&book, Value(120, 0x20000802, 1)).empty());
    EXPECT_EQ(1u, Fed(&book, Value(130, 0x20000802, 2)).size());
    // An expired payload is not known: the code's next message is its first.
    Fed(&book, RecordedMessage{ 140, 0x30000401, kArrayPayload, 0, "x" });
    RecordedMessage gone{ 150, 0x30000401, kArrayPayload, 0, std::string() };
    std::vector<std::string> lines;
    book.Take(gone, true, &lines);
    arm(&book, "30000401");
    EXPECT_TRUE(Fed(&book, RecordedMessage{ 160, 0x30000401, kArrayPayload, 0, "y" }).empty());

    // Codes: the last one within the count is kept, the one past it not.
    SessionBook counted(nullptr, Short);
    for (uint32_t code = 1; code <= SessionBook::kLastCodes + 1; ++code)
        Fed(&counted, Value(50, code, 0));
    for (uint32_t code : { static_cast<uint32_t>(SessionBook::kLastCodes), SessionBook::kLastCodes + 1u })
        arm(&counted, FormatText("%x", code));
    EXPECT_EQ(1u, Fed(&counted, Value(110, SessionBook::kLastCodes, 1)).size());
    EXPECT_TRUE(Fed(&counted, Value(120, SessionBook::kLastCodes + 1, 1)).empty());

    // Payload bytes: 256 arrays of 64 KiB fill the budget exactly; one byte more is not kept.
    SessionBook filled(nullptr, Short);
    static_assert(SessionBook::kLastPayloadBytes == 256u * kMaxRecordedPayload, "the budget is 256 full arrays");
    for (uint32_t channel = 0; channel < 256; ++channel)
        Fed(&filled, RecordedMessage{ 50, 0x30000400 + channel, kArrayPayload, 0,
                                      std::string(kMaxRecordedPayload, static_cast<char>(channel)) });
    Fed(&filled, RecordedMessage{ 50, 0x30000201, kStringPayload, 0, "a" });
    for (const char* match : { "300004ff", "30000201" })
        arm(&filled, match);
    EXPECT_EQ(1u, Fed(&filled, RecordedMessage{ 110, 0x300004ff, kArrayPayload, 0, "b" }).size());
    EXPECT_TRUE(Fed(&filled, RecordedMessage{ 120, 0x30000201, kStringPayload, 0, "b" }).empty());
}

TEST(SessionBook, ClientListLinesBecomeClients)
{
    std::vector<SessionClient> clients =
        ParseClientList("a01b2 80ff00 corvane 1234\r\nffffffff80000010 200 velkctl 7\r\nnot a client\r\n"
                        "10 200 name 5 extra\r\n");
    ASSERT_EQ(2u, clients.size());
    EXPECT_EQ(0xa01b2u, clients[0].handle);
    EXPECT_EQ(0x80ff00u, clients[0].mask);
    EXPECT_EQ("corvane", clients[0].name);
    EXPECT_EQ(1234u, clients[0].processId);
    EXPECT_EQ(0x80000010u, clients[1].handle);
    EXPECT_TRUE(ParseClientList("").empty());
}

TEST(SessionBook, KeepsTheBusesLastMessagesWithinItsCountAndPayloadBytes)
{
    SessionBook book(nullptr, Short);
    const size_t kept = SessionBook::kRecentKept;
    for (size_t i = 1; i <= kept + 5; ++i)
        Fed(&book, Value(i, 0x20000800 + static_cast<uint32_t>(i % 7), static_cast<int32_t>(i)));
    std::vector<std::string> recent = book.Recent(3);
    ASSERT_EQ(3u, recent.size());
    EXPECT_NE(std::string::npos, recent[2].find(FormatText("\"value\":%d,", static_cast<int>(kept + 5))));
    EXPECT_NE(std::string::npos, recent[0].find(FormatText("\"value\":%d,", static_cast<int>(kept + 3))));
    recent = book.Recent(kept + 10);
    ASSERT_EQ(kept, recent.size());
    EXPECT_NE(std::string::npos, recent[0].find("\"value\":6,")) << recent[0];   // the first five went

    // 64 payloads of 64 KiB fill the bytes exactly; the 65th pushes out the oldest.
    SessionBook arrays(nullptr, Short);
    const size_t size = 64u << 10;
    const size_t fit = SessionBook::kRecentPayloadBytes / size;
    for (size_t i = 1; i <= fit; ++i)
        Fed(&arrays, RecordedMessage{ i, 0x30000401, kArrayPayload, static_cast<int32_t>(i), std::string(size, 'x') });
    EXPECT_EQ(fit, arrays.Recent(kept).size());
    Fed(&arrays, RecordedMessage{ fit + 1, 0x30000401, kArrayPayload, 0, std::string(size, 'x') });
    recent = arrays.Recent(kept);
    ASSERT_EQ(fit, recent.size());
    EXPECT_NE(std::string::npos, recent[0].find("\"value\":2,")) << recent[0];
}

} // namespace
