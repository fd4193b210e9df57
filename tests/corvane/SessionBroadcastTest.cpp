// END_SESSION: every listed window but the console's own is sent
// WM_ENDSESSION(TRUE, 0), in list order, and one that does not answer holds
// the console up only for the bounded wait.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

#include <stdio.h>

namespace {

// Windows on a thread of their own that note every WM_ENDSESSION they get.
// With hung set the thread stops pumping once its window exists.
class PeerWindows {
public:
    PeerWindows(int count, bool hung) : count_(count), hung_(hung)
    {
        InitializeCriticalSection(&lock_);
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        release_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 10000);
    }
    ~PeerWindows()
    {
        SetEvent(release_);
        for (HWND window : windows_)
            PostMessageW(window, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(release_);
        CloseHandle(ready_);
        DeleteCriticalSection(&lock_);
    }

    HWND Window(int i) const { return windows_[static_cast<size_t>(i)]; }
    // Every WM_ENDSESSION received so far: the window, wParam and lParam.
    std::vector<std::string> Received()
    {
        EnterCriticalSection(&lock_);
        std::vector<std::string> copy = received_;
        LeaveCriticalSection(&lock_);
        return copy;
    }
    std::string Note(int i, WPARAM wParam, LPARAM lParam) const
    {
        char text[64];
        snprintf(text, sizeof text, "%d %d %d", i, static_cast<int>(wParam), static_cast<int>(lParam));
        return text;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        PeerWindows* self = reinterpret_cast<PeerWindows*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_ENDSESSION && self != nullptr) {
            for (int i = 0; i < self->count_; ++i) {
                if (self->windows_[static_cast<size_t>(i)] == window) {
                    EnterCriticalSection(&self->lock_);
                    self->received_.push_back(self->Note(i, wParam, lParam));
                    LeaveCriticalSection(&self->lock_);
                }
            }
            return 0;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    static DWORD WINAPI Run(void* param)
    {
        PeerWindows* self = static_cast<PeerWindows*>(param);
        WNDCLASSW peerClass;
        ZeroMemory(&peerClass, sizeof peerClass);
        peerClass.lpfnWndProc = Proc;
        peerClass.hInstance = GetModuleHandleW(nullptr);
        peerClass.lpszClassName = L"CorvaneTestPeer";
        RegisterClassW(&peerClass);   // already there from an earlier test is fine
        for (int i = 0; i < self->count_; ++i) {
            HWND window = CreateWindowExW(0, L"CorvaneTestPeer", L"peer", WS_OVERLAPPED, 0, 0, 10, 10,
                                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            self->windows_.push_back(window);
        }
        SetEvent(self->ready_);
        if (self->hung_) {
            WaitForSingleObject(self->release_, 60000);   // not answering anything meanwhile
        }
        MSG message;
        int alive = self->count_;
        while (alive > 0 && GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_CLOSE)
                --alive;
            DispatchMessageW(&message);
        }
        return 0;
    }

    int count_;
    bool hung_;
    CRITICAL_SECTION lock_;
    HANDLE ready_;
    HANDLE release_;
    HANDLE thread_;
    std::vector<HWND> windows_;
    std::vector<std::string> received_;
};

// A selector-129 line: the handle in bare hex, then mask, name and process.
std::string ListLine(HWND window)
{
    char line[64];
    snprintf(line, sizeof line, "%llx 800 test 1\r\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return line;
}

} // namespace

TEST(SessionBroadcast, EveryListedWindowButTheOwnInOrderThenRefresh)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);
    PeerWindows peers(3, false);

    // Window 0 twice, the console itself, a 0 and a line of no hex, no final newline.
    std::string list = ListLine(peers.Window(0)) + ListLine(dlg) + ListLine(peers.Window(1)) + "0 0 x 1\r\n" +
                       "zz\r\n" + ListLine(peers.Window(0)) + ListLine(peers.Window(2));
    list.resize(list.size() - 2);
    bus.SetInfo(129, list.c_str());
    bus.ClearCalls();
    console.Click(IDC_END_SESSION);

    EXPECT_EQ(peers.Received(), (std::vector<std::string>{ peers.Note(0, 1, 0), peers.Note(1, 1, 0),
                                                           peers.Note(0, 1, 0), peers.Note(2, 1, 0) }));
    std::vector<FakeCall> calls = bus.Calls();
    ASSERT_EQ(EntryNames(calls), (std::vector<std::string>{ "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo",
                                                            "vGetInfo", "vGetInfo" }));
    EXPECT_EQ(calls[0].number, 129);
    EXPECT_EQ(calls[1].number, 127) << "no refresh after the broadcast";
    // The console did not end its own session.
    EXPECT_TRUE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));

    // Only its own handle, or nothing listed: nothing sent, still refreshed.
    const char* const quiet[] = { "", "\r\n", nullptr };
    std::string own = ListLine(dlg);
    for (const char* text : quiet) {
        bus.SetInfo(129, text != nullptr ? text : own.c_str());
        bus.ClearCalls();
        console.Click(IDC_END_SESSION);
        EXPECT_EQ(peers.Received().size(), 4u);
        EXPECT_EQ(bus.Calls().size(), 6u);
    }
}

TEST(SessionBroadcast, AWindowThatDoesNotAnswerCostsOnlyTheBoundedWait)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);
    PeerWindows hung(1, true);
    PeerWindows answering(1, false);

    bus.SetInfo(129, (ListLine(hung.Window(0)) + ListLine(answering.Window(0))).c_str());
    DWORD started = GetTickCount();
    console.Click(IDC_END_SESSION);   // returns once the handler has
    DWORD took = GetTickCount() - started;

    EXPECT_LT(took, 8000u) << "the broadcast waited for the hung window";
    EXPECT_EQ(answering.Received(), std::vector<std::string>{ answering.Note(0, 1, 0) });
    EXPECT_TRUE(hung.Received().empty());
    // The console answers again.
    EXPECT_TRUE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));
}

TEST(SessionBroadcast, NothingWithoutTheLibrary)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);
    PeerWindows peers(1, false);
    bus.SetInfo(129, ListLine(peers.Window(0)).c_str());

    console.Send(dlg, WM_ENDSESSION, TRUE, 0);
    bus.ClearCalls();
    console.Click(IDC_END_SESSION);
    EXPECT_TRUE(peers.Received().empty());
    EXPECT_TRUE(bus.Calls().empty());
}
