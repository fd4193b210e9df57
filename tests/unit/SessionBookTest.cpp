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
    EXPECT_FALSE(book.Wants(0x20000803));
    EXPECT_TRUE(book.Wants(0x20001002));

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

} // namespace
