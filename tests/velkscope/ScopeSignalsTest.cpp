// velkscope with a signal file, in-process under Wine on a bus of its own:
// the codes list by name and physical value, a late message flagged, bad
// checksums and skipped counters counted, the chart in physical units, and a
// bad file that changes nothing.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "chart/ChartGeometry.h"
#include "client/BusBinding.h"
#include "tests/DrawnPicture.h"
#include "tests/velkscope/ScopeHarness.h"
#include "velk/VelkLibrary.h"
#include "velkscope/ScopeDlg.h"

namespace {

const uint32_t kSpeed = 0x20001001, kPump = 0x30000401, kMotor = 0x30000403;

const char kRig[] =
    "[[message]]\ncode = \"20001001\"\nname = \"motor.speed\"\nperiod = \"100ms\"\nunit = \"rpm\"\nscale = 0.25\n"
    "[[message]]\ncode = \"30000401\"\nname = \"pump.status\"\nperiod = \"200ms\"\n"
    "[[message.field]]\nname = \"mode\"\nbyte = 0\ntype = \"u8\"\n"
    "[[message.field]]\nname = \"pressure\"\nbyte = 1\ntype = \"u16\"\nendian = \"big\"\nunit = \"bar\"\nscale = 0.01\n"
    "[[message]]\ncode = \"30000403\"\nname = \"motor.status\"\n"
    "[[message.field]]\nname = \"alive\"\nbyte = 0\ntype = \"u8\"\ncounter = true\n"
    "[[message.field]]\nname = \"crc\"\nbyte = 1\ntype = \"u8\"\nchecksum = { kind = \"xor8\", bytes = \"0\" }\n";

class ScopeSignals : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char name[64];
        snprintf(name, sizeof name, "velkscope-signals-test-%lu", GetCurrentProcessId());
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, name);
        std::string error;
        ASSERT_TRUE(LoadBus(&bus_, &error)) << error;
    }
    static void TearDownTestSuite() { FreeBus(&bus_); }

    void TearDown() override
    {
        scope_.reset();
    }

    std::wstring WriteTemp(const wchar_t* name, const std::string& text) { return temp_.Write(name, text); }

    void Make(std::vector<uint32_t> codes)
    {
        ScopeOptions options;
        std::string error;
        ASSERT_TRUE(ParseScopeArguments({}, &options, &error));
        options.codes = codes;
        options.windowMicros = 2000000;
        scope_.reset(new CScopeDlg(options, bus_));
    }

    void Start()
    {
        std::wstring failure;
        ASSERT_TRUE(scope_->Start(&failure));
        SetWindowPos(scope_->m_hWnd, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_NOMOVE);
        Pump(50);
    }

    static void Pump(DWORD ms) { PumpMessages(ms); }

    void PostPressure(unsigned hundredths)
    {
        const unsigned char bytes[] = { 1, static_cast<unsigned char>(hundredths >> 8), static_cast<unsigned char>(hundredths) };
        ASSERT_GE(bus_.vPostData(scope_->m_hWnd, kPump, reinterpret_cast<LPARAM>(bytes), 3), 1);
    }

    std::wstring Cell(int row, int column)
    {
        wchar_t text[256] = L"";
        LVITEMW item = {};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 256;
        ::SendMessageW(GetDlgItem(scope_->m_hWnd, IDC_CODES), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&item));
        return text;
    }

    Picture Paint() { return PaintChart(scope_->Chart().m_hWnd); }

    static BusBinding bus_;
    std::unique_ptr<CScopeDlg> scope_;
    TempFiles temp_;
};

BusBinding ScopeSignals::bus_;

TEST_F(ScopeSignals, AFieldDrawsInItsUnitAndALateMessageIsFlagged)
{
    Make({});
    std::wstring errors;
    ASSERT_TRUE(scope_->OpenSignals(WriteTemp(L"velkscope-rig.toml", kRig), &errors)) << errors;
    std::string error;
    ASSERT_TRUE(scope_->TickSignals({ "pump.status.pressure" }, &error)) << error;
    Start();
    ASSERT_EQ(1u, scope_->Model().Traces().size());

    // 0.50 and 0.52 bar in turn, every 20 ms for 0.8 s: never late.
    for (int i = 0; i < 40; ++i) {
        PostPressure(i % 2 == 0 ? 50 : 52);
        Pump(20);
    }
    EXPECT_EQ(L"30000401 pump.status", Cell(0, 0));
    const std::wstring value = Cell(0, 1);
    EXPECT_EQ(0u, value.find(L"mode=1  pressure=0.5")) << value;
    EXPECT_NE(std::wstring::npos, value.find(L" bar")) << value;

    // Two hundredths of a bar fill the plot, as they would if whole.
    const Picture picture = Paint();
    const PlotArea area = PlotAreaOf(picture.width, picture.height);
    const uint32_t colour = TraceColour(scope_->Model().Traces()[0].colour);
    int highest = area.bottom, lowest = area.top - 1;
    for (int x = area.left; x < area.right; ++x)
        for (int y = area.top; y < area.bottom; ++y)
            if (picture.At(x, y) == colour) {
                highest = std::min(highest, y);
                lowest = std::max(lowest, y);
            }
    EXPECT_GT(lowest - highest, area.Height() / 2) << highest << " to " << lowest;

    // Silent for over twice its 200 ms period: late, in a column of its own.
    Pump(900);
    EXPECT_EQ(L"\x8FDF\x5230 late", Cell(0, 3));
    EXPECT_EQ(0u, Cell(0, 1).find(L"mode=1  pressure=0.5")) << Cell(0, 1);
    PostPressure(51);
    Pump(400);
    EXPECT_EQ(L"", Cell(0, 3));
    EXPECT_EQ(0u, Cell(0, 1).find(L"mode=1  pressure=0.51 bar")) << Cell(0, 1);

    // motor.status counted 0, 1, 2 with a bad checksum, 4: one of each,
    // beside the value.
    for (unsigned alive : { 0u, 1u, 2u, 4u }) {
        const unsigned char frame[] = { static_cast<unsigned char>(alive), static_cast<unsigned char>(alive == 2 ? 0x55 : alive) };
        ASSERT_GE(bus_.vPostData(scope_->m_hWnd, kMotor, reinterpret_cast<LPARAM>(frame), 2), 1);
    }
    Pump(400);
    EXPECT_EQ(L"!crc 1  !cnt 1", Cell(1, 3));
    EXPECT_EQ(0u, Cell(1, 1).find(L"alive=4")) << Cell(1, 1);

    // With the names' wide column, the count and the marks stay in sight
    // and the value starts in it.
    HWND list = GetDlgItem(scope_->m_hWnd, IDC_CODES);
    RECT client;
    ::GetClientRect(list, &client);
    const std::wstring marks = Cell(1, 3);
    EXPECT_GT(ListView_GetColumnWidth(list, 3),
              static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(marks.c_str()))));
    for (int column : { 1, 2, 3 }) {
        RECT cell = {};
        cell.top = column;
        cell.left = LVIR_BOUNDS;
        ASSERT_TRUE(::SendMessageW(list, LVM_GETSUBITEMRECT, 1, reinterpret_cast<LPARAM>(&cell)));
        EXPECT_LT(cell.left, client.right) << column;
        if (column != 1) {
            EXPECT_LE(cell.right, client.right) << column;
        }
    }
}

TEST_F(ScopeSignals, ABadFileChangesNothingAndAGoodOneNamesTheTicked)
{
    Make({ kSpeed });
    Start();
    ASSERT_GE(bus_.vPostData(scope_->m_hWnd, kSpeed, 1001, 4), 1);
    Pump(400);
    EXPECT_EQ(L"20001001", Cell(0, 0));
    EXPECT_EQ(L"1001", Cell(0, 1));

    std::wstring errors;
    EXPECT_FALSE(scope_->OpenSignals(WriteTemp(L"velkscope-bad.toml", "[[message]]\ncode = \"20001001\"\nname = \"x\"\nscal = 2\n"), &errors));
    EXPECT_NE(std::wstring::npos, errors.find(L"velkscope-bad.toml:4:")) << errors;   // FILE:LINE:COLUMN, FILE as given
    EXPECT_FALSE(scope_->OpenSignals(L"Z:\\no\\such\\velkscope.toml", &errors));
    EXPECT_NE(std::wstring::npos, errors.find(L"cannot open")) << errors;
    EXPECT_EQ(nullptr, scope_->Model().Signals());
    ASSERT_EQ(1u, scope_->Model().Traces().size());
    EXPECT_EQ(kRawTrace, scope_->Model().Traces()[0].signal);
    std::string error;
    EXPECT_FALSE(scope_->TickSignals({ "motor.speed" }, &error));
    EXPECT_NE(std::string::npos, error.find("signal file")) << error;
    Pump(300);
    EXPECT_EQ(L"20001001", Cell(0, 0));
    EXPECT_EQ(L"1001", Cell(0, 1));

    ASSERT_TRUE(scope_->OpenSignals(WriteTemp(L"velkscope-rig.toml", kRig), &errors)) << errors;
    EXPECT_EQ(L"20001001 motor.speed", Cell(0, 0));
    ASSERT_EQ(1u, scope_->Model().Traces().size());
    EXPECT_EQ(0u, scope_->Model().Traces()[0].signal);   // the ticked code, by signal now
    EXPECT_FALSE(scope_->TickSignals({ "pump.status.presure" }, &error));
    EXPECT_NE(std::string::npos, error.find("did you mean 'pump.status.pressure'")) << error;
    ASSERT_GE(bus_.vPostData(scope_->m_hWnd, kSpeed, 1001, 4), 1);
    Pump(300);
    EXPECT_NE(std::wstring::npos, Cell(0, 1).find(L"250.25 rpm")) << Cell(0, 1);   // late or not by now: 100 ms period
}

TEST_F(ScopeSignals, AtItsFirstSizeTheValueIsInSightAndASignalIsTickedInTheRecordingsNotTheBus)
{
    // No bus: --signal draws the recording's pump pressure, and the bus has no trace saying "no data".
    ScopeOptions options;
    std::string error;
    ASSERT_TRUE(ParseScopeArguments({}, &options, &error));
    scope_.reset(new CScopeDlg(options, BusBinding()));
    std::wstring errors;
    ASSERT_TRUE(scope_->OpenSignals(WriteTemp(L"velkscope-rig.toml", kRig), &errors)) << errors;
    ASSERT_TRUE(scope_->TickSignals({ "pump.status.pressure" }, &error)) << error;
    std::wstring failure;
    ASSERT_TRUE(scope_->Start(&failure));   // its own first size: no resizing here
    const std::wstring night = WriteTemp(L"velkscope-rig.rec", "# velk record 1\n0.1 30000401 A 000102\n0.2 20001001 V 4\n");
    ASSERT_TRUE(scope_->OpenRecording(night, &failure)) << failure;
    const DWORD start = GetTickCount();
    do
        Pump(20);
    while (scope_->Reading() && GetTickCount() - start < 20000);
    Pump(300);
    const ScopeModel& model = scope_->Model();
    ASSERT_EQ(1u, model.Traces().size());
    EXPECT_EQ(1u, model.Traces()[0].source);

    // The value column, the list's last, wholly in sight and wide enough
    // for a field or two; the readout's names column for a signal's name.
    HWND list = GetDlgItem(scope_->m_hWnd, IDC_CODES);
    RECT client;
    ::GetClientRect(list, &client);
    RECT cell = {};
    cell.top = 1;
    cell.left = LVIR_BOUNDS;
    ASSERT_TRUE(::SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)));
    EXPECT_LE(cell.right, client.right);
    EXPECT_GE(cell.right - cell.left,
              static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"mode=0  pressure=2.58 bar"))));
    HWND readout = GetDlgItem(scope_->m_hWnd, IDC_READOUT);
    EXPECT_GE(ListView_GetColumnWidth(readout, 0),
              static_cast<int>(::SendMessageW(readout, LVM_GETSTRINGWIDTHW, 0,
                                              reinterpret_cast<LPARAM>(L"velkscope-rig.rec: pump.status"))));
}

} // namespace
