// velkctl simulate against the reference bus: the example rig's periodic
// messages read back by monitor, with a request on its standard input.
#include <string>
#include <vector>

#include "tests/velk/BusTestSupport.h"
#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"

namespace {

typedef BusTest Simulate;

const std::string kRig = std::string("\"") + CORVANE_SIGNALS_EXAMPLE + "\"";

// A number after "key": in a JSON line; -1 when absent.
double Member(const std::string& line, const std::string& key)
{
    const size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? -1 : atof(line.c_str() + at + key.size() + 3);
}

TEST_F(Simulate, TheRigsMessagesCountAndCheckAndASetOnStdinChangesTheNextSend)
{
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor --jsonl --code 30000403 --count 40 --timeout 60 --signals " + kRig));
    ASSERT_TRUE(WaitForClients(1));
    ASSERT_EQ(kVelkOk, vRegister(window_, 0x0080FF00, "test"));   // to know when to set

    // simulate's standard input: a pipe the test writes to while it runs.
    SECURITY_ATTRIBUTES inherit = { sizeof inherit, NULL, TRUE };
    HANDLE read = NULL, write = NULL;
    ASSERT_TRUE(CreatePipe(&read, &write, &inherit, 0));
    SetHandleInformation(write, HANDLE_FLAG_INHERIT, 0);
    HANDLE own = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, read);
    ChildProcess simulate;
    const bool started = simulate.Start("velkctl.exe", "simulate " + kRig + " --only motor.status motor.state");
    SetStdHandle(STD_INPUT_HANDLE, own);
    CloseHandle(read);
    ASSERT_TRUE(started);

    size_t seen = 0;
    for (const BusMessage& message : Receive(window_, 20))
        seen += message.code == 0x30000403;
    ASSERT_GE(seen, 10u);
    const std::string set = "{\"id\":1,\"op\":\"set\",\"signal\":\"motor.status.current\",\"value\":2.5}\n"
                            "{\"op\":\"set\",\"signal\":\"motor.status.current\",\"value\":101}\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(write, set.data(), static_cast<DWORD>(set.size()), &written, NULL));
    EXPECT_EQ(0, monitor.Wait(60000));
    CloseHandle(write);   // the end of its input ends it
    EXPECT_EQ(0, simulate.Wait(30000));

    // Every message checks; its counter counts on from 0; the current is
    // its init until the set, then the value set, from one send on.
    const std::vector<std::string> lines = monitor.Lines();
    ASSERT_GE(lines.size(), 40u);   // and the summary of what the filter left out
    int alive = 0, changedAt = -1;
    for (int i = 0; i < 40; ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(std::string::npos, line.find("faults")) << line;
        EXPECT_EQ(alive, static_cast<int>(Member(line, "motor.status.alive"))) << line;
        alive = (alive + 1) % 16;
        const double current = Member(line, "motor.status.current");
        if (changedAt < 0 && current == 2.5)
            changedAt = i;
        EXPECT_EQ(changedAt < 0 ? 0.4 : 2.5, current) << line;
    }
    EXPECT_GE(changedAt, 10);
    const std::vector<std::string> said = simulate.Lines();
    ASSERT_GE(said.size(), 4u);
    EXPECT_EQ("{\"id\":1,\"ok\":true}", said[0]);
    EXPECT_EQ("{\"id\":null,\"ok\":false,\"error\":\"line 2: motor.status.current: 101 A is above its max 100 A\"}", said[1]);
    EXPECT_EQ(0u, said[2].find("velkctl: simulate: 2 messages for ")) << said[2];
    EXPECT_EQ(0u, said[3].find("  motor.state   sent ")) << said[3];
    EXPECT_NE(std::string::npos, said[4].find("motor.status  sent ")) << said[4];
}

TEST_F(Simulate, ACyclingSelectorTakesItsValuesInTurn)
{
    const std::string rig = WriteTempFile("[[message]]\ncode = \"30000405\"\nname = \"cyc\"\nperiod = \"20ms\"\n"
                                          "[[message.field]]\nname = \"page\"\nbyte = 0\ntype = \"u8\"\nmux = true\nmux_cycle = true\n"
                                          "[[message.field]]\nname = \"a\"\nbyte = 1\ntype = \"u8\"\nmux_value = 1\ninit = 11\n"
                                          "[[message.field]]\nname = \"b\"\nbyte = 1\ntype = \"u8\"\nmux_value = [2, 3]\ninit = 22\n");
    ASSERT_FALSE(rig.empty());
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor --jsonl --code 30000405 --count 9 --timeout 60 --signals \"" + rig + "\""));
    ASSERT_TRUE(WaitForClients(1));
    ChildProcess simulate;
    ASSERT_TRUE(simulate.Start("velkctl.exe", "simulate \"" + rig + "\" --duration 3s"));
    EXPECT_EQ(0, monitor.Wait(60000));
    EXPECT_EQ(0, simulate.Wait(30000));
    DeleteFileA(rig.c_str());

    // From the lowest value, each payload the next, back to 1 after 3; each
    // with its page's field at its init.
    const std::vector<std::string> lines = monitor.Lines();
    ASSERT_GE(lines.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        const std::string& line = lines[i];
        EXPECT_EQ(i % 3 + 1, static_cast<int>(Member(line, "cyc.page"))) << line;
        EXPECT_EQ(i % 3 == 0 ? 11 : -1, static_cast<int>(Member(line, "cyc.a"))) << line;
        EXPECT_EQ(i % 3 == 0 ? -1 : 22, static_cast<int>(Member(line, "cyc.b"))) << line;
    }
}

} // namespace
