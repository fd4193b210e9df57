// Ending the console: CLOSE only after a good exchange, the close box always,
// and the library told which window leaves while that window still exists.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

namespace {

void PressClose(ConsoleSession& console)
{
    console.Post(console.Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(console.Control(IDOK)));
    console.Flush();
}

} // namespace

TEST(Closing, ChannelOutOfRangeKeepsTheWindowThenAGoodOneClosesAndUnregisters)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    console.SetText(IDC_CHANNEL, L"256");
    PressClose(console);
    MessageBoxInfo box = console.WaitForMessageBox();
    ASSERT_NE(box.window, nullptr) << "no range prompt";
    EXPECT_NE(box.text.find(L"255"), std::wstring::npos) << "the prompt names the range";
    console.DismissMessageBox(box.window);

    EXPECT_FALSE(console.Ended());
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ(console.FocusedWindow(), console.Control(IDC_CHANNEL));
    DWORD start = 0, end = 0;
    console.Send(console.Control(IDC_CHANNEL), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 3u) << "the whole text is selected";
    EXPECT_TRUE(bus.CallsTo("vUnregister").empty());

    console.SetText(IDC_CHANNEL, L"255");
    PressClose(console);
    ASSERT_TRUE(console.WaitUntilEnded());
    EXPECT_TRUE(console.MessageBoxes().empty());

    std::vector<FakeCall> calls = bus.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_STREQ(calls.back().entry, "vUnregister");
    EXPECT_EQ(calls.back().window, reinterpret_cast<unsigned long long>(dlg));
    EXPECT_EQ(calls.back().windowAlive, 1) << "unregistered after the window was gone";
    EXPECT_EQ(bus.CallsTo("vUnregister").size(), 1u);
}

TEST(Closing, AnEmptyValuePromptsButTheCloseBoxClosesWithoutExchange)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    console.SetText(IDC_VALUE, L"");
    PressClose(console);
    MessageBoxInfo box = console.WaitForMessageBox();
    ASSERT_NE(box.window, nullptr) << "no invalid-number prompt";
    console.DismissMessageBox(box.window);
    EXPECT_FALSE(console.Ended());
    EXPECT_EQ(console.FocusedWindow(), console.Control(IDC_VALUE));

    console.Post(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(console.WaitUntilEnded());
    EXPECT_EQ(bus.CallsTo("vUnregister").size(), 1u);
}

TEST(EndSession, OnlyAnEndingSessionReleasesTheBindingAndTheWindowStays)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    EXPECT_EQ(console.Send(dlg, WM_QUERYENDSESSION, 0, 0), TRUE);

    console.Send(dlg, WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(bus.CallsTo("vUnregister").empty());
    EXPECT_TRUE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));

    console.Send(dlg, WM_ENDSESSION, TRUE, 0);
    std::vector<FakeCall> unregistrations = bus.CallsTo("vUnregister");
    ASSERT_EQ(unregistrations.size(), 1u);
    EXPECT_EQ(unregistrations[0].window, reinterpret_cast<unsigned long long>(dlg));
    EXPECT_FALSE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_FALSE(console.Ended());

    // Unbound: no more calls, the title keeps its last text.
    std::wstring title = console.Text(dlg);
    bus.ClearCalls();
    console.Click(IDC_CNT);
    console.Click(IDC_REFRESH);
    EXPECT_TRUE(bus.Calls().empty());
    EXPECT_EQ(console.Text(dlg), title);

    // The release at destruction finds nothing left to do.
    console.Post(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(console.WaitUntilEnded());
    EXPECT_TRUE(bus.Calls().empty());
}
