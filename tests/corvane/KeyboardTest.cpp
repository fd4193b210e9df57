// Enter and Escape, and the About box from the system menu.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

namespace {

// Key-downs and characters that reach the channel edit, per key code.
WNDPROC g_channelProc = nullptr;
volatile LONG g_keyDowns[256];
volatile LONG g_chars[256];

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN && wParam < 256)
        InterlockedIncrement(&g_keyDowns[wParam]);
    if (message == WM_CHAR && wParam < 256)
        InterlockedIncrement(&g_chars[wParam]);
    return CallWindowProcW(g_channelProc, window, message, wParam, lParam);
}

HWND WaitForAbout(ConsoleSession& console)
{
    for (int i = 0; i < 500; ++i) {
        std::vector<HWND> others = console.OtherDialogs();
        if (!others.empty())
            return others.front();
        Sleep(10);
    }
    return nullptr;
}

void CloseAbout(ConsoleSession& console, HWND about)
{
    console.Post(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    console.Flush();
    for (int i = 0; i < 500 && IsWindow(about); ++i)
        Sleep(10);
    EXPECT_FALSE(IsWindow(about)) << "the About box did not close";
}

} // namespace

TEST(KeyFilter, EnterAndEscapeCloseNeitherDialogNorReachAControl)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    // The default button CLOSE would end the dialog, the hidden Cancel too.
    HWND dirEdit = GetWindow(console.Control(IDC_DIR), GW_CHILD);
    for (HWND target : { console.Control(IDC_CHANNEL), dirEdit, console.Control(IDOK), console.Control(IDC_SEND), dlg }) {
        console.PressKey(target, VK_RETURN);
        console.PressKey(target, VK_ESCAPE);
    }
    // No control sees them; other keys still reach it.
    HWND channel = console.Control(IDC_CHANNEL);
    console.RunOnGui([&] {
        g_channelProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(channel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    });
    console.Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(channel), TRUE);
    console.PressKey(channel, VK_RETURN);
    console.PressKey(channel, VK_ESCAPE);
    console.PressKey(channel, '7');
    console.RunOnGui([&] { SetWindowLongPtrW(channel, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_channelProc)); });
    EXPECT_EQ(g_keyDowns[VK_RETURN] + g_chars['\r'], 0);
    EXPECT_EQ(g_keyDowns[VK_ESCAPE] + g_chars[0x1B], 0);
    EXPECT_EQ(g_keyDowns['7'], 1);

    EXPECT_FALSE(console.Ended());
    EXPECT_TRUE(console.MessageBoxes().empty());
    EXPECT_TRUE(bus.CallsTo("vUnregister").empty());

    // Other keys still work: Tab moves the focus on through the dialog.
    console.Send(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(console.Control(IDOK)), TRUE);
    console.PressKey(console.Control(IDOK), VK_TAB);
    EXPECT_NE(console.FocusedWindow(), console.Control(IDOK));

    // The About box ignores them too.
    console.Post(dlg, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = WaitForAbout(console);
    ASSERT_NE(about, nullptr);
    console.PressKey(GetDlgItem(about, IDOK), VK_RETURN);
    console.PressKey(GetDlgItem(about, IDOK), VK_ESCAPE);
    console.PressKey(about, VK_ESCAPE);
    EXPECT_TRUE(IsWindowVisible(about));
    CloseAbout(console, about);
    EXPECT_FALSE(console.Ended());
}

TEST(SystemMenu, AboutItemAndTheCommandsThatOpenTheAboutBox)
{
    FakeBus bus;
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    // A separator, then the item, at the end of the system menu.
    HMENU menu = GetSystemMenu(dlg, FALSE);
    ASSERT_NE(menu, nullptr);
    int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), 0x0010u);
    wchar_t text[64] = L"";
    GetMenuStringW(menu, static_cast<UINT>(count - 1), text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"关于 corvane(&A)...");
    MENUITEMINFOW separator;
    ZeroMemory(&separator, sizeof separator);
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

    for (WPARAM command : { 0x0010, 0x0015, 0x001F }) {
        console.Post(dlg, WM_SYSCOMMAND, command, 0);
        HWND about = WaitForAbout(console);
        ASSERT_NE(about, nullptr) << "command " << command;
        EXPECT_EQ(console.Text(about), L"关于 corvane");
        EXPECT_FALSE(IsWindowEnabled(dlg)) << "the About box is modal";

        // Centred over the main dialog.
        RECT outer, inner;
        GetWindowRect(dlg, &outer);
        GetWindowRect(about, &inner);
        EXPECT_NEAR((inner.left + inner.right) / 2, (outer.left + outer.right) / 2, 1);
        EXPECT_NEAR((inner.top + inner.bottom) / 2, (outer.top + outer.bottom) / 2, 1);

        CloseAbout(console, about);
        EXPECT_TRUE(IsWindowEnabled(dlg));
    }

    console.Post(dlg, WM_SYSCOMMAND, 0x0020, 0);
    console.Flush();
    Sleep(200);
    EXPECT_TRUE(console.OtherDialogs().empty()) << "0x0020 opened the About box";
    EXPECT_FALSE(console.Ended());
}
