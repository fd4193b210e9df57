// Modify: the two variable edits, read as the console reads them, reach
// vSetPublicVar, and the panes are refreshed.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

TEST(Variables, ModifySetsTheVariableFromBothEditsThenRefreshes)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    struct Case { const wchar_t* index; const wchar_t* value; int setIndex; int setValue; };
    const Case cases[] = {
        { L"12", L"345", 12, 345 },
        { L"", L"7", 0, 7 },
        { L"  -3x", L"+42", -3, 42 },
        { L"9999999999999999999999999999999", L"-9999999999999999999999999999999", 2147483647, -2147483647 - 1 },
        // Only the first 31 characters are read.
        { L"00000000000000000000000000000005", L"1", 0, 1 },
    };
    for (const Case& c : cases) {
        console.SetText(IDC_VAR_INDEX, c.index);
        console.SetText(IDC_VAR_VALUE, c.value);
        bus.ClearCalls();
        console.Click(IDC_MODIFY);

        std::vector<FakeCall> calls = bus.Calls();
        ASSERT_EQ(EntryNames(calls),
                  (std::vector<std::string>{ "vSetPublicVar", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo" }));
        EXPECT_EQ(calls[0].number, c.setIndex);
        EXPECT_EQ(calls[0].value, c.setValue);
    }

    // Released: nothing is called at all.
    console.Send(dlg, WM_ENDSESSION, TRUE, 0);
    bus.ClearCalls();
    console.Click(IDC_MODIFY);
    EXPECT_TRUE(bus.Calls().empty());
}
