// How a message is sent and checked: the signal file's init, counter and
// checksum, the sender's message state, the receive check's marks at their
// edges and the scheduler's overrun rule.
#include <gtest/gtest.h>

#include "formats/CsvExport.h"
#include "formats/SendSchedule.h"
#include "signals/MessageCheck.h"
#include "signals/MessageState.h"
#include "signals/SignalFile.h"
#include "tests/unit/LoadSignals.h"
#include "velkctl/TopSignalCells.h"

namespace {

// A 4-byte frame: a 12-bit value, a 4-bit counter at the top of byte 1, a
// spare byte, and a crc8 over bytes 0-2 in byte 3.
const char kFrame[] =
    "[[message]]\ncode = \"30000402\"\nname = \"m\"\nperiod = \"20ms\"\n"
    "[[message.field]]\nname = \"v\"\nbyte = 0\nbits = 12\ntype = \"u16\"\nendian = \"little\"\nscale = 0.5\ninit = 100\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 1\nbit = 4\nbits = 4\ntype = \"u8\"\ncounter = true\ninit = 14\n"
    "[[message.field]]\nname = \"spare\"\nbyte = 2\ntype = \"u8\"\n"
    "[[message.field]]\nname = \"crc\"\nbyte = 3\ntype = \"u8\"\nchecksum = { kind = \"crc8\", bytes = \"0-2\" }\n";

uint8_t Crc8(const std::string& bytes)
{
    return static_cast<uint8_t>(ComputeChecksum(*FindChecksumKind("crc8"),
                                                reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// kFrame loaded, and a sender of its message from its init values.
struct FrameSender {
    SignalDatabase database;
    MessageState state;
    const SignalMessage* frame = nullptr;
    FrameSender()
    {
        EXPECT_TRUE(Load(kFrame, &database).empty());
        frame = database.FindMessage("m");
        std::string error;
        EXPECT_TRUE(frame != nullptr && state.Start(*frame, nullptr, &error)) << error;
    }
};

} // namespace

TEST(SendingKeys, InitCounterAndChecksumLoadAndEveryMistakeIsPlaced)
{
    SignalDatabase database;
    std::vector<std::string> errors = Load(std::string(kFrame) +
                                           "[[message]]\ncode = \"20001002\"\nname = \"s\"\nenum = { 0 = \"OFF\", 2 = \"ON\" }\n"
                                           "init = \"ON\"\ncounter = true\n"
                                           "[[message]]\ncode = \"30000201\"\nname = \"t\"\ninit = \"READY\"\n",
                                           &database);
    ASSERT_TRUE(errors.empty()) << errors[0];
    const SignalMessage& frame = *database.FindMessage("m");
    EXPECT_EQ(1, frame.counterIndex);
    EXPECT_EQ(3, frame.checksumIndex);
    EXPECT_EQ(200, frame.signals[0].init.integer);   // 100 / 0.5
    EXPECT_EQ(1u, frame.signals[3].checksumBytes.size());
    EXPECT_EQ(2u, frame.signals[3].checksumBytes[0].last);
    EXPECT_EQ(2, database.FindMessage("s")->signals[0].init.integer);
    EXPECT_EQ(0, database.FindMessage("s")->counterIndex);
    EXPECT_EQ("READY", database.FindMessage("t")->signals[0].initText);

    const std::string head = "[[message]]\ncode = \"30000401\"\nname = \"a\"\n[[message.field]]\nname = \"f\"\nbyte = 0\n";
    const std::string crc = "[[message.field]]\nname = \"c\"\nbyte = 4\ntype = \"u8\"\nchecksum = ";
    struct Case { std::string text; const char* error; };
    const Case cases[] = {
        { head + "type = \"f32\"\nendian = \"little\"\ncounter = true\n",
          "f.toml:9:1: counter does not fit a f32 field: a counter counts in an integer field" },
        { head + "type = \"str\"\ncounter = true\n", "f.toml:8:1: counter does not fit a str field" },
        { head + "type = \"u8\"\ncounter = 1\n", "f.toml:8:11: counter must be true or false" },
        { head + "type = \"u8\"\ncounter = true\nmax = 9\n",
          "f.toml:8:11: a counter counts through all its raw values: it takes no min or max" },
        { "[[message]]\ncode = \"20001003\"\nname = \"hb\"\nmin = 1\ncounter = true\n",
          "f.toml:5:11: a counter counts through all its raw values: it takes no min or max" },
        { "[[message]]\ncode = \"30000201\"\nname = \"a\"\ncounter = true\n", "f.toml:4:1: key 'counter' does not fit a string code" },
        { head + "type = \"u8\"\nmax = 10\ninit = 11\n", "f.toml:9:8: init: a.f: 11 is above its max 10" },
        { head + "type = \"u8\"\ninit = 256\n", "f.toml:8:8: init: a.f: 256 is raw 256, which does not fit u8" },
        { head + "type = \"u8\"\nenum = { 0 = \"OFF\" }\ninit = \"OF\"\n", "f.toml:9:8: init: a.f: 'OF' is not a number or one of its names (OFF): did you mean 'OFF'?" },
        { head + "type = \"str\"\nlength = 2\nencoding = \"utf-8\"\ninit = \"abc\"\n", "f.toml:10:8: init is 3 bytes, longer than the field's 2" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc9\", bytes = \"0-3\" }\n",
          "f.toml:13:21: unknown checksum kind 'crc9' (expected xor8, sum8, crc8, crc8-sae-j1850, crc16-ccitt, crc16-modbus, crc32)" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"0-4\" }\n",
          "f.toml:13:37: bytes 0-4 cover the checksum itself (byte 4)" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"0-3, 5\" }\n",
          "f.toml:13:37: byte 5 is outside the message, whose fields end at byte 4" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"3-1\" }\n",
          "f.toml:13:37: bytes \"3-1\": 3-1 goes down" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"0-2, 2\" }\n",
          "f.toml:13:37: bytes \"0-2, 2\": the ranges must go up, each byte once" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"65536\" }\n",
          "f.toml:13:37: bytes \"65536\": bytes are 0 to 65535" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"0-3\", bites = 1 }\n",
          "f.toml:13:44: unknown key 'bites' (did you mean 'bytes'?)" },
        { head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc16-ccitt\", bytes = \"0-3\" }\n",
          "f.toml:13:12: crc16-ccitt is 16 bits: its field must be unsigned and 16 bits wide, not u8 in 8 bits" },
        { head + "type = \"i8\"\n" + crc + "{ kind = \"crc8\", bytes = \"0\" }\ninit = 1\n",
          "f.toml:13:8: init does not fit a checksum field: it is computed on every send" },
        { head + "type = \"u8\"\ncounter = true\n[[message.field]]\nname = \"g\"\nbyte = 1\ntype = \"u8\"\ncounter = true\n",
          "f.toml:9:1: a message has one counter: field 'f' (line 4) is one already" },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        std::vector<std::string> found = Load(test.text, &database);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(0u, found[0].find(test.error)) << found[0];
    }
    // The edges that are no mistake: bytes up to the checksum, and a byte
    // range of one; a counter's init at its top.
    EXPECT_TRUE(Load(head + "type = \"u32\"\nendian = \"big\"\n" + crc + "{ kind = \"crc8\", bytes = \"0-3\" }\n", &database).empty());
    EXPECT_TRUE(Load(head + "type = \"u8\"\n" + crc + "{ kind = \"xor8\", bytes = \"0, 2-3\" }\n"
                     "[[message.field]]\nname = \"p\"\nbyte = 2\nbits = 4\ntype = \"u8\"\ncounter = true\ninit = 15\n"
                     "[[message.field]]\nname = \"q\"\nbyte = 3\ntype = \"u8\"\n", &database).empty());
}

TEST(MessageState, TheCounterWrapsAtItsBitsAndTheChecksumIsWrittenAfterIt)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(kFrame, &database).empty());
    const SignalMessage& frame = *database.FindMessage("m");
    MessageState state;
    std::string error;
    ASSERT_TRUE(state.Start(frame, nullptr, &error)) << error;
    // v = 200 in 12 bits little-endian: c8 0 (its top nibble in byte 1's low half).
    const unsigned expected[] = { 14, 15, 0, 1 };
    for (unsigned alive : expected) {
        RecordedMessage sent = state.Next();
        ASSERT_EQ(4u, sent.bytes.size());
        EXPECT_EQ(0x30000402u, sent.code);
        EXPECT_EQ(alive << 4, static_cast<unsigned char>(sent.bytes[1]));
        EXPECT_EQ(0xc8, static_cast<unsigned char>(sent.bytes[0]));
        // The checksum covers the counter of this very send.
        EXPECT_EQ(Crc8(sent.bytes.substr(0, 3)), static_cast<uint8_t>(sent.bytes[3]));
    }
    // Set by name: the next send carries it; a counter set counts on from there.
    ASSERT_TRUE(state.Set(frame.signals[0], "1000", &error)) << error;
    ASSERT_TRUE(state.Set(frame.signals[1], "7", &error)) << error;
    RecordedMessage sent = state.Next();
    EXPECT_EQ(std::string("\xd0\x77\x00", 3), sent.bytes.substr(0, 3));   // 2000 = 0x7d0
    EXPECT_EQ(0x87, static_cast<unsigned char>(state.Next().bytes[1]));
    // A refused value changes nothing; a checksum cannot be set.
    EXPECT_FALSE(state.Set(frame.signals[0], "2048", &error));
    EXPECT_EQ("m.v: 2048 is raw 4096, which does not fit u16 in 12 bits: 0 to 4095", error);
    EXPECT_FALSE(state.Set(frame.signals[3], "1", &error));
    EXPECT_EQ(0xd0, static_cast<unsigned char>(state.Next().bytes[0]));

    // A value message's counter is its whole word, wrapping at 32 bits.
    ASSERT_TRUE(Load("[[message]]\ncode = \"20001003\"\nname = \"hb\"\nsigned = false\ncounter = true\ninit = 4294967295\n",
                     &database).empty());
    ASSERT_TRUE(state.Start(*database.FindMessage("hb"), nullptr, &error));
    EXPECT_EQ(-1, state.Next().value);
    EXPECT_EQ(0, state.Next().value);
    // send-arr by name writes the checksum too, unless the checksum is given.
    ASSERT_TRUE(Load(kFrame, &database).empty());
    std::string payload;
    ASSERT_TRUE(BuildArrayPayload(*database.FindMessage("m"), { "spare=9" }, "", &payload, &error)) << error;
    EXPECT_EQ(std::string("\xc8\xe0\x09", 3), payload.substr(0, 3));
    EXPECT_EQ(Crc8(payload.substr(0, 3)), static_cast<uint8_t>(payload[3]));
    ASSERT_TRUE(BuildArrayPayload(*database.FindMessage("m"), { "crc=0" }, "", &payload, &error)) << error;
    EXPECT_EQ(0, payload[3]);
    // A str field without length is the rest of the payload: a longer base's tail is not read into its text.
    ASSERT_TRUE(Load("[[message]]\ncode = \"30000401\"\nname = \"t\"\n[[message.field]]\nname = \"s\"\nbyte = 1\n"
                     "type = \"str\"\n", &database).empty());
    ASSERT_TRUE(BuildArrayPayload(*database.FindMessage("t"), { "s=XY" }, "\x07" "ABCDEF", &payload, &error)) << error;
    EXPECT_EQ("\x07XY", payload);
}

TEST(MessageChecks, BadChecksumsAndCountersThatSkipOrRepeatAreMarkedAtTheirEdges)
{
    FrameSender sender;
    ASSERT_TRUE(sender.frame != nullptr);
    const SignalMessage& frame = *sender.frame;
    MessageState& state = sender.state;
    MessageChecks checks;
    // 14, 15, 0 (the wrap) are good.
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(checks.Check(frame, 0, state.Next().bytes).Any()) << i;
    RecordedMessage one = state.Next();
    EXPECT_FALSE(checks.Check(frame, 0, one.bytes).Any());
    // The same again: a repeat.
    MessageFaults faults = checks.Check(frame, 0, one.bytes);
    EXPECT_TRUE(faults.counter);
    EXPECT_FALSE(faults.checksum);
    EXPECT_EQ("!cnt", FormatFaultMarks(faults));
    EXPECT_EQ("{\"cnt\":{\"got\":1,\"want\":2}}", FormatFaultsJson(faults));
    // 2 is skipped: 3 comes.
    state.Next();
    faults = checks.Check(frame, 0, state.Next().bytes);
    EXPECT_EQ("{\"cnt\":{\"got\":3,\"want\":2}}", FormatFaultsJson(faults));
    EXPECT_FALSE(checks.Check(frame, 0, state.Next().bytes).Any());
    // A checksum one bit off, then a payload too short for it.
    std::string bytes = state.Next().bytes;
    const uint8_t good = static_cast<uint8_t>(bytes[3]);
    bytes[3] = static_cast<char>(good ^ 1);
    faults = checks.Check(frame, 0, bytes);
    EXPECT_EQ("!crc", FormatFaultMarks(faults));
    EXPECT_EQ("{\"crc\":{\"got\":" + std::to_string(good ^ 1) + ",\"want\":" + std::to_string(good) + "}}",
              FormatFaultsJson(faults));
    // The same counter again is a repeat too.
    faults = checks.Check(frame, 0, bytes.substr(0, 3));
    EXPECT_EQ("{\"crc\":{\"got\":null,\"want\":" + std::to_string(good) + "},\"cnt\":{\"got\":5,\"want\":6}}",
              FormatFaultsJson(faults));
    // Lost to velkctl: the next sets the count afresh; both marks at once.
    checks.Forget(frame.code);
    bytes = state.Next().bytes;
    EXPECT_FALSE(checks.Check(frame, 0, bytes).Any());
    bytes[3] = static_cast<char>(bytes[3] ^ 0x80);
    EXPECT_EQ("!crc !cnt", FormatFaultMarks(checks.Check(frame, 0, bytes)));
}

TEST(SendSchedule, ALateSendIsSentOnceAndItsMissedDeadlinesCountedAsOverruns)
{
    SendSchedule schedule;
    const size_t fast = schedule.Add(10000);
    const size_t slow = schedule.Add(100000);
    schedule.Start(fast, 0, 0);
    schedule.Start(slow, 0, 5000);
    size_t task = 99;
    uint64_t deadline = 0;
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(fast, task);
    EXPECT_EQ(0u, deadline);
    schedule.Sent(fast, 300);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(slow, task);
    EXPECT_EQ(5000u, deadline);
    schedule.Sent(slow, 5000);
    // Late by just under one period: no overrun, the next deadline stays on the grid.
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(10000u, deadline);
    schedule.Sent(fast, 19999);
    EXPECT_EQ(0u, schedule.Timing(fast).overruns);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(20000u, deadline);
    // Late by exactly one period, then by 3.5: one send each, 1 and 3 overruns.
    schedule.Sent(fast, 30000);
    EXPECT_EQ(1u, schedule.Timing(fast).overruns);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(40000u, deadline);
    schedule.Sent(fast, 75000);
    EXPECT_EQ(4u, schedule.Timing(fast).overruns);
    EXPECT_EQ(4u, schedule.Timing(fast).sent);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(80000u, deadline);
    // Stopped: the other comes next; a new period counts from the last deadline.
    schedule.Stop(fast);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(slow, task);
    EXPECT_EQ(105000u, deadline);
    schedule.SetPeriod(slow, 50000, 50000);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(55000u, deadline);
    schedule.SetPeriod(slow, 20000, 60000);   // 25000 has passed: at once
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(60000u, deadline);
    schedule.Stop(slow);
    EXPECT_FALSE(schedule.Next(&task, &deadline));

    // Lateness: mean and max exact, p99 to its bucket's end at both ends of a decade.
    const LatenessStats& late = schedule.Timing(fast).lateness;
    EXPECT_EQ(300u + 9999u + 10000u + 35000u, static_cast<uint64_t>(late.MeanMicros() * 4 + 0.5));
    EXPECT_EQ(35000u, late.MaxMicros());
    LatenessStats stats;
    for (int i = 0; i < 99; ++i)
        stats.Add(999);
    stats.Add(5000);
    EXPECT_EQ(1000u, stats.PercentileMicros(0.99));
    EXPECT_EQ(5000u, stats.PercentileMicros(1.0));   // the bucket's end, 5100, is past the max
    stats.Add(1000);
    EXPECT_EQ(1100u, stats.PercentileMicros(0.99));
    stats.Add(20000000);
    EXPECT_EQ(20000000u, stats.PercentileMicros(1.0));
    EXPECT_EQ(0u, LatenessStats().PercentileMicros(0.99));

    // Due at one deadline: in the order the messages were added.
    schedule.Start(slow, 200000, 0);
    schedule.Start(fast, 200000, 0);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(fast, task);
    schedule.Sent(fast, 200000);
    ASSERT_TRUE(schedule.Next(&task, &deadline));
    EXPECT_EQ(slow, task);
}

TEST(MessageChecks, TopMarksAFaultForAnIntervalAndExportHasACheckColumn)
{
    SignalDatabase database;
    ASSERT_TRUE(Load(kFrame, &database).empty());
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    const TopSignalCells cells(database, pages, nullptr);
    TopTable table;
    table.UseSignals(&cells);
    MessageState state;
    std::string error;
    ASSERT_TRUE(state.Start(*database.FindMessage("m"), nullptr, &error));
    auto receive = [&](const std::string& bytes) {
        LatestValue latest;
        latest.Set(kArrayPayload, 0, bytes.data(), static_cast<int32_t>(bytes.size()));
        table.Receive(0x30000402, 0, latest);
    };
    const std::string first = state.Next().bytes;
    receive(first);
    receive(state.Next().bytes);
    table.EndInterval(1000000, 1000000);
    std::vector<TopLine> lines = table.Format(200, 100, 0, [](unsigned char) { return false; });
    EXPECT_EQ(kTopChanged, lines[1].mark);
    receive(first);   // the counter goes back: a repeat of sorts
    table.EndInterval(2000000, 1000000);
    lines = table.Format(200, 100, 0, [](unsigned char) { return false; });
    EXPECT_EQ(kTopFaulty, lines[1].mark);
    EXPECT_EQ('!', lines[1].text[0]);
    EXPECT_NE(std::string::npos, lines[1].text.find("m.v      100  !cnt")) << lines[1].text;
    EXPECT_EQ(std::string::npos, lines[2].text.find("!cnt"));
    table.EndInterval(3000000, 1000000);
    EXPECT_NE(kTopFaulty, table.Format(200, 100, 0, [](unsigned char) { return false; })[1].mark);

    EXPECT_EQ("time,seconds,code,direction,type,channel,kind,value,text,bytes,length,name,signal,physical,unit,check",
              FormatCsvHeader(nullptr, true, true));
    RecordedMessage message = { 0, 0x30000402, kArrayPayload, 0, first };
    CsvSignalCells row;
    row.checkColumn = true;
    row.check = "!crc";
    const std::string text = FormatCsvRow(message, nullptr, kUtf8, &row);
    EXPECT_EQ(",,,,!crc", text.substr(text.size() - 8));
}

// A payload that ends at the last byte the checksum covers has a want; one a
// byte shorter has none. top counts afresh after an expired payload, as
// monitor and velkscope do: the skip across it is no fault.
TEST(MessageChecks, TheChecksumBytesEndAndAnExpiredPayloadStartsTheCountAfresh)
{
    FrameSender sender;
    ASSERT_TRUE(sender.frame != nullptr);
    const SignalMessage& frame = *sender.frame;
    SignalDatabase& database = sender.database;
    MessageState& state = sender.state;
    const std::string bytes = state.Next().bytes;
    uint32_t want = 0;
    EXPECT_TRUE(ComputeMessageChecksum(frame.signals[3], bytes.substr(0, 3), &want));
    EXPECT_EQ(Crc8(bytes.substr(0, 3)), want);
    EXPECT_FALSE(ComputeMessageChecksum(frame.signals[3], bytes.substr(0, 2), &want));
    MessageChecks checks;
    EXPECT_EQ("{\"crc\":{\"got\":null,\"want\":null}}", FormatFaultsJson(checks.Check(frame, 0, bytes.substr(0, 2))));
    // Short of the field, the checksum is wrong even where its want is 0;
    // short of the counter, the count is neither judged nor moved.
    checks.Forget(frame.code);
    EXPECT_EQ("{\"crc\":{\"got\":null,\"want\":0}}", FormatFaultsJson(checks.Check(frame, 0, std::string(3, '\0'))));
    checks.Forget(frame.code);
    EXPECT_FALSE(checks.Check(frame, 0, bytes).Any());
    EXPECT_FALSE(checks.Check(frame, 0, bytes.substr(0, 1)).counter);
    const std::string next = state.Next().bytes;
    EXPECT_FALSE(checks.Check(frame, 0, next).Any());
    // A checksum first, over bytes after it: read, but short of its bytes.
    SignalDatabase first;
    ASSERT_TRUE(Load("[[message]]\ncode = \"30000403\"\nname = \"f\"\n[[message.field]]\nname = \"crc\"\nbyte = 0\n"
                     "type = \"u8\"\nchecksum = { kind = \"crc8\", bytes = \"1-2\" }\n"
                     "[[message.field]]\nname = \"v\"\nbyte = 1\ntype = \"u16\"\nendian = \"little\"\n", &first).empty());
    EXPECT_EQ("{\"crc\":{\"got\":0,\"want\":null}}",
              FormatFaultsJson(checks.Check(first.Messages()[0], 0, std::string(2, '\0'))));

    const SignalCodePages pages = { &kGbk, &kUtf8 };
    const TopSignalCells cells(database, pages, nullptr);
    TopTable table;
    table.UseSignals(&cells);
    auto receive = [&](const std::string& payload, bool expired) {
        LatestValue latest;
        latest.Set(kArrayPayload, 0, payload.data(), static_cast<int32_t>(payload.size()));
        latest.expired = expired;
        table.Receive(0x30000402, 0, latest);
    };
    receive(state.Next().bytes, false);
    receive("", true);
    state.Next();   // the one that expired
    receive(state.Next().bytes, false);
    table.EndInterval(1000000, 1000000);
    for (const TopLine& line : table.Format(200, 100, 0, [](unsigned char) { return false; })) {
        EXPECT_NE(kTopFaulty, line.mark) << line.text;
        EXPECT_EQ(std::string::npos, line.text.find("!cnt")) << line.text;
    }
}

// A value message that is its own counter, set by name: the next send
// carries the value set, and the count goes on from it, wrapping at 32 bits.
TEST(MessageState, AValueMessagesCounterSetByNameCountsOnFromIt)
{
    SignalDatabase database;
    ASSERT_TRUE(Load("[[message]]\ncode = \"20001003\"\nname = \"hb\"\nsigned = false\ncounter = true\n", &database).empty());
    const SignalMessage& beat = *database.FindMessage("hb");
    MessageState state;
    std::string error;
    ASSERT_TRUE(state.Start(beat, nullptr, &error)) << error;
    EXPECT_EQ(0, state.Next().value);
    ASSERT_TRUE(state.Set(beat.signals[0], "4294967294", &error)) << error;
    EXPECT_EQ(-2, state.Next().value);
    EXPECT_EQ(-1, state.Next().value);
    EXPECT_EQ(0, state.Next().value);
}

// top keeps a payload's first 64 bytes: a checksum they cover is judged, one
// past them is not (the payload is cut, not wrong).
TEST(MessageChecks, TopJudgesACutPayloadOnlyByTheBytesItKept)
{
    SignalDatabase database;
    const std::string field = "[[message.field]]\nname = \"pad\"\nbyte = 0\ntype = \"u8\"\n"
                              "[[message.field]]\nname = \"crc\"\ntype = \"u8\"\n";
    ASSERT_TRUE(Load("[[message]]\ncode = \"30000403\"\nname = \"near\"\n" + field +
                     "byte = 3\nchecksum = { kind = \"crc8\", bytes = \"0-2\" }\n"
                     "[[message]]\ncode = \"30000404\"\nname = \"far\"\n" + field +
                     "byte = 70\nchecksum = { kind = \"crc8\", bytes = \"0-69\" }\n", &database).empty());
    const SignalCodePages pages = { &kGbk, &kUtf8 };
    const TopSignalCells cells(database, pages, nullptr);
    for (uint32_t code : { 0x30000403u, 0x30000404u }) {
        SCOPED_TRACE(code);
        std::string bytes(71, '\x01');
        const size_t at = code == 0x30000403 ? 3 : 70;
        bytes[at] = static_cast<char>(Crc8(bytes.substr(0, at)) ^ 1);   // wrong either way
        TopTable table;
        table.UseSignals(&cells);
        LatestValue latest;
        latest.Set(kArrayPayload, 0, bytes.data(), static_cast<int32_t>(bytes.size()));
        table.Receive(code, 0, latest);
        table.EndInterval(1000000, 1000000);
        bool faulty = false;
        for (const TopLine& line : table.Format(200, 100, 0, [](unsigned char) { return false; }))
            faulty = faulty || line.mark == kTopFaulty;
        EXPECT_EQ(at < kLatestPayloadBytes, faulty);
    }
}

// A payload built elsewhere that ends one byte before the counter's grows to
// hold it; too short for the checksum, it gets none.
TEST(MessageState, StampGrowsAShortPayloadToHoldTheCounter)
{
    FrameSender sender;
    RecordedMessage message = { 0, 0x30000402, kArrayPayload, 0, "\x05" };
    sender.state.Stamp(&message);
    EXPECT_EQ(std::string("\x05\xe0", 2), message.bytes);
}
