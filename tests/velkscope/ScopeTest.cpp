// velkscope's window as the user sees it: messages posted through velk.dll
// on a bus of this test's own, the chart painted by its own paint function
// (WM_PRINTCLIENT) into a memory bitmap, its pixels read.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include <gtest/gtest.h>

#include "velk/VelkApi.h"
#include "chart/ChartGeometry.h"
#include "tests/DrawnPicture.h"
#include "tests/velkscope/ScopeHarness.h"
#include "tests/FileBytes.h"
#include "velk/VelkLibrary.h"
#include "client/BusBinding.h"
#include "protocol/BusCounters.h"
#include "formats/RecordReader.h"
#include "velkscope/ScopeDlg.h"

namespace {

const uint32_t kRampCode = 0x20001001;

class Scope : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char name[64];
        snprintf(name, sizeof name, "velkscope-test-%lu", GetCurrentProcessId());
        SetEnvironmentVariableA(VELK_BUS_NAME_VARIABLE, name);
        std::string error;
        ASSERT_TRUE(LoadBus(&bus_, &error)) << error;
    }
    static void TearDownTestSuite() { FreeBus(&bus_); }

    void Open(std::vector<uint32_t> codes, int64_t windowMicros)
    {
        ScopeOptions options;
        std::string error;
        ASSERT_TRUE(ParseScopeArguments({}, &options, &error));
        options.codes = codes;
        options.windowMicros = windowMicros;
        scope_.reset(new CScopeDlg(options, bus_));
        std::wstring failure;
        ASSERT_TRUE(scope_->Start(&failure));
        SetWindowPos(scope_->m_hWnd, nullptr, 0, 0, 1000, 600, SWP_NOZORDER | SWP_NOMOVE);
        Pump(50);
    }

    void TearDown() override { scope_.reset(); }

    static void Pump(DWORD ms) { PumpMessages(ms); }

    // Pumps until the scope has received count messages in all; false on timeout.
    bool PumpUntilReceived(uint64_t count, DWORD timeoutMs = 30000)
    {
        DWORD start = GetTickCount();
        while (scope_->Model().Received() < count && GetTickCount() - start < timeoutMs)
            Pump(5);
        return scope_->Model().Received() >= count;
    }

    void Post(uint32_t code, int32_t value)
    {
        ASSERT_GE(bus_.vPostData(scope_->m_hWnd, code, static_cast<LPARAM>(value), 4), 1);
    }

    void Click(int id)
    {
        ::SendMessageW(GetDlgItem(scope_->m_hWnd, id), BM_CLICK, 0, 0);
    }

    Picture Paint() { return PaintChart(scope_->Chart().m_hWnd); }

    // For each x of the plot area, the topmost row in the colour; -1 where none.
    static std::vector<int> TopRows(const Picture& picture, uint32_t colour)
    {
        PlotArea area = PlotAreaOf(picture.width, picture.height);
        std::vector<int> rows;
        for (int x = area.left; x < area.right; ++x) {
            int top = -1;
            for (int y = area.top; y < area.bottom && top < 0; ++y) {
                if (picture.At(x, y) == colour)
                    top = y;
            }
            rows.push_back(top);
        }
        return rows;
    }

    static uint64_t Counter(const char* name)
    {
        CounterValues counters = ParseCounters(bus_.vGetInfo(kInfoFurther));
        return counters[name];
    }

    static BusBinding bus_;
    std::unique_ptr<CScopeDlg> scope_;
};

BusBinding Scope::bus_;

TEST_F(Scope, APostedRampDrawsARisingTraceInItsColour)
{
    Open({ kRampCode }, 2000000);
    // 100 values 10 ms apart: the ramp spans half the 2-second window.
    for (int32_t value = 0; value < 100; ++value) {
        Post(kRampCode, value * 1000 - 50000);
        Pump(10);
    }
    ASSERT_TRUE(PumpUntilReceived(100));
    Picture picture = Paint();
    std::vector<int> rows = TopRows(picture, TraceColour(0));
    std::vector<int> drawn;
    for (int row : rows) {
        if (row >= 0)
            drawn.push_back(row);
    }
    ASSERT_GE(drawn.size(), rows.size() / 4) << "the trace covers too little of the chart";
    // Rising: higher (smaller y) to the right, never falling back.
    PlotArea area = PlotAreaOf(picture.width, picture.height);
    EXPECT_GT(drawn.front() - drawn.back(), area.Height() / 2);
    for (size_t i = 1; i < drawn.size(); ++i)
        EXPECT_LE(drawn[i], drawn[i - 1] + 1) << "falls at the " << i << "th drawn column";
    // Nothing of the plot area right of the newest sample is in the colour:
    // the trace ends at "now".
    EXPECT_LT(std::count(rows.end() - rows.size() / 8, rows.end(), -1), static_cast<long>(rows.size() / 8) + 1);
}

TEST_F(Scope, APausedChartDoesNotMoveWhileMessagesArriveAndAreCounted)
{
    Open({ kRampCode }, 1000000);
    for (int32_t value = 0; value < 20; ++value) {
        Post(kRampCode, value);
        Pump(10);
    }
    ASSERT_TRUE(PumpUntilReceived(20));
    Click(IDC_PAUSE);
    ASSERT_TRUE(scope_->Model().Paused());
    Picture paused = Paint();

    // Posted while paused, over more than the whole window.
    for (int32_t value = 0; value < 50; ++value) {
        Post(kRampCode, 100000 - value);
        Pump(25);
    }
    ASSERT_TRUE(PumpUntilReceived(70));
    EXPECT_EQ(70u, scope_->Model().Rows()[0].count);
    EXPECT_TRUE(Paint() == paused) << "the paused chart changed";
    EXPECT_EQ(70u, scope_->Model().TraceSamples(0));   // kept, not lost

    Click(IDC_PAUSE);
    EXPECT_FALSE(scope_->Model().Paused());
    // Live again: the window has moved past everything posted.
    EXPECT_FALSE(Paint() == paused);
}

TEST_F(Scope, BadInputDrawsWhatItCanAndLosesNothing)
{
    // A code that never comes, one at both ends of int32, one constant.
    const uint32_t never = 0x20001077, extremes = 0x20001002, constant = 0x20004003;
    Open({ never, extremes, constant }, 10000000);
    Post(extremes, INT32_MIN);
    Post(extremes, INT32_MAX);
    Post(constant, 7);
    Post(constant, 7);
    ASSERT_TRUE(PumpUntilReceived(4));
    Picture picture = Paint();
    std::vector<int> extremeRows = TopRows(picture, TraceColour(1));
    std::vector<int> constantRows = TopRows(picture, TraceColour(2));
    EXPECT_LT(std::count(extremeRows.begin(), extremeRows.end(), -1), static_cast<long>(extremeRows.size()));
    EXPECT_LT(std::count(constantRows.begin(), constantRows.end(), -1), static_cast<long>(constantRows.size()));
    EXPECT_EQ(0u, scope_->Model().TraceSamples(0));

    // A burst of 10^5 messages as fast as they can be posted: every one
    // taken and counted, none dropped by the bus.
    uint64_t droppedBefore = Counter("dropped");
    for (int i = 0; i < 100000; ++i)
        bus_.vPostData(scope_->m_hWnd, constant, i % 2, 4);
    EXPECT_TRUE(PumpUntilReceived(100004, 120000)) << scope_->Model().Received();
    EXPECT_EQ(droppedBefore, Counter("dropped"));
    EXPECT_EQ(100002u, scope_->Model().Rows()[static_cast<size_t>(scope_->Model().RowOf(constant))].count);

    // The smallest window, and a chart of no size at all, still paint.
    SetWindowPos(scope_->m_hWnd, nullptr, 0, 0, 10, 10, SWP_NOZORDER | SWP_NOMOVE);
    Pump(50);
    Picture small = Paint();
    EXPECT_GT(small.width, 0);
    RECT none = { 0, 0, 0, 0 };
    scope_->Chart().Paint(GetDC(scope_->Chart().m_hWnd), none);
}

TEST_F(Scope, SavesTheChartAsAPngOfItsSizeAndItsMessagesAsCsv)
{
    const uint32_t array = 0x30000403;
    Open({ kRampCode, array }, 10000000);
    Post(kRampCode, 5);
    const unsigned char bytes[] = { 0x2A, 0x01, 0x02 };
    ASSERT_GE(bus_.vPostData(scope_->m_hWnd, array, reinterpret_cast<LPARAM>(bytes), 3), 1);
    Post(kRampCode, -6);
    Post(0x20001077, 9);   // not ticked: not in the CSV
    ASSERT_TRUE(PumpUntilReceived(4));
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string png = std::string(folder) + "velkscope-test.png";
    std::string csv = std::string(folder) + "velkscope-test.csv";
    std::string error;
    ASSERT_TRUE(scope_->SavePng(AfxWideFromNarrow(png.c_str()).c_str(), &error)) << error;
    ASSERT_TRUE(scope_->SaveCsv(AfxWideFromNarrow(csv.c_str()).c_str(), &error)) << error;

    std::string picture = ReadFileText(png);
    ASSERT_GE(picture.size(), 24u);
    EXPECT_EQ(0, memcmp(picture.data(), "\x89PNG\r\n\x1a\n", 8));
    const unsigned char* head = reinterpret_cast<const unsigned char*>(picture.data());
    RECT client;
    GetClientRect(scope_->Chart().m_hWnd, &client);
    EXPECT_EQ(static_cast<uint32_t>(client.right), static_cast<uint32_t>(head[16] << 24 | head[17] << 16 | head[18] << 8 | head[19]));
    EXPECT_EQ(static_cast<uint32_t>(client.bottom), static_cast<uint32_t>(head[20] << 24 | head[21] << 16 | head[22] << 8 | head[23]));

    // velkctl export's columns and encoding: a byte order mark, CR LF, one
    // row per message drawn, in time order.
    std::string table = ReadFileText(csv);
    ASSERT_EQ(0u, table.find("\xEF\xBB\xBFtime (UTC")) << table;
    std::vector<std::string> rows;
    for (size_t at = 0; at < table.size();) {
        size_t end = table.find("\r\n", at);
        ASSERT_NE(std::string::npos, end) << "a line without CR LF";
        rows.push_back(table.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(4u, rows.size());
    EXPECT_NE(std::string::npos, rows[0].find(",seconds,code,direction,type,channel,kind,value,text,bytes,length"));
    EXPECT_NE(std::string::npos, rows[1].find(",0x20001001,Write Value,ADC,1,value,5,,,")) << rows[1];
    EXPECT_NE(std::string::npos, rows[2].find(",0x30000403,Read Value+Write Value,ARR,3,array,,,0x2a0102,3")) << rows[2];
    EXPECT_NE(std::string::npos, rows[3].find(",value,-6,,,")) << rows[3];
    // The history as a recording: every message, the unticked one too, payloads whole.
    std::string recording = std::string(folder) + "velkscope-test.rec";
    std::string svg = std::string(folder) + "velkscope-test.svg";
    ASSERT_TRUE(scope_->SaveRecording(AfxWideFromNarrow(recording.c_str()).c_str(), &error)) << error;
    RecordParse saved = ParseRecordText(ReadFileText(recording));
    ASSERT_EQ(0u, saved.errorLine) << saved.error;
    ASSERT_EQ(4u, saved.messages.size());
    EXPECT_EQ(std::string("\x2A\x01\x02", 3), saved.messages[1].bytes);
    EXPECT_EQ(0x20001077u, saved.messages[3].code);
    EXPECT_LE(saved.messages[0].micros, saved.messages[3].micros);
    // The chart as SVG: a document with the traces' names.
    ASSERT_TRUE(scope_->SaveSvg(AfxWideFromNarrow(svg.c_str()).c_str(), &error)) << error;
    const std::string drawn = ReadFileText(svg);
    EXPECT_EQ(0u, drawn.find("<?xml"));
    EXPECT_NE(std::string::npos, drawn.find(">20001001<"));
    EXPECT_NE(std::string::npos, drawn.find("</svg>"));
    DeleteFileA(png.c_str());
    DeleteFileA(csv.c_str());
    DeleteFileA(recording.c_str());
    DeleteFileA(svg.c_str());
}

} // namespace
