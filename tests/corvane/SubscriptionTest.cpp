// The subscription: every check box re-registers with the mask of all nine.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

TEST(Subscription, EveryClickReRegistersWithTheWholeMaskThenRefreshes)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    struct Box { int id; UINT bit; };
    const Box boxes[] = {
        { IDC_DEP, 0x00000800 }, { IDC_ADC, 0x00001000 }, { IDC_WTC, 0x00002000 },
        { IDC_CNT, 0x00008000 }, { IDC_TMR, 0x00004000 }, { IDC_STR, 0x00000200 },
        { IDC_ARR, 0x00000400 }, { IDC_CTL, 0x00800000 }, { IDC_ABS, 0x00000100 },
    };
    UINT mask = 0;
    for (const Box& box : boxes) {
        bus.ClearCalls();
        console.Click(box.id);
        mask |= box.bit;
        std::vector<FakeCall> calls = bus.Calls();
        ASSERT_EQ(EntryNames(calls),
                  (std::vector<std::string>{ "vRegister", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo" }))
            << "box " << box.id;
        EXPECT_EQ(calls[0].word, mask) << "box " << box.id;
        EXPECT_EQ(calls[0].window, reinterpret_cast<unsigned long long>(dlg));
        EXPECT_STREQ(calls[0].text, "test");
    }
    EXPECT_EQ(mask, 0x0080FF00u);

    // Unticking takes the bit away again.
    bus.ClearCalls();
    console.Click(IDC_WTC);
    ASSERT_FALSE(bus.CallsTo("vRegister").empty());
    EXPECT_EQ(bus.CallsTo("vRegister")[0].word, mask & ~0x00002000u);
    EXPECT_TRUE(bus.CallsTo("vUnregister").empty()) << "re-registration never unregisters first";
}

TEST(Subscription, ExchangeStopsAtABadChannelSoTheClickedBoxIsNotCountedYet)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    console.Click(IDC_DEP);   // a good exchange: DEP counted
    console.SetText(IDC_CHANNEL, L"300");
    console.SetText(IDC_VALUE, L"77");
    console.SetText(IDC_DIR, L"Sideways");
    bus.ClearCalls();
    console.Click(IDC_ADC);

    MessageBoxInfo box = console.WaitForMessageBox();
    ASSERT_NE(box.window, nullptr);
    EXPECT_NE(box.text.find(L"0"), std::wstring::npos);
    EXPECT_NE(box.text.find(L"255"), std::wstring::npos);
    console.DismissMessageBox(box.window);

    // Registered with the flags of the previous exchange: DEP only.
    std::vector<FakeCall> registrations = bus.CallsTo("vRegister");
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].word, 0x00000800u);
    // The channel holds what was read; everything after it its old value.
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_nChannel; }), 300u);
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_nValue; }), 0u);
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_strDir.str(); }), "Read Value");
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_bAdc; }), 0);
    EXPECT_EQ(console.FocusedWindow(), console.Control(IDC_CHANNEL));

    // Once the channel is good, the next click counts everything, and a typed
    // DIR text that is no list item becomes the field.
    console.SetText(IDC_CHANNEL, L"12");
    bus.ClearCalls();
    console.Click(IDC_TMR);
    EXPECT_TRUE(console.MessageBoxes().empty());
    registrations = bus.CallsTo("vRegister");
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].word, 0x00000800u | 0x00001000u | 0x00004000u);
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_nValue; }), 77u);
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_strDir.str(); }), "Sideways");
}

TEST(Subscription, RefreshRereadsTheTextsInOrder)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    bus.SetInfo(127, "3.0");
    bus.SetInfo(129, "2c 0 test 7\r\n");
    bus.ClearCalls();
    console.Click(IDC_REFRESH);

    std::vector<FakeCall> calls = bus.Calls();
    ASSERT_EQ(EntryNames(calls), (std::vector<std::string>{ "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo" }));
    for (size_t i = 0; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].number, 127 + static_cast<int>(i));
    EXPECT_EQ(console.Text(dlg), L"VELK(3.0) Build(Apr 2 2024) VTOOL(v1.0-7-gc94d415) Build(2024-04-20)");
    EXPECT_EQ(console.Text(console.Control(IDC_HANDLEINFO)), L"2c 0 test 7\r\n");
}
