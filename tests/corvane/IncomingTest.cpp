// WM_BUS_MESSAGE as the bus delivers it, through the dialog's queue: one line
// per message, payloads fetched through vGetp while it is bound.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/ConsoleLog.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

namespace {

class IncomingTest : public testing::Test {
protected:
    void SetUp() override
    {
        dlg_ = console_.WaitForDialog();
        ASSERT_NE(dlg_, nullptr);
    }

    // Delivers one message and returns the line it made.
    std::string Deliver(UINT code, LPARAM dataWord)
    {
        uint32_t before = LoggedLineCount(console_);
        console_.Post(dlg_, WM_BUS_MESSAGE, code, dataWord);
        console_.Flush();
        EXPECT_EQ(LoggedLineCount(console_), before + 1) << "not one line for code " << std::hex << code;
        return LastLogLine(console_);
    }

    FakeBus bus_;
    ConsoleSession console_;
    HWND dlg_ = nullptr;
};

} // namespace

TEST_F(IncomingTest, EachKindOfMessageMakesItsLine)
{
    struct Case { UINT code; LPARAM dataWord; std::string payload; std::string line; bool fetched; };
    // The formats themselves are the logic's tests; here: one of each kind,
    // the data word as it comes through lParam, and vGetp only for payloads.
    const Case cases[] = {
        { 0x20000805, 7, "", "20000805      7", false },
        { 0x20000805, static_cast<LPARAM>(0xFFFFFFFFu), "", "20000805      -1", false },
        { 0x40000201, 5, "ignored", "40000201      5", false },   // String bit, but no value direction
        { 0x30000201, 0x1234, "hello\tworld", "30000201[ 11] hello\\tworld", true },
        { 0x30000402, 0x77, "\x01\xA0\xFF", "30000402(  3)  01 A0 FF", true },
    };
    for (const Case& c : cases) {
        SetFakePayload(c.payload);
        bus_.ClearCalls();
        std::string line = Deliver(c.code, c.dataWord);
        EXPECT_EQ(WithoutTimeDelta(line), c.line) << line;
        std::vector<FakeCall> fetches = bus_.CallsTo("vGetp");
        ASSERT_EQ(fetches.size(), c.fetched ? 1u : 0u) << c.line;
        if (c.fetched) {
            EXPECT_EQ(fetches[0].dataWord, static_cast<long long>(c.dataWord)) << c.line;
        }
    }
}

TEST_F(IncomingTest, TheTimeDeltaIsTakenForEveryKindOfMessage)
{
    SetFakePayload("p");
    const UINT kinds[] = { 0x30000201, 0x30000402, 0x20000805 };
    for (UINT code : kinds) {
        Sleep(400);
        long long waited = TimeDeltaOf(Deliver(code, 1));
        // The message right after shows a short delta only if this one moved the tick.
        long long next = TimeDeltaOf(Deliver(0x805, 2));
        EXPECT_GE(waited, 350) << std::hex << code;
        EXPECT_GE(next, 0);
        EXPECT_LT(next, 350) << "code " << std::hex << code << " did not move the tick";
    }
}

TEST_F(IncomingTest, AfterTheBindingIsReleasedPayloadsLogTheirHeadOnly)
{
    SetFakePayload("never fetched");
    console_.Send(dlg_, WM_ENDSESSION, TRUE, 0);
    bus_.ClearCalls();

    EXPECT_EQ(WithoutTimeDelta(Deliver(0x30000201, 5)), "30000201[  0] ");
    EXPECT_EQ(WithoutTimeDelta(Deliver(0x30000402, 6)), "30000402(  0) ");
    EXPECT_EQ(WithoutTimeDelta(Deliver(0x20000805, 7)), "20000805      7");
    EXPECT_TRUE(bus_.Calls().empty()) << "a released library was called";
}
