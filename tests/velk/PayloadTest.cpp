// Payload messages: bytes intact across processes, refusals, expiry and a
// burst to several receivers.
#include <string.h>

#include "velk/VelkApi.h"
#include "protocol/MessageCode.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/SharedBus.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Payloads;

// What vGetp gives for a received data word, checked for its terminator.
std::string Fetch(LPARAM dataWord)
{
    int length = -1;
    const char* bytes = vGetp(dataWord, &length);
    if (bytes == NULL)
        return "<null>";
    EXPECT_EQ('\0', bytes[length]);
    return std::string(bytes, static_cast<size_t>(length));
}

LPARAM Address(const void* bytes)
{
    return reinterpret_cast<LPARAM>(bytes);
}

TEST_F(Payloads, ArriveIntactWithinAndAcrossProcesses)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeString | kTypeArray, "self"));
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor 0x600 --count 3 --timeout 30"));
    ASSERT_TRUE(WaitForClients(2));

    // Control characters, a double-byte character (code page 936) and a NUL-free text; an
    // escape sequence, which the monitor shows escaped rather than handing it to the terminal.
    const std::string text = "tab\there\r\nbell\a back\b \xB2\xE2\xCA\xD4\x1b[2J";
    const unsigned char twenty[20] = { 0x00, 0x26, 0x4B, 0x70, 0x95, 0xBA, 0xDF, 0x04, 0x29, 0x4E,
                                       0x73, 0x98, 0xBD, 0xE2, 0x07, 0x2C, 0x51, 0x76, 0x0A, 0xFF };
    EXPECT_EQ(2, vPostData(window_, 0x30000203, Address(text.c_str()), static_cast<int>(text.size())));
    EXPECT_EQ(2, vPostData(window_, 0x30000414, Address(twenty), 20));
    EXPECT_EQ(2, vPostData(window_, 0x30000200, 0, 0));   // empty: no address needed

    std::vector<BusMessage> own = Receive(window_, 3);
    ASSERT_EQ(3u, own.size());
    EXPECT_EQ(text, Fetch(own[0].dataWord));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(twenty), 20), Fetch(own[1].dataWord));
    EXPECT_EQ("", Fetch(own[2].dataWord));
    EXPECT_EQ(text, Fetch(own[0].dataWord));   // a payload can be fetched again while it lives

    EXPECT_EQ(0, monitor.Wait(30000));
    std::vector<std::string> lines = monitor.Lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ("30000203[ 30] tab\\there\\r\\nbell\\a back\\b \xB2\xE2\xCA\xD4\\x1b[2J", WithoutDelta(lines[0]));
    EXPECT_EQ("30000414( 20)  00 26 4B 70 95 BA DF 04 29 4E 73 98 BD E2 07 2C 51 76", WithoutDelta(lines[1]));
    EXPECT_EQ("30000200[  0] ", WithoutDelta(lines[2]));

    // The other way: velkctl unescapes what is typed and parses hex bytes.
    // A file's bytes go as they are, escapes and all, up to the most a message carries.
    std::string fileBytes = std::string("a\\nb\r\n\0z", 8);
    fileBytes.resize(kMaxPayloadBytes, '.');
    const std::string file = WriteTempFile(fileBytes);
    ASSERT_FALSE(file.empty());
    ChildProcess sendString, sendArray, sendEmpty, sendFile;
    ASSERT_TRUE(sendString.Start("velkctl.exe", "send-str 9 \"a\\tb\\nc \xB2\xE2\""));
    EXPECT_EQ(0, sendString.Wait(30000));
    EXPECT_EQ("30000209(  8) a\\tb\\nc \xB2\xE2", sendString.Lines()[0]);   // the bytes sent, escaped
    ASSERT_TRUE(sendArray.Start("velkctl.exe", "send-arr 255 \"0 1 fe FF 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e 7f\""));
    EXPECT_EQ(0, sendArray.Wait(30000));
    ASSERT_TRUE(sendEmpty.Start("velkctl.exe", "send-str 0 \"\""));
    EXPECT_EQ(0, sendEmpty.Wait(30000));
    ASSERT_TRUE(sendFile.Start("velkctl.exe", "send-str 1 --file \"" + file + "\""));
    EXPECT_EQ(0, sendFile.Wait(30000));
    EXPECT_EQ("30000201(65536) a\\nb\\r\\n\\x00z", sendFile.Lines()[0].substr(0, 29));
    DeleteFileA(file.c_str());
    std::vector<BusMessage> sent = Receive(window_, 4);
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ(0x30000209u, sent[0].code);
    EXPECT_EQ("a\tb\nc \xB2\xE2", Fetch(sent[0].dataWord));
    EXPECT_EQ(0x300004FFu, sent[1].code);
    EXPECT_EQ(std::string("\x00\x01\xFE\xFF\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x7F", 20),
              Fetch(sent[1].dataWord));
    EXPECT_EQ("", Fetch(sent[2].dataWord));
    EXPECT_EQ(fileBytes, Fetch(sent[3].dataWord));
    EXPECT_EQ(0u, Counters()["expired"]);
}

TEST_F(Payloads, TooLargeOrMalformedIsRefusedWhole)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeString | kTypeArray, "self"));
    std::string largest(kMaxPayloadBytes, 'L');
    largest[0] = 'F';
    largest.back() = 'Z';
    std::string tooLarge(kMaxPayloadBytes + 1, 'x');
    EXPECT_EQ(1, vPostData(window_, kStringCode, Address(largest.c_str()), static_cast<int>(largest.size())));
    EXPECT_EQ(kVelkPayloadTooLarge, vPostData(window_, kStringCode, Address(tooLarge.c_str()),
                                              static_cast<int>(tooLarge.size())));
    EXPECT_EQ(kVelkBadArgument, vPostData(window_, kArrayCode, Address("abc"), -1));
    EXPECT_EQ(kVelkBadArgument, vPostData(window_, kArrayCode, 0, 3));

    std::vector<BusMessage> received = Receive(window_, 2, 1000);
    ASSERT_EQ(1u, received.size());   // nothing of the refused ones, not even a cut piece
    EXPECT_EQ(largest, Fetch(received[0].dataWord));
    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(3u, counters["refused"]);
    EXPECT_EQ(1u, counters["posted"]);
}

TEST_F(Payloads, OverwrittenAndUnknownTokensAreNullAndCounted)
{
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeString, "self"));
    int length = 99;
    EXPECT_TRUE(vGetp(0, &length) == NULL);
    EXPECT_EQ(0, length);
    EXPECT_TRUE(vGetp(0x7FFFFFFF, &length) == NULL);   // never issued

    // Large payloads wear out the arena before the slots.
    const std::string big(kMaxPayloadBytes, 'b');
    const int bigOnesToWrap = static_cast<int>(kPayloadArenaBytes / kMaxPayloadBytes) + 1;
    for (int i = 0; i < bigOnesToWrap; ++i)
        ASSERT_EQ(1, vPostData(window_, kStringCode, Address(big.c_str()), static_cast<int>(big.size())));
    std::vector<BusMessage> bigOnes = Receive(window_, bigOnesToWrap);
    ASSERT_EQ(static_cast<size_t>(bigOnesToWrap), bigOnes.size());
    length = 99;
    EXPECT_TRUE(vGetp(bigOnes.front().dataWord, &length) == NULL);
    EXPECT_EQ(0, length);
    EXPECT_EQ(big, Fetch(bigOnes.back().dataWord));

    // Small ones wear out the slots: one more than there are.
    for (uint32_t i = 0; i <= kPayloadSlots; ++i)
        ASSERT_EQ(1, vPostData(window_, kStringCode, Address("s"), 1));
    std::vector<BusMessage> small = Receive(window_, kPayloadSlots + 1, 60000);
    ASSERT_EQ(kPayloadSlots + 1, small.size());
    EXPECT_EQ("<null>", Fetch(small.front().dataWord));
    EXPECT_EQ("s", Fetch(small[1].dataWord));
    EXPECT_EQ("s", Fetch(small.back().dataWord));

    EXPECT_EQ(2u, Counters()["expired"]);
    EXPECT_EQ(2u, Counters()["unknown"]);
}

TEST_F(Payloads, BurstToFourReceiversThatKeepUpLosesNothing)
{
    const int kMessages = 10000;
    const int kReceivers = 4;
    ChildProcess receivers[kReceivers];
    for (ChildProcess& receiver : receivers)
        ASSERT_TRUE(receiver.Start("velkctl.exe", "monitor 0x200 --count 10000 --timeout 300"));
    ASSERT_TRUE(WaitForClients(kReceivers));

    // 64 bytes each: a number and a filling that goes with it, so a lost,
    // torn or mixed-up payload shows in the 54 bytes a monitor line keeps.
    std::vector<std::string> expected;
    for (int i = 0; i < kMessages; ++i) {
        std::string payload = std::to_string(100000 + i);
        payload.resize(64, static_cast<char>('a' + i % 26));
        ASSERT_EQ(kReceivers, vPostData(window_, kStringCode, Address(payload.c_str()), 64));
        expected.push_back("30000200[ 64] " + payload.substr(0, 54));
    }
    for (ChildProcess& receiver : receivers) {
        EXPECT_EQ(0, receiver.Wait(300000));
        std::vector<std::string> lines = receiver.Lines();
        for (std::string& line : lines)
            line = WithoutDelta(line);
        EXPECT_TRUE(lines == expected);
    }
    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(static_cast<uint64_t>(kMessages) * kReceivers, counters["delivered"]);
    EXPECT_EQ(0u, counters["expired"]);
}

} // namespace
