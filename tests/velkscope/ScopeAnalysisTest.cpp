// velkscope as an analysis window, in-process under Wine without a bus: a
// recording named on the command line read on its thread, the readout at
// two cursors set by keys, a recording cut short with a bad line, a
// recording in compressed parts opened as one, and a workspace saved and
// opened again.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "common/FormatText.h"
#include "formats/GzipMembers.h"
#include "formats/RecordLine.h"
#include "formats/RecordParts.h"
#include "tests/FileBytes.h"
#include "tests/velkscope/ScopeHarness.h"
#include "velkscope/RecordingBudget.h"
#include "velkscope/ScopeDlg.h"
#include "windows/WideText.h"

namespace {

const uint32_t kValue = 0x20001001, kSparse = 0x20000802, kArray = 0x30000401;

struct Sent {
    uint64_t micros;
    uint32_t code;
    int32_t value;
};

// 20 s of a bench: a value every millisecond, an array every 7, a code that
// comes three times; CR LF, comments and a trigger mark between the lines.
std::string Recording(std::vector<Sent>* sent)
{
    std::string text = "# velk record 1\r\n# start 2026-12-08T09:12:03.000+08:00\r\n";
    for (uint64_t i = 0; i < 20000; ++i) {
        const uint64_t micros = i * 1000 + 17;
        const int32_t value = static_cast<int32_t>((i * 7919) % 2000) - 1000;
        text += FormatText("%llu.%06llu %08x V %d\r\n", static_cast<unsigned long long>(micros / 1000000),
                           static_cast<unsigned long long>(micros % 1000000), kValue, value);
        sent->push_back({ micros, kValue, value });
        if (i % 7 == 0) {
            text += FormatText("%llu.%06llu %08x A %02x01\n", static_cast<unsigned long long>(micros / 1000000),
                               static_cast<unsigned long long>(micros % 1000000), kArray, static_cast<unsigned>(i % 251));
            sent->push_back({ micros, kArray, static_cast<int32_t>(i % 251) });
        }
        if (i == 100 || i == 9000 || i == 9001) {
            if (i == 9000)
                text += "# trigger\n";
            text += FormatText("%llu.%06llu %08x V %d\n", static_cast<unsigned long long>(micros / 1000000),
                               static_cast<unsigned long long>(micros % 1000000), kSparse, static_cast<int>(i));
            sent->push_back({ micros, kSparse, static_cast<int32_t>(i) });
        }
        if (i % 1000 == 0)
            text += "# a comment\n\n";
    }
    return text;
}

class ScopeAnalysis : public testing::Test {
protected:
    void TearDown() override
    {
        scope_.reset();
    }

    std::wstring WriteTemp(const wchar_t* name, const std::string& text) { return temp_.Write(name, text); }

    // The window on the command line's arguments, without a bus.
    void Open(const std::vector<std::string>& args)
    {
        ScopeOptions options;
        std::string error;
        ASSERT_TRUE(ParseScopeArguments(args, &options, &error)) << error;
        scope_.reset(new CScopeDlg(options, BusBinding()));
        std::wstring failure;
        ASSERT_TRUE(scope_->Start(&failure));
        SetWindowPos(scope_->m_hWnd, nullptr, 0, 0, 1200, 800, SWP_NOZORDER | SWP_NOMOVE);
        ASSERT_TRUE(scope_->OpenFromOptions(&failure));
        WaitForReading();
    }

    void WaitForReading()
    {
        const DWORD start = GetTickCount();
        do
            PumpMessages(20);
        while (scope_->Reading() && GetTickCount() - start < 60000);
        ASSERT_FALSE(scope_->Reading()) << "still reading after a minute";
        PumpMessages(100);
    }

    // A key to the chart, as the keyboard gives it, Ctrl held or not.
    void Key(UINT key, bool control = false, bool shift = false)
    {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_CONTROL] = control ? 0x80 : 0;
        state[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(state);
        ::SendMessageW(scope_->Chart().m_hWnd, WM_KEYDOWN, key, 0);
        state[VK_CONTROL] = state[VK_SHIFT] = 0;
        SetKeyboardState(state);
    }

    std::wstring Status()
    {
        wchar_t text[2048] = L"";
        GetDlgItemTextW(scope_->m_hWnd, IDC_STATUS, text, 2048);
        return text;
    }

    std::unique_ptr<CScopeDlg> scope_;
    TempFiles temp_;
};

TEST_F(ScopeAnalysis, ARecordingOnTheCommandLineReadsOutAtCursorsSetByKeys)
{
    std::vector<Sent> sent;
    const std::wstring path = WriteTemp(L"velkscope-analysis.rec", Recording(&sent));
    Open({ Utf8FromWide(path) });
    wchar_t title[256] = L"";
    GetWindowTextW(scope_->m_hWnd, title, 256);
    EXPECT_EQ(std::wstring(L"velkscope - velkscope-analysis.rec"), title);
    const ScopeModel& model = scope_->Model();
    ASSERT_EQ(2u, model.Sources().size());
    EXPECT_EQ(sent.size(), model.Sources()[1]->messages);
    ASSERT_EQ(1u, model.Sources()[1]->triggers.size());   // the trigger mark
    EXPECT_EQ(9000017, model.Sources()[1]->triggers[0]);
    // What the file holds is ticked when it opens on its own: every code here.
    ASSERT_EQ(3u, model.Traces().size());

    // Home shows it all; A in the middle, five pixels back; B in the middle,
    // twenty on; the values in force are the last samples at or before them.
    SetFocus(scope_->Chart().m_hWnd);
    Key(VK_HOME);
    int64_t from = 0, to = 0;
    model.View(scope_->Now(), &from, &to);
    const int64_t origin = model.Origin(1);
    EXPECT_LE(from, origin + 17);
    EXPECT_GE(to, origin + 19999017);
    Key('A');
    for (int i = 0; i < 5; ++i)
        Key(VK_LEFT, true);
    Key('B');
    Key(VK_RIGHT, true, true);
    Key(VK_RIGHT, true, true);
    ASSERT_TRUE(model.CursorSet(0) && model.CursorSet(1));
    const int64_t step = (to - from) / std::max(scope_->Chart().PaneAreas()[0].Width(), 1);
    EXPECT_EQ(from / 2 + to / 2 - 5 * step, model.Cursor(0));
    EXPECT_EQ(from / 2 + to / 2 + 20 * step, model.Cursor(1));

    const std::vector<std::vector<std::string>> cells = scope_->ReadoutNow();
    ASSERT_EQ(2u + model.Traces().size(), cells.size());
    const int64_t delta = model.Cursor(1) - model.Cursor(0);
    EXPECT_EQ(FormatText("%lld.%06lld s", static_cast<long long>(delta / 1000000), static_cast<long long>(delta % 1000000)),
              cells[1][3]);
    for (size_t t = 0; t < model.Traces().size(); ++t) {
        SCOPED_TRACE(cells[2 + t][0]);
        EXPECT_EQ(FormatText("%08x", static_cast<unsigned>(model.Traces()[t].code)), cells[2 + t][0]);
        uint64_t count = 0;
        for (size_t which = 0; which < 2; ++which) {
            const Sent* last = nullptr;
            for (const Sent& message : sent) {
                if (message.code == model.Traces()[t].code && static_cast<int64_t>(message.micros) + origin <= model.Cursor(which))
                    last = &message;
            }
            ASSERT_NE(nullptr, last);
            EXPECT_EQ(FormatText("%d @ ", last->value) + model.FormatTime(scope_->Now(), static_cast<int64_t>(last->micros) + origin),
                      cells[2 + t][1 + which]);
        }
        for (const Sent& message : sent) {
            const int64_t at = static_cast<int64_t>(message.micros) + origin;
            count += message.code == model.Traces()[t].code && at >= model.Cursor(0) && at <= model.Cursor(1) ? 1 : 0;
        }
        EXPECT_EQ(FormatText("%llu", static_cast<unsigned long long>(count)), cells[2 + t][7]);
    }
    // The sparse code: its value in force at B is the one at 9.001017 s, far before.
    const int sparse = model.TraceOfIn(1, kSparse);
    ASSERT_GE(sparse, 0);
    EXPECT_EQ(0u, cells[2 + static_cast<size_t>(sparse)][2].find("9001 @ ")) << cells[2 + static_cast<size_t>(sparse)][2];
}

TEST_F(ScopeAnalysis, ARecordingCutShortIsReadToItsLastWholeLineAndABadLineIsNamed)
{
    std::string text = "# velk record 1\n";
    for (int i = 0; i < 3000; ++i)
        text += FormatText("0.%06d 20001001 V %d\n", i * 100, i);
    text.insert(text.find("0.150000 "), "0.150000 2000100G V 1\n");   // line 1502
    text += "0.300000 20001001 V 7";                                   // cut short
    const std::wstring path = WriteTemp(L"velkscope-cut.rec", text);
    Open({ Utf8FromWide(path) });
    const ScopeSource& source = *scope_->Model().Sources()[1];
    EXPECT_EQ(3000u, source.messages);
    EXPECT_EQ(1u, source.badLines);
    const std::wstring status = Status();
    EXPECT_NE(std::wstring::npos, status.find(L"velkscope-cut.rec:1502: bad code")) << status;
    EXPECT_NE(std::wstring::npos, status.find(L"velkscope-cut.rec:3003: last line is incomplete")) << status;

    // What is not a recording says so, and nothing is drawn from it.
    const std::wstring other = WriteTemp(L"velkscope-not.rec", "time,code\n1,2\n");
    std::wstring error;
    ASSERT_TRUE(scope_->OpenRecording(other, &error));
    WaitForReading();
    EXPECT_NE(std::wstring::npos, Status().find(L"velkscope-not.rec:1: not a velk recording")) << Status();
    EXPECT_FALSE(scope_->OpenRecording(L"Z:\\no\\such\\file.rec", &error));
    EXPECT_NE(std::wstring::npos, error.find(L"cannot open")) << error;
}

TEST_F(ScopeAnalysis, ARecordingInPartsOpensByItsFirstPartAsOneWithTheGapsBetweenThemKept)
{
    // Three compressed parts of one series: 3 s of messages each, 10 s apart.
    const WallTime seriesStart = { 1765156323000000, 480 };
    std::wstring first;
    for (unsigned p = 0; p < 3; ++p) {
        const uint64_t partMicros = p * 10000000ull;
        WallTime start = seriesStart;
        start.utcMicros += static_cast<int64_t>(partMicros);
        std::string gz;
        GzipMemberWriter writer([&gz](const char* bytes, size_t size) {
            gz.append(bytes, size);
            return true;
        });
        writer.Write(std::string(kRecordHeader) + "\n" + FormatStartLine(start) + "\n" +
                         FormatPartLine(p + 1, partMicros, seriesStart) + "\n", 0);
        for (uint64_t n = 0; n < 3000; ++n)
            writer.Write(FormatText("%llu.%06llu %08x V %u\n", static_cast<unsigned long long>(n / 1000),
                                    static_cast<unsigned long long>(n % 1000 * 1000), kValue,
                                    static_cast<unsigned>(p * 10000 + n)), n * 1000);
        writer.EndMember();
        const std::wstring path = WriteTemp(WideFromUtf8(FormatText("velkscope-inparts-%04u.rec.gz", p + 1)).c_str(), gz);
        if (p == 0)
            first = path;
    }
    Open({ Utf8FromWide(first) });
    const ScopeModel& model = scope_->Model();
    ASSERT_EQ(2u, model.Sources().size());
    const ScopeSource& source = *model.Sources()[1];
    EXPECT_EQ("", source.error);
    EXPECT_EQ(9000u, source.messages);
    ASSERT_EQ(1u, model.Traces().size());

    // A in the gap after the first part, B half a second into the second:
    // the value in force at A is the first part's last, and between them
    // come only the second part's messages, read again from that part.
    const int64_t origin = model.Origin(1);
    scope_->MutableModel().SetCursor(0, origin + 5000000);
    scope_->MutableModel().SetCursor(1, origin + 10500000);
    const std::vector<std::vector<std::string>> cells = scope_->ReadoutNow();
    ASSERT_EQ(3u, cells.size());
    EXPECT_EQ(0u, cells[2][1].find("2999 @ ")) << cells[2][1];
    EXPECT_EQ(0u, cells[2][2].find("10500 @ ")) << cells[2][2];
    EXPECT_EQ("501", cells[2][7]);
}

TEST_F(ScopeAnalysis, AWorkspaceSavedAndOpenedAgainShowsTheSamePanesTracesAndCursors)
{
    std::vector<Sent> sent;
    const std::wstring path = WriteTemp(L"velkscope-workspace.rec", Recording(&sent));
    Open({ Utf8FromWide(path) });
    ScopeModel& model = scope_->MutableModel();
    ASSERT_EQ(3u, model.Traces().size());
    model.MoveTrace(1, model.Panes().size());   // a second pane
    model.MoveTrace(2, 1);
    model.SetPaneX(1, 2);
    Axis fixed;
    fixed.low = -250;
    fixed.high = 750.5;
    model.SetPaneScale(0, &fixed);
    model.SetOffset(1, -1500000);
    model.SetView(1000000, 4000000);
    model.SetCursor(0, 2000000);
    model.SetCursor(1, 2500123);
    model.SetWallClock(true);
    SetWindowPos(scope_->m_hWnd, nullptr, 0, 0, 900, 560, SWP_NOZORDER | SWP_NOMOVE);
    const std::wstring saved = WriteTemp(L"velkscope-workspace.toml", "");
    std::string error;
    ASSERT_TRUE(scope_->SaveWorkspace(saved, &error)) << error;
    const std::string text = ReadFileText(std::string(AfxNarrowFromWide(saved.c_str(), saved.size(), nullptr)));
    EXPECT_NE(std::string::npos, text.find("path = \"velkscope-workspace.rec\"")) << text;   // beside it: relative

    struct Shown { size_t pane; uint32_t code; size_t signal, colour; };
    auto traces = [](const ScopeModel& m) {
        std::vector<Shown> shown;
        for (const Trace& trace : m.Traces())
            shown.push_back({ trace.pane, trace.code, trace.signal, trace.colour });
        return shown;
    };
    const std::vector<Shown> before = traces(model);
    scope_.reset();

    Open({ "--workspace", Utf8FromWide(saved) });
    const ScopeModel& again = scope_->Model();
    ASSERT_EQ(2u, again.Sources().size());
    EXPECT_EQ(-1500000, again.Sources()[1]->offsetMicros);
    ASSERT_EQ(2u, again.Panes().size());
    EXPECT_TRUE(again.Panes()[0].fixed);
    EXPECT_EQ(-250, again.Panes()[0].axis.low);
    EXPECT_EQ(750.5, again.Panes()[0].axis.high);
    EXPECT_FALSE(again.Panes()[1].fixed);
    const std::vector<Shown> after = traces(again);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].pane, after[i].pane);
        EXPECT_EQ(before[i].code, after[i].code);
        EXPECT_EQ(before[i].signal, after[i].signal);
        EXPECT_EQ(before[i].colour, after[i].colour);
        EXPECT_EQ(1u, again.Traces()[i].source);
    }
    EXPECT_EQ(static_cast<int>(after.size()) - 1, again.Panes()[1].xTrace);
    int64_t from = 0, to = 0;
    again.View(scope_->Now(), &from, &to);
    EXPECT_EQ(1000000, from);
    EXPECT_EQ(4000000, to);
    EXPECT_EQ(2000000, again.Cursor(0));
    EXPECT_EQ(2500123, again.Cursor(1));
    EXPECT_TRUE(again.WallClock());
    RECT window;
    GetWindowRect(scope_->m_hWnd, &window);   // the window's size too
    EXPECT_EQ(900, window.right - window.left);
    EXPECT_EQ(560, window.bottom - window.top);

    // A workspace with a mistake changes nothing, and says where it is.
    const std::wstring bad = WriteTemp(L"velkscope-bad-workspace.toml", "[[pane]]\n[[pane.trace]]\ncode = \"2000100G\"\n");
    std::wstring errors;
    EXPECT_FALSE(scope_->OpenWorkspace(bad, &errors));
    EXPECT_NE(std::wstring::npos, errors.find(L"velkscope-bad-workspace.toml:3:8:")) << errors;
    EXPECT_EQ(2u, again.Panes().size());
    EXPECT_EQ(before.size(), again.Traces().size());
    EXPECT_EQ(2u, again.Sources().size());
}

TEST_F(ScopeAnalysis, ManyCodesOpenAtOnceAndEveryRecordingDrawsTheSameTracesWithinOneBudget)
{
    // 100,000 codes, one message each: listed up to the table, the rest
    // counted; Close answers while it reads.
    std::string text = "# velk record 1\n";
    for (uint32_t i = 0; i < 100000; ++i)
        text += FormatText("%u.%06u %08x V %u\n", i / 1000, i % 1000 * 1000, 0x20001000u | (i & 0xFF) | ((i >> 8) << 16), i % 100);
    const std::wstring many = WriteTemp(L"velkscope-codes.rec", text);
    const std::string manyName = Utf8FromWide(many);
    Open({ manyName });
    const ScopeSource& codes = *scope_->Model().Sources()[1];
    EXPECT_EQ(static_cast<size_t>(kMaxCodes), codes.data.Rows().size());
    EXPECT_EQ(100000u - kMaxCodes, codes.data.Unlisted());
    HWND list = GetDlgItem(scope_->m_hWnd, IDC_CODES);
    EXPECT_EQ(static_cast<size_t>(kMaxCodes), static_cast<size_t>(ListView_GetItemCount(list)));
    EXPECT_NE(std::wstring::npos, Status().find(L"velkscope-codes.rec: \x672A\x5217\x51FA unlisted " +
                                                std::to_wstring(100000 - kMaxCodes))) << Status();
    // The list is virtual: a click on a row's check box or the space bar
    // ticks or unticks its code once, and the box shows the model's tick.
    const uint32_t first = codes.data.Rows()[0].code;
    const bool ticked = scope_->Model().TraceOfIn(1, first) >= 0;
    EXPECT_EQ(ticked, ListView_GetCheckState(list, 0) != FALSE);
    RECT row = {};
    ASSERT_TRUE(ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS));
    LVHITTESTINFO hit = {};
    hit.pt.y = (row.top + row.bottom) / 2;
    for (hit.pt.x = row.left; hit.pt.x < row.left + 40; ++hit.pt.x) {
        if (ListView_SubItemHitTest(list, &hit) == 0 && (hit.flags & LVHT_ONITEMSTATEICON) != 0)
            break;
    }
    ASSERT_TRUE(hit.flags & LVHT_ONITEMSTATEICON);
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(hit.pt.x, hit.pt.y));
    ::SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(hit.pt.x, hit.pt.y));
    PumpMessages(100);
    EXPECT_EQ(!ticked, scope_->Model().TraceOfIn(1, first) >= 0);
    EXPECT_EQ(!ticked, ListView_GetCheckState(list, 0) != FALSE);
    ListView_SetItemState(list, 0, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
    ::SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
    ::SendMessageW(list, WM_KEYUP, VK_SPACE, 0);
    PumpMessages(50);
    EXPECT_EQ(ticked, scope_->Model().TraceOfIn(1, first) >= 0);
    std::wstring error;
    ASSERT_TRUE(scope_->OpenRecording(many, &error)) << error;
    HWND window = scope_->m_hWnd;
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    PumpMessages(100);
    EXPECT_FALSE(IsWindow(window));
    scope_.reset();

    // Two recordings: the first's first traces, the same in the second;
    // the summaries share the window's budget; the seventeenth is refused.
    const std::wstring night = WriteTemp(L"velkscope-night.rec", "# velk record 1\n0.1 20001001 V 1\n0.2 20001002 V 2\n");
    const std::wstring day = WriteTemp(L"velkscope-day.rec", "# velk record 1\n0.1 20001002 V 1\n0.3 20001003 V 2\n");
    Open({ Utf8FromWide(night), Utf8FromWide(day) });
    const ScopeModel& model = scope_->Model();
    ASSERT_EQ(4u, model.Traces().size());
    for (size_t t = 0; t < 2; ++t) {
        EXPECT_EQ(1u, model.Traces()[t].source);
        EXPECT_EQ(2u, model.Traces()[2 + t].source);
        EXPECT_EQ(model.Traces()[t].code, model.Traces()[2 + t].code);
    }
    for (size_t n = 3; n <= kMaxRecordings; ++n)
        ASSERT_TRUE(scope_->OpenRecording(night, &error)) << error;
    EXPECT_FALSE(scope_->OpenRecording(night, &error));
    EXPECT_NE(std::wstring::npos, error.find(L"at most 16 recordings")) << error;
    WaitForReading();
    EXPECT_EQ(RecordingSummaryBudget(kMaxRecordings), model.Sources()[1]->data.Summaries().Budget());
    EXPECT_EQ(RecordingSummaryBudget(kMaxRecordings), model.Sources()[kMaxRecordings]->data.Summaries().Budget());
}

} // namespace
