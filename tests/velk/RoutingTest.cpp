// Routing by mask, the registry, pruning and the session broadcast, with
// velkctl monitors as the other clients.
#include <string.h>

#include "velk/VelkApi.h"
#include "protocol/MessageCode.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"

namespace {

std::string MonitorArguments(const char* mask, int count)
{
    return std::string("monitor ") + mask + " --count " + std::to_string(count) + " --timeout 30";
}

std::vector<std::string> MonitorLines(ChildProcess& monitor)
{
    std::vector<std::string> lines;
    for (const std::string& line : monitor.Lines())
        lines.push_back(WithoutDelta(line));
    return lines;
}

typedef BusTest Routing;
typedef BusTest Registry;

TEST_F(Routing, EachSubscriberGetsExactlyItsTypes)
{
    ChildProcess depth, payloads, controlAndCounter;
    ASSERT_TRUE(depth.Start("velkctl.exe", MonitorArguments("0x800", 2)));
    ASSERT_TRUE(payloads.Start("velkctl.exe", MonitorArguments("0x600", 2)));
    ASSERT_TRUE(controlAndCounter.Start("velkctl.exe", MonitorArguments("0x808000", 3)));
    ASSERT_EQ(kVelkOk, vRegister(window_, kTypeAD, "self"));
    ASSERT_TRUE(WaitForClients(4));

    const char text[] = "hi";
    const unsigned char bytes[] = { 0x01, 0xFE };
    EXPECT_EQ(1, vPostData(window_, 0x20000801, 11, 4));                      // Depth
    EXPECT_EQ(1, vPostData(window_, 0x20001002, 12, 4));                      // A/D: the sender itself
    EXPECT_EQ(1, vPostData(window_, 0x10008003, 13, 4));                      // Counter
    EXPECT_EQ(0, vPostData(window_, 0x20000004, 14, 4));                      // no type bit: nobody
    EXPECT_EQ(2, vPostData(window_, 0x20001805, 15, 4));                      // Depth and A/D
    EXPECT_EQ(1, vPostData(window_, 0x30000201, reinterpret_cast<LPARAM>(text), 2));
    EXPECT_EQ(1, vPostData(window_, 0x30000402, reinterpret_cast<LPARAM>(bytes), 2));
    EXPECT_EQ(1, vPostData(window_, kStopAllCode, 0, 0));                      // CONTROL
    EXPECT_EQ(0, vPostData(window_, 0x20002006, 16, 4));                      // WTC: nobody
    EXPECT_EQ(1, vPostData(window_, 0x40008007, 17, 4));                      // Counter, Read Para

    EXPECT_EQ(0, depth.Wait(30000));
    EXPECT_EQ(0, payloads.Wait(30000));
    EXPECT_EQ(0, controlAndCounter.Wait(30000));
    EXPECT_EQ((std::vector<std::string>{ "20000801      11", "20001805      15" }), MonitorLines(depth));
    EXPECT_EQ((std::vector<std::string>{ "30000201[  2] hi", "30000402(  2)  01 FE" }), MonitorLines(payloads));
    EXPECT_EQ((std::vector<std::string>{ "10008003      13", "80800000      0", "40008007      17" }),
              MonitorLines(controlAndCounter));

    std::vector<BusMessage> own = Receive(window_, 3, 2000);
    ASSERT_EQ(2u, own.size());
    EXPECT_EQ(0x20001002u, own[0].code);
    EXPECT_EQ(12, own[0].dataWord);
    EXPECT_EQ(0x20001805u, own[1].code);

    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(10u, counters["posted"]);
    EXPECT_EQ(9u, counters["delivered"]);
    EXPECT_EQ(0u, counters["dropped"]);
}

TEST_F(Registry, UpdatesInPlaceRefusesWhenFullAndNeverOverwrites)
{
    const UINT maskA = kTypeDepth, maskB = kTypeString | kTypeArray;
    ASSERT_EQ(kVelkOk, vRegister(window_, maskA, "first"));
    ASSERT_EQ(kVelkOk, vRegister(window_, maskB, "second name"));   // as the console does on every click
    std::vector<std::string> lines = ClientLines();
    ASSERT_EQ(1u, lines.size());
    char expected[96];
    snprintf(expected, sizeof expected, "%llx 600 second_name %lu",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window_)), GetCurrentProcessId());
    EXPECT_EQ(expected, lines[0]);
    EXPECT_EQ(0, vPostData(window_, 0x20000801, 1, 4));   // the old mask no longer routes

    // Fill the registry to the last place with more windows of ours.
    std::vector<HWND> others;
    int result = kVelkOk;
    while (result == kVelkOk && others.size() < 1000) {
        others.push_back(MakeWindow());
        result = vRegister(others.back(), maskA, "filler");
    }
    EXPECT_EQ(kVelkRegistryFull, result);
    size_t capacity = others.size();   // the refused one plus ours make the registry's size
    EXPECT_GE(capacity, 64u);
    EXPECT_EQ(capacity, ClientLines().size());
    EXPECT_EQ(expected, ClientLines()[0]);   // nobody was overwritten
    EXPECT_EQ(static_cast<int>(capacity - 1), vPostData(window_, 0x20000801, 1, 4));

    // A freed place is taken again; a window never registered cannot be removed.
    EXPECT_EQ(kVelkNotRegistered, vUnregister(others.back()));
    EXPECT_EQ(kVelkOk, vUnregister(others.front()));
    EXPECT_EQ(kVelkOk, vRegister(others.back(), maskA, "late"));
    EXPECT_EQ(kVelkRegistryFull, vRegister(others.front(), maskA, "again"));
    for (HWND other : others)
        DestroyWindow(other);
    EXPECT_EQ(kVelkBadWindow, vRegister(others.front(), maskA, "destroyed"));
    EXPECT_TRUE(WaitForClients(1));   // the destroyed ones are pruned on listing
}

TEST_F(Registry, KilledClientIsPrunedBeforeRoutingAndListing)
{
    ChildProcess doomed, survivor;
    ASSERT_TRUE(doomed.Start("velkctl.exe", MonitorArguments("0x800", 100)));
    ASSERT_TRUE(survivor.Start("velkctl.exe", MonitorArguments("0x800", 1)));
    ASSERT_TRUE(WaitForClients(2));
    DWORD doomedPid = doomed.Pid();
    doomed.Kill();

    // Whichever comes first, the post or the sweep, the dead window is not delivered to.
    EXPECT_EQ(1, vPostData(window_, 0x20000801, 5, 4));
    EXPECT_EQ(0, survivor.Wait(30000));
    std::vector<std::string> lines = ClientLines();
    EXPECT_TRUE(lines.empty());   // the survivor unregistered on leaving
    for (const std::string& line : lines)
        EXPECT_EQ(std::string::npos, line.find(" " + std::to_string(doomedPid)));
    std::map<std::string, uint64_t> counters = Counters();
    EXPECT_EQ(1u, counters["pruned"]);
    EXPECT_EQ(1u, counters["delivered"]);
}

TEST_F(Routing, EndSessionReachesEveryOtherListedWindow)
{
    ChildProcess first, second;
    ASSERT_TRUE(first.Start("velkctl.exe", "monitor 0x800 --timeout 60"));
    ASSERT_TRUE(second.Start("velkctl.exe", "monitor 0x100 --timeout 60"));
    ASSERT_EQ(kVelkOk, vRegister(window_, 0, "self"));
    ASSERT_TRUE(WaitForClients(3));

    ChildProcess broadcaster;
    ASSERT_TRUE(broadcaster.Start("velkctl.exe", "end-session"));
    EXPECT_EQ(0, broadcaster.Wait(30000));
    EXPECT_EQ(3u, broadcaster.Lines().size());
    EXPECT_EQ(1, EndSessionsOf(window_));
    // The monitors end when told; they would otherwise run their minute.
    EXPECT_EQ(0, first.Wait(10000));
    EXPECT_EQ(0, second.Wait(10000));
    EXPECT_EQ("velkctl: the session ended", first.Lines().back());
}

} // namespace
