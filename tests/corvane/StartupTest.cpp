// Start-up: binding the bus library or saying why not, and what the window
// shows afterwards.
#include "tests/corvane/ConsoleHarness.h"
#include "tests/corvane/FakeBus.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kTemplateCaption[] = L"VELK Test Dialog(Version 2.0)";

std::vector<std::string> RefreshCalls()
{
    return { "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo", "vGetInfo" };
}

std::vector<std::wstring> ComboItems(HWND combo)
{
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[64] = L"";
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

RECT WindowRect(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

// The one "load dll error!" box, answered; then the dialog.
HWND DialogAfterLoadError(ConsoleSession& console)
{
    MessageBoxInfo box = console.WaitForMessageBox();
    EXPECT_NE(box.window, nullptr) << "no message box";
    EXPECT_EQ(box.text, L"load dll error!");
    EXPECT_EQ(box.caption, L"corvane_gui_tests");   // the program's file name
    if (box.window != nullptr)
        console.DismissMessageBox(box.window);
    return console.WaitForDialog();
}

} // namespace

TEST(Startup, WithoutLibraryOneErrorBoxAndTheTemplateTexts)
{
    DeleteFileW(InstalledLibraryPath().c_str());
    ConsoleSession console;

    HWND dlg = DialogAfterLoadError(console);
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(console.MessageBoxes().empty()) << "a second message box";
    EXPECT_FALSE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));

    // Refresh, the check boxes and the session end change nothing visible.
    console.Click(IDC_REFRESH);
    console.Click(IDC_ABS);
    console.Send(dlg, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(console.MessageBoxes().empty());
    EXPECT_EQ(console.Text(dlg), kTemplateCaption);
    EXPECT_EQ(console.Text(console.Control(IDC_HANDLEINFO)), L"HandleInfo");
    EXPECT_EQ(console.Text(console.Control(IDC_VARINFO)), L"Varinfo");
    EXPECT_EQ(console.Text(console.Control(IDC_INFO)), L"");
    EXPECT_EQ(console.OnGui([&] { return console.DialogObject()->m_bAbs; }), 1);

    console.Post(dlg, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(console.WaitUntilEnded());
}

TEST(Startup, AVelkDllInTheWorkingFolderOrOnThePathIsNeverLoaded)
{
    DeleteFileW(InstalledLibraryPath().c_str());
    wchar_t temp[MAX_PATH], saved[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring planted = std::wstring(temp) + L"corvane-planted-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(planted.c_str(), nullptr);
    const std::wstring plantedLibrary = planted + L"\\velk.dll";
    ASSERT_TRUE(CopyFileW(FakeLibraryPath(L"recording").c_str(), plantedLibrary.c_str(), FALSE));
    GetCurrentDirectoryW(MAX_PATH, saved);
    std::vector<wchar_t> path(32767, L'\0');
    GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size()));
    const std::wstring oldPath = path.data();
    SetEnvironmentVariableW(L"PATH", (planted + L";" + oldPath).c_str());
    SetCurrentDirectoryW(planted.c_str());
    {
        ConsoleSession console;
        HWND dlg = DialogAfterLoadError(console);
        ASSERT_NE(dlg, nullptr);
        EXPECT_FALSE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));
        EXPECT_EQ(nullptr, GetModuleHandleW(plantedLibrary.c_str()));
        console.Post(dlg, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(console.WaitUntilEnded());
    }
    SetCurrentDirectoryW(saved);
    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    DeleteFileW(plantedLibrary.c_str());
    RemoveDirectoryW(planted.c_str());
}

TEST(Startup, WithLibraryRegistersShowsTheFieldsAndFillsTitleAndPanes)
{
    FakeBus bus;
    bus.SetInfo(127, "2.1");
    bus.SetInfo(128, "Apr 2 2024");
    bus.SetInfo(129, "1a2b 800 test 42\r\n");
    bus.SetInfo(130, "0 = 7");
    bus.SetInfo(131, "clients 1\r\nposted 0");
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr) << "a message box blocked the start";

    // Bound, registered with mask 0 as "test", then the status read twice:
    // once after the registration, once at the end of initialisation.
    std::vector<std::string> expected = { "vRegister" };
    for (int refresh = 0; refresh < 2; ++refresh) {
        for (const std::string& name : RefreshCalls())
            expected.push_back(name);
    }
    std::vector<FakeCall> calls = bus.Calls();
    EXPECT_EQ(EntryNames(calls), expected);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].window, reinterpret_cast<unsigned long long>(dlg));
    EXPECT_EQ(calls[0].word, 0u);
    EXPECT_STREQ(calls[0].text, "test");
    for (size_t i = 1; i < calls.size(); ++i)
        EXPECT_EQ(calls[i].number, 127 + static_cast<int>((i - 1) % 5)) << "call " << i;

    EXPECT_EQ(console.Text(dlg), L"VELK(2.1) Build(Apr 2 2024) VTOOL(v1.0-7-gc94d415) Build(2024-04-20)");
    EXPECT_EQ(console.Text(console.Control(IDC_HANDLEINFO)), L"1a2b 800 test 42\r\n");
    EXPECT_EQ(console.Text(console.Control(IDC_VARINFO)), L"0 = 7");
    EXPECT_EQ(console.Text(console.Control(IDC_INFO)), L"clients 1\r\nposted 0");

    // The fields as the first exchange shows them.
    EXPECT_EQ(console.Text(console.Control(IDC_CHANNEL)), L"0");
    EXPECT_EQ(console.Text(console.Control(IDC_VALUE)), L"0");
    EXPECT_EQ(console.Text(console.Control(IDC_DIR)), L"Read Value");
    EXPECT_EQ(SendMessageW(console.Control(IDC_DIR), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(console.Text(console.Control(IDC_TYPE)), L"Depth");
    EXPECT_EQ(SendMessageW(console.Control(IDC_TYPE), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(console.Text(console.Control(IDC_STRING)).rfind(L"Welcome to ", 0), 0u);
    EXPECT_EQ(console.Text(console.Control(IDC_ARRAY)), L"01 05 09 00 02 09 00 00 01 03 03");
    for (int box : { IDC_DEP, IDC_ADC, IDC_WTC, IDC_CNT, IDC_TMR, IDC_STR, IDC_ARR, IDC_CTL, IDC_ABS })
        EXPECT_EQ(SendMessageW(console.Control(box), BM_GETCHECK, 0, 0), BST_UNCHECKED) << box;
    EXPECT_EQ(ComboItems(console.Control(IDC_DIR)),
              (std::vector<std::wstring>{ L"Read Value", L"Write Value", L"Read Para", L"Write Para" }));
    EXPECT_EQ(ComboItems(console.Control(IDC_TYPE)),
              (std::vector<std::wstring>{ L"Depth", L"A/D", L"Timer", L"Counter", L"WTC", L"ABS",
                                          L"CONTROL", L"String", L"Array" }));

    // The wrappers are attached: the log view and the panes are ours now.
    EXPECT_TRUE(console.OnGui([&] {
        CCorvaneDlg* d = console.DialogObject();
        return d->m_logView.m_hWnd == console.Control(IDC_LOG) &&
               d->m_handlesPane.m_hWnd == console.Control(IDC_HANDLEINFO) &&
               d->m_varsPane.m_hWnd == console.Control(IDC_VARINFO) &&
               d->m_varIndexEdit.m_hWnd == console.Control(IDC_VAR_INDEX) &&
               d->m_varValueEdit.m_hWnd == console.Control(IDC_VAR_VALUE) &&
               d->m_infoEdit.m_hWnd == console.Control(IDC_INFO);
    }));

    EXPECT_EQ(console.FocusedWindow(), console.Control(IDOK));

    // The icon: big, small and the drag icon are the same.
    HICON big = reinterpret_cast<HICON>(console.Send(dlg, WM_GETICON, ICON_BIG, 0));
    EXPECT_NE(big, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(console.Send(dlg, WM_GETICON, ICON_SMALL, 0)), big);
    EXPECT_EQ(reinterpret_cast<HICON>(console.Send(dlg, WM_QUERYDRAGICON, 0, 0)), big);

    // Centred on the work area (or pinned to its top left when larger).
    RECT area;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT rect = WindowRect(dlg);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    int expectedLeft = width >= area.right - area.left ? area.left : area.left + (area.right - area.left - width) / 2;
    int expectedTop = height >= area.bottom - area.top ? area.top : area.top + (area.bottom - area.top - height) / 2;
    EXPECT_NEAR(rect.left, expectedLeft, 1);
    EXPECT_NEAR(rect.top, expectedTop, 1);

    EXPECT_TRUE(console.MessageBoxes().empty());
    EXPECT_TRUE(bus.CallsTo("vGetPublicVar").empty());
}

TEST(Startup, NullInformationTextsShowEmpty)
{
    FakeBus bus;
    bus.SetInfo(127, nullptr);
    bus.SetInfo(128, "b");
    bus.SetInfo(129, nullptr);
    bus.SetInfo(130, nullptr);
    bus.SetInfo(131, nullptr);
    ConsoleSession console;
    HWND dlg = console.WaitForDialog();
    ASSERT_NE(dlg, nullptr);

    EXPECT_EQ(console.Text(dlg), L"VELK() Build(b) VTOOL(v1.0-7-gc94d415) Build(2024-04-20)");
    EXPECT_EQ(console.Text(console.Control(IDC_HANDLEINFO)), L"");
    EXPECT_EQ(console.Text(console.Control(IDC_VARINFO)), L"");
    EXPECT_EQ(console.Text(console.Control(IDC_INFO)), L"");
}

TEST(Startup, LibraryWithoutGetPublicVarIsRejected)
{
    FakeBus bus(BusVariant::WithoutGetPublicVar);
    ConsoleSession console;
    HWND dlg = DialogAfterLoadError(console);
    ASSERT_NE(dlg, nullptr);

    // Never registered; freed through the release, which still says goodbye
    // because vUnregister was found.
    EXPECT_EQ(EntryNames(bus.Calls()), (std::vector<std::string>{ "vUnregister" }));
    EXPECT_EQ(console.Text(dlg), kTemplateCaption);
    EXPECT_FALSE(console.OnGui([&] { return console.DialogObject()->IsBusBound(); }));

    console.Click(IDC_DEP);
    EXPECT_TRUE(bus.CallsTo("vRegister").empty());
}

TEST(Startup, LibraryPlantedInTheWorkingFolderIsNotLoaded)
{
    DeleteFileW(InstalledLibraryPath().c_str());
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"corvane-planted";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring planted = folder + L"\\velk.dll";
    ASSERT_TRUE(CopyFileW(FakeLibraryPath(L"recording").c_str(), planted.c_str(), FALSE));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));

    {
        ConsoleSession console;
        HWND dlg = DialogAfterLoadError(console);
        EXPECT_NE(dlg, nullptr);
        EXPECT_EQ(GetModuleHandleW(L"velk.dll"), nullptr);
    }

    SetCurrentDirectoryW(previous);
    DeleteFileW(planted.c_str());
    RemoveDirectoryW(folder.c_str());
}
