// velkpanel's window in-process under Wine, on a bus of its own, its
// controls driven by window messages while velkctl monitor shows what
// reached the bus: the automatic panel of the example rig, and the worked
// panel file.
#include <stdint.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "client/ExitStatus.h"
#include "tests/velk/BusTestSupport.h"
#include "velk/VelkLibrary.h"
#include "velkpanel/PanelDlg.h"
#include "velkpanel/resource.h"

namespace {

const std::string kRig = std::string(" --signals \"") + CORVANE_SIGNALS_EXAMPLE + "\"";

// The library the test links, as the panel's binding: one library in the
// process, on the bus BusTest chose.
BusBinding TestableBinding()
{
    BusBinding bus;
    EXPECT_TRUE(BindEntryPoints(GetModuleHandleA("velk_testable.dll"), &bus));
    return bus;
}

std::wstring Wide(const char* text)
{
    return std::wstring(text, text + strlen(text));
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = L"";
    GetWindowTextW(window, text, 256);
    return text;
}

class PanelWine : public BusTest {
protected:
    void TearDown() override
    {
        panel_.reset();
        BusTest::TearDown();
    }

    // Every message of this thread for a while, the panel's bus messages too.
    static void Pump(DWORD ms)
    {
        const DWORD start = GetTickCount();
        do {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        } while (GetTickCount() - start < ms);
    }

    void Open(bool panelFile)
    {
        bus_ = TestableBinding();
        panel_.reset(new CPanelDlg(bus_));
        std::vector<std::string> errors;
        const int opened = panelFile ? panel_->OpenPanel(Wide(CORVANE_PANEL_EXAMPLE), std::wstring(), &errors)
                                     : panel_->OpenSignals(Wide(CORVANE_SIGNALS_EXAMPLE), &errors);
        ASSERT_EQ(kExitOk, opened) << (errors.empty() ? "" : errors[0]);
        std::wstring failure;
        ASSERT_TRUE(panel_->Start(&failure));
        GetWindowRect(panel_->m_hWnd, &firstSize_);
        SetWindowPos(panel_->m_hWnd, nullptr, 0, 0, 1200, 800, SWP_NOZORDER | SWP_NOMOVE);
        Pump(100);
    }

    HWND Control(size_t widget, WidgetPart part) { return panel_->View()->Control(widget, part); }

    void Enter(HWND edit, const wchar_t* text)
    {
        SetWindowTextW(edit, text);
        ::SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
        ::SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    }

    void Key(HWND control, WPARAM key)
    {
        ::SendMessageW(control, WM_KEYDOWN, key, 0);
        ::SendMessageW(control, WM_KEYUP, key, 0);
    }

    BusBinding bus_;
    std::unique_ptr<CPanelDlg> panel_;
    RECT firstSize_ = {};   // the window as the panel made it
};

bool HasAll(const std::string& line, std::initializer_list<const char*> parts)
{
    for (const char* part : parts) {
        if (line.find(part) == std::string::npos)
            return false;
    }
    return true;
}

TEST_F(PanelWine, TheExampleRigsAutomaticPanelSendsWhatItsSignalFileMeans)
{
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor --jsonl --count 7 --timeout 60" + kRig));
    ASSERT_TRUE(WaitForClients(1));
    Open(false);
    ASSERT_TRUE(WaitForClients(2));

    // Beyond max: refused, said, nothing posted.
    HWND speedEdit = Control(0, kPartEdit), speed = Control(0, kPartControl);
    Enter(speedEdit, L"3000.25");
    EXPECT_NE(std::wstring::npos, panel_->Note().find(L"motor.speed: 3000.25 rpm is above its max 3000 rpm"))
        << std::string(panel_->Note().begin(), panel_->Note().end());
    EXPECT_EQ(0u, panel_->Sent());
    // The slider by its keys, one raw count a step; a typed value rounded
    // to the nearest count; an enum by its drop-down; a field by its toggle.
    Key(speed, VK_END);
    Key(speed, VK_LEFT);
    EXPECT_EQ(L"2999.75", TextOf(speedEdit));
    Enter(speedEdit, L"148.3");
    EXPECT_EQ(593, ::SendMessageW(speed, TBM_GETPOS, 0, 0));
    HWND state = Control(1, kPartControl);
    ::SendMessageW(state, CB_SETCURSEL, 2, 0);
    ::SendMessageW(GetParent(state), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(state), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(state));
    ::SendMessageW(Control(6, kPartControl), BM_CLICK, 0, 0);
    EXPECT_EQ(L"open", TextOf(Control(6, kPartControl)));
    // The guarded status twice: its init current, the counter counting, the
    // crc over both; its counter and crc are read-outs, not controls.
    EXPECT_EQ(nullptr, Control(3, kPartControl));
    EXPECT_EQ(nullptr, Control(4, kPartEdit));
    ::SendMessageW(panel_->View()->GroupControl(2, kPartSend), BM_CLICK, 0, 0);
    ::SendMessageW(panel_->View()->GroupControl(2, kPartSend), BM_CLICK, 0, 0);
    panel_->Refresh(true);
    EXPECT_EQ(L"2", panel_->View()->ReadOut(3));
    ASSERT_EQ(0, monitor.Wait(30000));
    std::vector<std::string> lines = monitor.Lines();
    ASSERT_EQ(7u, lines.size());
    EXPECT_TRUE(HasAll(lines[0], { "\"code\":\"20001001\"", "\"value\":12000,", "\"motor.speed\":3000}" })) << lines[0];
    EXPECT_TRUE(HasAll(lines[1], { "\"value\":11999,", "\"motor.speed\":2999.75" })) << lines[1];
    EXPECT_TRUE(HasAll(lines[2], { "\"value\":593,", "\"motor.speed\":148.25" })) << lines[2];
    EXPECT_TRUE(HasAll(lines[3], { "\"code\":\"20001002\"", "\"value\":2,", "\"RUNNING\"" })) << lines[3];
    EXPECT_TRUE(HasAll(lines[4], { "\"code\":\"30000401\"", "\"bytes\":\"1000000000\"", "\"pump.status.valve\":{\"name\":\"open\"" }))
        << lines[4];
    for (int sent = 0; sent < 2; ++sent) {
        const std::string& line = lines[5 + static_cast<size_t>(sent)];
        EXPECT_TRUE(HasAll(line, { "\"code\":\"30000403\"", "\"motor.status.current\":0.4",
                                   sent == 0 ? "\"motor.status.alive\":0," : "\"motor.status.alive\":1," })) << line;
        EXPECT_EQ(std::string::npos, line.find("faults")) << line;
    }

    // Received: the indicator shows it, beyond max said so.
    ASSERT_GE(vPostData(window_, 0x20001001, 12004, 4), 1);
    ASSERT_GE(vPostData(window_, 0x30000401, reinterpret_cast<LPARAM>("\x02\xff\x0f\x00\xf1"), 5), 1);
    Pump(300);
    EXPECT_EQ(L"3001 rpm (above max 3000 rpm)", panel_->View()->Indicator(0));
    EXPECT_EQ(L"-0.1 degC", panel_->View()->Indicator(7));
    EXPECT_EQ(L"148.25", TextOf(speedEdit));                       // what is sent stays as set
    EXPECT_EQ(L"auto", panel_->View()->Indicator(5));
    EXPECT_EQ(L"auto", TextOf(Control(5, kPartControl)));          // a field not set follows what came
    EXPECT_EQ(L"-0.1", TextOf(Control(7, kPartEdit)));             // told as it comes into place

    // Cyclic: the state every 50 ms until switched off.
    ChildProcess cyclic;
    ASSERT_TRUE(cyclic.Start("velkctl.exe", "monitor --code 20001002 --count 3 --timeout 30"));
    ASSERT_TRUE(WaitForClients(2));   // the first monitor is gone
    SetWindowTextW(panel_->View()->GroupControl(1, kPartPeriod), L"50ms");
    ::SendMessageW(panel_->View()->GroupControl(1, kPartCyclic), BM_CLICK, 0, 0);
    EXPECT_EQ(0, cyclic.Wait(30000));
    ::SendMessageW(panel_->View()->GroupControl(1, kPartCyclic), BM_CLICK, 0, 0);
    EXPECT_FALSE(panel_->Model()->Cyclic().Running(1));
}

TEST_F(PanelWine, EveryControlIsReachedByTabAndTheGroupsFlowWithTheWidth)
{
    Open(false);
    // The controls Tab should visit: every visible tab stop of the page.
    std::set<HWND> stops;
    HWND page = panel_->View()->Page(0)->m_hWnd;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetWindowLongW(child, GWL_STYLE) & (WS_TABSTOP | WS_VISIBLE)) == (WS_TABSTOP | WS_VISIBLE))
            stops.insert(child);
    }
    EXPECT_EQ(11u + 6u * 3u, stops.size());   // two sliders' trackbars and edits, seven more; Send, Cyclic, period
    std::set<HWND> visited;
    std::vector<HWND> sequence;
    HWND at = GetNextDlgTabItem(panel_->m_hWnd, nullptr, FALSE);
    for (int step = 0; step < 100 && at != nullptr && visited.insert(at).second; ++step) {
        sequence.push_back(at);
        at = GetNextDlgTabItem(panel_->m_hWnd, at, FALSE);
    }
    EXPECT_EQ(stops, visited);
    // Box by box down each column on screen (the file's order fills the
    // shortest column): each box's Send after those above it and left of it.
    std::vector<std::pair<std::pair<LONG, LONG>, size_t>> boxes;   // (left, top), Send's turn
    for (int box = 0;; ++box) {
        HWND send = GetDlgItem(page, IDC_FIRST_GROUP + box * kGroupIds + kPartSend);
        if (send == nullptr)
            break;
        const RECT drawn = panel_->View()->BoxRect(static_cast<size_t>(box));
        boxes.push_back({ { drawn.left, drawn.top },
                          static_cast<size_t>(std::find(sequence.begin(), sequence.end(), send) - sequence.begin()) });
    }
    ASSERT_EQ(6u, boxes.size());
    std::sort(boxes.begin(), boxes.end());
    for (size_t i = 1; i < boxes.size(); ++i)
        EXPECT_LT(boxes[i - 1].second, boxes[i].second) << i;
    // A message without a period (rig.text) starts with an empty period box.
    EXPECT_EQ(L"100ms", TextOf(GetDlgItem(page, IDC_FIRST_GROUP + kPartPeriod)));
    EXPECT_EQ(L"", TextOf(GetDlgItem(page, IDC_FIRST_GROUP + 5 * kGroupIds + kPartPeriod)));

    // Wide: the motor's two boxes side by side; narrow: one under the other,
    // each control of the second box moved down with it.
    RECT first = panel_->View()->BoxRect(0), second = panel_->View()->BoxRect(1);
    EXPECT_EQ(first.top, second.top);
    EXPECT_GT(second.left, first.right - 1);
    RECT send;
    GetWindowRect(panel_->View()->GroupControl(1, kPartSend), &send);
    SetWindowPos(panel_->m_hWnd, nullptr, 0, 0, 500, 700, SWP_NOZORDER | SWP_NOMOVE);
    Pump(50);
    first = panel_->View()->BoxRect(0);
    second = panel_->View()->BoxRect(1);
    EXPECT_EQ(first.left, second.left);
    EXPECT_GT(second.top, first.bottom - 1);
    RECT moved;
    GetWindowRect(panel_->View()->GroupControl(1, kPartSend), &moved);
    EXPECT_EQ(send.top + (second.top - first.top), moved.top);

    // At the window's first size the status line holds a signal file's path
    // as long as a download's whole, and the counts after it.
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string downloads = std::string(temp) + "Downloads-" + std::to_string(GetCurrentProcessId());
    const std::string outer = downloads + "\\corvane-1.0.0-windows-x86_64";
    const std::string inner = outer + "\\corvane-1.0.0-windows-x86_64";
    const std::string copy = inner + "\\signals-example.toml";
    ASSERT_TRUE(CreateDirectoryA(downloads.c_str(), nullptr) && CreateDirectoryA(outer.c_str(), nullptr) &&
                CreateDirectoryA(inner.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(CORVANE_SIGNALS_EXAMPLE, copy.c_str(), FALSE));
    std::vector<std::string> errors;
    EXPECT_EQ(kExitOk, panel_->OpenSignals(Wide(copy.c_str()), &errors));
    SetWindowPos(panel_->m_hWnd, nullptr, 0, 0, firstSize_.right - firstSize_.left, firstSize_.bottom - firstSize_.top,
                 SWP_NOZORDER | SWP_NOMOVE);
    Pump(50);
    HWND status = GetDlgItem(panel_->m_hWnd, IDC_STATUS);
    std::wstring said(static_cast<size_t>(GetWindowTextLengthW(status)) + 1, L'\0');
    said.resize(static_cast<size_t>(GetWindowTextW(status, &said[0], static_cast<int>(said.size()))));
    EXPECT_NE(std::wstring::npos, said.find(Wide(copy.c_str()) + L"  \u00b7  "));
    EXPECT_NE(std::wstring::npos, said.find(L"received 0"));
    RECT room, needed;
    GetClientRect(status, &room);
    needed = room;
    HDC dc = GetDC(status);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(status, WM_GETFONT, 0, 0)));
    DrawTextW(dc, said.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(status, dc);
    EXPECT_LE(needed.right, room.right);
    EXPECT_LE(needed.bottom, room.bottom);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(inner.c_str());
    RemoveDirectoryA(outer.c_str());
    RemoveDirectoryA(downloads.c_str());
}

// The inputs not in use wait parked out of sight, drawn by the page; a
// click on one's drawing or the keyboard brings it into place, and parks
// the one in use before.
TEST_F(PanelWine, AnInputComesIntoPlaceWhenClickedOrReachedByTab)
{
    Open(false);
    HWND page = panel_->View()->Page(0)->m_hWnd;
    RECT client;
    GetClientRect(page, &client);
    auto inSight = [&](HWND window) {
        RECT rect, both;
        GetWindowRect(window, &rect);
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
        return IntersectRect(&both, &rect, &client) != FALSE;
    };
    size_t shown = 0;
    for (HWND child = GetWindow(page, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        shown += inSight(child) ? 1 : 0;
    EXPECT_EQ(0u, shown);   // a whole paint costs the page alone
    // A click at a point of a part's drawing.
    auto click = [&](size_t widget, WidgetPart part, int x, int y) {
        const RECT drawn = panel_->View()->PartRect(widget, part);
        ::SendMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(drawn.left + x, drawn.top + y));
        return GetDlgItem(page, IDC_FIRST_WIDGET + static_cast<int>(widget) * kWidgetIds + part);
    };
    // The state's drop-down opens its list.
    HWND state = click(1, kPartControl, 4, 4);
    EXPECT_TRUE(inSight(state));
    EXPECT_TRUE(::SendMessageW(state, CB_GETDROPPEDSTATE, 0, 0));
    ReleaseCapture();   // the button up, as the user lets go
    ::SendMessageW(state, CB_SHOWDROPDOWN, FALSE, 0);
    // The speed's slider, near its right end: a page toward the click, the
    // mouse captured for a drag; the drop-down parked again.
    RECT channel = {};
    ::SendMessageW(GetDlgItem(page, IDC_FIRST_WIDGET + kPartControl), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    HWND speed = click(0, kPartControl, channel.right - 2, (channel.top + channel.bottom) / 2);
    EXPECT_TRUE(inSight(speed));
    EXPECT_FALSE(inSight(state));
    EXPECT_EQ(speed, GetCapture());
    ::SendMessageW(speed, WM_LBUTTONUP, 0, 0);
    EXPECT_GT(::SendMessageW(speed, TBM_GETPOS, 0, 0), 0);
    // Tab: the slider's edit, then its box's Send, in place; the slider parked.
    SetFocus(speed);
    for (int i = 0; i < 2; ++i) {
        MSG tab = { GetFocus(), WM_KEYDOWN, VK_TAB, 0, 0, {} };
        static_cast<CDialog*>(panel_.get())->PreTranslateMessage(&tab);
    }
    HWND send = GetDlgItem(page, IDC_FIRST_GROUP + kPartSend);
    EXPECT_EQ(send, GetFocus());
    EXPECT_TRUE(inSight(send));
    EXPECT_FALSE(inSight(speed));
}

TEST_F(PanelWine, APanelFilesButtonSendsItsPressAndReleaseAndALampFollows)
{
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start("velkctl.exe", "monitor --jsonl --code 30000401 --count 2 --timeout 60" + kRig));
    ASSERT_TRUE(WaitForClients(1));
    Open(true);
    ASSERT_TRUE(WaitForClients(2));
    HWND button = Control(4, kPartControl);
    ASSERT_EQ(L"按住开阀 Hold to open the valve", TextOf(button));
    RECT client;
    GetClientRect(button, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    ::SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    Pump(50);
    ::SendMessageW(button, WM_LBUTTONUP, 0, middle);
    ASSERT_EQ(0, monitor.Wait(30000));
    std::vector<std::string> lines = monitor.Lines();
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(std::string::npos, lines[2].find("2 messages shown")) << lines[2];   // the filter's summary
    EXPECT_TRUE(HasAll(lines[0], { "\"bytes\":\"1000000000\"", "\"pump.status.valve\":{\"name\":\"open\"" })) << lines[0];
    EXPECT_TRUE(HasAll(lines[1], { "\"bytes\":\"0000000000\"", "\"pump.status.valve\":{\"name\":\"closed\"" })) << lines[1];

    // The lamp "pump.status.valve == open" on the rig's answer, off again.
    const PanelLamp* lamp = panel_->Model()->LampOf(0, 5);
    ASSERT_NE(nullptr, lamp);
    ASSERT_GE(vPostData(window_, 0x30000401, reinterpret_cast<LPARAM>("\x12"), 1), 1);
    Pump(200);
    EXPECT_TRUE(lamp->On());
    ASSERT_GE(vPostData(window_, 0x30000401, reinterpret_cast<LPARAM>("\x02"), 1), 1);
    Pump(200);
    EXPECT_FALSE(lamp->On());

    // A bad file changes nothing: the panel shown stays.
    const std::string bad = WriteTempFile("[panel]\n[[panel.tab]]\nname = \"t\"\n[[panel.tab.widget]]\ntype = \"slider\"\n"
                                          "signal = \"motor.sped\"\nrow = 1\ncol = 1\n");
    std::vector<std::string> errors;
    EXPECT_EQ(kExitUsage, panel_->OpenPanel(std::wstring(bad.begin(), bad.end()), Wide(CORVANE_SIGNALS_EXAMPLE), &errors));
    ASSERT_FALSE(errors.empty());
    EXPECT_NE(std::string::npos, errors[0].find(":6:10: no signal 'motor.sped'; did you mean 'motor.speed'?")) << errors[0];
    EXPECT_EQ(button, Control(4, kPartControl));
    DeleteFileA(bad.c_str());
}

} // namespace
