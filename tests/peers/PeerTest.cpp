// Consoles on the reference bus: the console of this process (the GUI
// harness), corvane.exe in another process, and velkctl.
#include "velk/VelkApi.h"
#include "tests/velk/BusTestSupport.h"
#include "tests/corvane/ConsoleHarness.h"
#include "velk/VelkLibrary.h"

#include <gtest/gtest.h>

#include <stdio.h>

namespace {

const DWORD kPeerWaitMs = 20000;

// The library keeps one information text per process: read it on the
// console's thread, never beside it.
std::vector<std::string> ClientLinesOf(ConsoleSession& console)
{
    return SplitLines(console.OnGui([] { return std::string(vGetInfo(kInfoHandles)); }));
}

bool WaitForClientCount(ConsoleSession& console, size_t count)
{
    for (DWORD waited = 0; waited < kPeerWaitMs; waited += 50) {
        if (ClientLinesOf(console).size() == count)
            return true;
        Sleep(50);
    }
    return false;
}

std::string HandleText(HWND window)
{
    char text[32];
    snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

bool Lists(const std::vector<std::string>& lines, HWND window)
{
    std::string prefix = HandleText(window) + " ";
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return true;
    }
    return false;
}

struct ProcessDialog { DWORD pid; HWND dialog; };

BOOL CALLBACK FindProcessDialog(HWND window, LPARAM param)
{
    ProcessDialog* wanted = reinterpret_cast<ProcessDialog*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t name[16] = L"";
    GetClassNameW(window, name, 16);
    if (pid == wanted->pid && wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
        wanted->dialog = window;
        return FALSE;
    }
    return TRUE;
}

// The main dialog of another corvane.exe, once it is shown.
HWND WaitForProcessDialog(DWORD pid)
{
    for (DWORD waited = 0; waited < kPeerWaitMs; waited += 50) {
        ProcessDialog found = { pid, nullptr };
        EnumWindows(FindProcessDialog, reinterpret_cast<LPARAM>(&found));
        if (found.dialog != nullptr)
            return found.dialog;
        Sleep(50);
    }
    return nullptr;
}

// Waits until the console has logged more than count lines; its newest line.
std::string WaitForLogLine(ConsoleSession& console, uint32_t count)
{
    for (DWORD waited = 0; waited < kPeerWaitMs; waited += 20) {
        std::string line = console.OnGui([&]() -> std::string {
            const LineRing& ring = console.DialogObject()->m_logView.Ring();
            if (ring.FirstLineNumber() + static_cast<uint32_t>(ring.WriteIndex()) <= count)
                return std::string();
            return ring.Row((ring.WriteIndex() + kLogRows - 1) % kLogRows);
        });
        if (!line.empty())
            return line;
        Sleep(20);
    }
    return std::string();
}

uint32_t LineCount(ConsoleSession& console)
{
    return console.OnGui([&] {
        const LineRing& ring = console.DialogObject()->m_logView.Ring();
        return ring.FirstLineNumber() + static_cast<uint32_t>(ring.WriteIndex());
    });
}

// A registered window whose thread stops pumping until released.
class HungClient {
public:
    HungClient()
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 10000);
    }
    ~HungClient()
    {
        SetEvent(release_);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(release_);
        CloseHandle(ready_);
    }
    HWND Window() const { return window_; }

private:
    static DWORD WINAPI Run(void* param)
    {
        HungClient* self = static_cast<HungClient*>(param);
        self->window_ = CreateWindowExW(0, L"STATIC", L"hung", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr);
        vRegister(self->window_, 0, "hung");
        SetEvent(self->ready_);
        WaitForSingleObject(self->release_, 60000);
        vUnregister(self->window_);
        DestroyWindow(self->window_);
        return 0;
    }

    HANDLE ready_;
    HANDLE release_;
    HANDLE thread_;
    HWND window_ = nullptr;
};

class PeerTest : public BusTest {};

} // namespace

TEST_F(PeerTest, SendSendStrAndSendArrReachAMonitorAsTheyWereSent)
{
    ConsoleSession console;
    ASSERT_NE(console.WaitForDialog(), nullptr);
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor 0xE00 --count 3 --timeout 60"));
    ASSERT_TRUE(WaitForClientCount(console, 2)) << "the monitor did not register";

    console.SetText(IDC_DIR, L"Write Value");
    console.SetText(IDC_TYPE, L"Depth");
    console.SetText(IDC_CHANNEL, L"5");
    console.SetText(IDC_VALUE, L"1234");
    console.SetText(IDC_STRING, L"hi\\tthere");
    console.SetText(IDC_ARRAY, L"01 a0 ff");
    console.Click(IDC_SEND);
    console.Click(IDC_SEND_STR);
    console.Click(IDC_SEND_ARR);

    ASSERT_EQ(monitor.Wait(30000), 0);
    std::vector<std::string> lines = monitor.Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(WithoutDelta(lines[0]), "20000805      1234");
    EXPECT_EQ(WithoutDelta(lines[1]), "30000205[  8] hi\\tthere");
    EXPECT_EQ(WithoutDelta(lines[2]), "30000405(  3)  01 A0 FF");
}

TEST_F(PeerTest, WhatAnotherConsoleOrVelkctlSendsAppearsInTheLog)
{
    ConsoleSession console;
    ASSERT_NE(console.WaitForDialog(), nullptr);
    console.Click(IDC_STR);
    console.Click(IDC_ARR);

    ChildProcess other;
    ASSERT_TRUE(other.Start("corvane.exe", ""));
    HWND otherDialog = WaitForProcessDialog(other.Pid());
    ASSERT_NE(otherDialog, nullptr);
    ASSERT_TRUE(WaitForClientCount(console, 2));

    // The other console's Send Str, pressed as its own button would.
    uint32_t before = LineCount(console);
    SendMessageW(GetDlgItem(otherDialog, IDC_STRING), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"from the other\\r"));
    PostMessageW(otherDialog, WM_COMMAND, MAKEWPARAM(IDC_SEND_STR, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(otherDialog, IDC_SEND_STR)));
    std::string line = WaitForLogLine(console, before);
    EXPECT_EQ(WithoutDelta(line), "30000200[ 15] from the other\\r");

    before = LineCount(console);
    ChildProcess velkctl;
    ASSERT_TRUE(velkctl.Start("velkctl.exe", "send-arr 3 \"01 02 fe\""));
    EXPECT_EQ(velkctl.Wait(30000), 0);
    line = WaitForLogLine(console, before);
    EXPECT_EQ(WithoutDelta(line), "30000403(  3)  01 02 FE");

    PostMessageW(otherDialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(other.Wait(30000), 0);
}

TEST_F(PeerTest, EndSessionReleasesTheOtherConsoleAndAHungWindowOnlyDelaysIt)
{
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);
    HungClient hung;   // listed before the other console, so it is waited for first

    ChildProcess other;
    ASSERT_TRUE(other.Start("corvane.exe", ""));
    HWND otherDialog = WaitForProcessDialog(other.Pid());
    ASSERT_NE(otherDialog, nullptr);
    ASSERT_TRUE(WaitForClientCount(console, 3));

    DWORD started = GetTickCount();
    console.Click(IDC_END_SESSION);
    DWORD took = GetTickCount() - started;
    EXPECT_LT(took, 8000u) << "the broadcast waited for the hung window";

    // The other console has left the bus; its window is still open.
    ChildProcess clients;
    ASSERT_TRUE(clients.Start("velkctl.exe", "clients"));
    ASSERT_EQ(clients.Wait(30000), 0);
    std::vector<std::string> listed = clients.Lines();
    EXPECT_FALSE(Lists(listed, otherDialog)) << "the other console is still registered";
    EXPECT_TRUE(Lists(listed, dlg)) << "the console ended its own session";
    EXPECT_TRUE(Lists(listed, hung.Window()));
    EXPECT_TRUE(IsWindow(otherDialog) && IsWindowVisible(otherDialog));
    EXPECT_EQ(other.Wait(0), -1) << "the other console ended";

    PostMessageW(otherDialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(other.Wait(30000), 0);
}
