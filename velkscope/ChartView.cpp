#include "velkscope/ChartView.h"

#include <algorithm>
#include <string>

#include "protocol/MessageCode.h"
#include "common/FormatText.h"
#include "velkscope/ScopeSignals.h"

namespace {

COLORREF Colour(uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, uint32_t rgb)
{
    RECT box = { left, top, right, bottom };
    HBRUSH brush = CreateSolidBrush(Colour(rgb));
    FillRect(dc, &box, brush);
    DeleteObject(brush);
}

void Line(HDC dc, int x1, int y1, int x2, int y2)
{
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

// Narrow texts are ASCII here; wide ones carry the Chinese words.
void Text(HDC dc, int x, int y, const std::string& text)
{
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void Text(HDC dc, int x, int y, const wchar_t* text)
{
    TextOutW(dc, x, y, text, static_cast<int>(wcslen(text)));
}

int TextWidth(HDC dc, const wchar_t* text)
{
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    return size.cx;
}

class PenScope {
public:
    PenScope(HDC dc, uint32_t rgb) : dc_(dc), pen_(CreatePen(PS_SOLID, 1, Colour(rgb))), old_(SelectObject(dc, pen_)) {}
    ~PenScope() { SelectObject(dc_, old_); DeleteObject(pen_); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ old_;
};

} // namespace

CChartView::CChartView()
    : m_model(nullptr), m_clock(nullptr), m_font(nullptr), m_frames(0), m_cursorShown(false), m_cursor(),
      m_buffer(nullptr), m_bufferWidth(0), m_bufferHeight(0)
{
}

CChartView::~CChartView()
{
    if (m_buffer != nullptr)
        DeleteObject(m_buffer);
}

BEGIN_MESSAGE_MAP(CChartView, CStatic)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
    ON_MESSAGE(WM_PRINTCLIENT, OnPrintClient)
END_MESSAGE_MAP()

void CChartView::Redraw()
{
    if (m_hWnd != nullptr)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// Drawn into a bitmap first and copied whole: the chart never flickers. The
// bitmap is a DIB section kept from frame to frame: drawing into it stays in
// the process (under Wine too, where a screen-compatible bitmap lives in the
// X server and every line would be a round trip).
void CChartView::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    const int width = std::max<LONG>(client.right, 1);
    const int height = std::max<LONG>(client.bottom, 1);
    if (m_buffer == nullptr || width != m_bufferWidth || height != m_bufferHeight) {
        if (m_buffer != nullptr)
            DeleteObject(m_buffer);
        BITMAPINFO info;
        ZeroMemory(&info, sizeof info);
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        m_buffer = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_bufferWidth = width;
        m_bufferHeight = height;
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, m_buffer);
    Paint(memory, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ++m_frames;
}

BOOL CChartView::OnEraseBkgnd(CDC*)
{
    return TRUE;   // the paint covers every pixel
}

LRESULT CChartView::OnPrintClient(WPARAM wParam, LPARAM)
{
    RECT client;
    GetClientRect(&client);
    Paint(reinterpret_cast<HDC>(wParam), client);
    return 0;
}

void CChartView::OnMouseMove(UINT, POINT point)
{
    if (!m_cursorShown) {
        TRACKMOUSEEVENT track = { sizeof track, TME_LEAVE, m_hWnd, 0 };
        TrackMouseEvent(&track);
        m_cursorShown = true;
    }
    m_cursor = point;
    Redraw();
}

LRESULT CChartView::OnMouseLeave(WPARAM, LPARAM)
{
    m_cursorShown = false;
    Redraw();
    return 0;
}

void CChartView::Paint(HDC dc, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    FillBox(dc, rect.left, rect.top, rect.right, rect.bottom, kChartBackground);
    if (m_model == nullptr || m_clock == nullptr || width <= 0 || height <= 0)
        return;

    const PlotArea area = PlotAreaOf(width, height);
    const int64_t now = m_model->ShownNow(m_clock->Now());
    std::vector<std::vector<Column>> shown;
    for (size_t i = 0; i < m_model->Traces().size(); ++i)
        shown.push_back(m_model->TraceColumns(i, now, static_cast<size_t>(area.Width())));
    const Axis values = m_model->ValueAxis(shown, std::max(2, std::min(9, area.Height() / 28)));
    m_shownAxis = values;
    const char* unit = "s";
    const Axis times = TimeAxis(static_cast<double>(m_model->Window()) / 1e6, std::max(2, area.Width() / 70), &unit);

    HGDIOBJ oldFont = m_font != nullptr ? SelectObject(dc, m_font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Colour(kChartText));

    PaintGrid(dc, area, values, times, unit);
    PaintTraces(dc, area, values, shown);
    PaintLegend(dc, area);
    PaintCursor(dc, area, shown);

    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
}

void CChartView::PaintGrid(HDC dc, const PlotArea& area, const Axis& values, const Axis& times, const char* unit)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int textHeight = metrics.tmHeight;
    {
        PenScope grid(dc, kChartGrid);
        for (double tick : values.ticks) {
            int y = ValueY(tick, values, area);
            Line(dc, area.left, y, area.right, y);
        }
        for (double tick : times.ticks) {
            int x = AxisX(tick, times, area);
            Line(dc, x, area.top, x, area.bottom);
        }
    }
    {
        PenScope axis(dc, kChartAxis);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, area.left - 1, area.top - 1, area.right + 1, area.bottom + 1);
        SelectObject(dc, oldBrush);
    }
    UINT oldAlign = SetTextAlign(dc, TA_RIGHT | TA_TOP);
    for (double tick : values.ticks)
        Text(dc, area.left - 6, ValueY(tick, values, area) - textHeight / 2, TickLabel(tick, values));
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    for (double tick : times.ticks)
        Text(dc, AxisX(tick, times, area), area.bottom + 3, TickLabel(tick, times));
    std::wstring caption = L"时间 time (";
    caption += unit[0] == 's' ? L"s" : L"min";
    caption += m_model->Paused() ? L", 0 = 暂停时 when paused)" : L", 0 = 现在 now)";
    Text(dc, area.left + area.Width() / 2, area.bottom + 3 + textHeight, caption.c_str());
    SetTextAlign(dc, oldAlign);
}

void CChartView::PaintTraces(HDC dc, const PlotArea& area, const Axis& values,
                             const std::vector<std::vector<Column>>& shown)
{
    int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    for (size_t i = 0; i < shown.size(); ++i) {
        uint32_t colour = TraceColour(m_model->Traces()[i].colour);
        PenScope pen(dc, colour);
        for (const std::vector<PlotPoint>& points : TraceLines(shown[i], values, area)) {
            if (points.size() == 1) {
                FillBox(dc, points[0].x - 1, points[0].y - 1, points[0].x + 2, points[0].y + 2, colour);
                continue;
            }
            std::vector<POINT> line(points.size());
            for (size_t k = 0; k < points.size(); ++k) {
                line[k].x = points[k].x;
                line[k].y = points[k].y;
            }
            Polyline(dc, line.data(), static_cast<int>(line.size()));
        }
    }
    RestoreDC(dc, saved);
}

void CChartView::PaintLegend(HDC dc, const PlotArea& area)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int y = std::max(2, (area.top - static_cast<int>(metrics.tmHeight)) / 2);
    int x = area.left;
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (size_t i = 0; i < m_model->Traces().size(); ++i) {
        const Trace& trace = m_model->Traces()[i];
        uint32_t colour = TraceColour(trace.colour);
        FillBox(dc, x, y + metrics.tmHeight / 2 - 2, x + 14, y + metrics.tmHeight / 2 + 2, colour);
        x += 18;
        std::wstring name = WideFromUtf8(m_model->TraceName(i));
        SetTextColor(dc, Colour(colour));
        Text(dc, x, y, name.c_str());
        x += TextWidth(dc, name.c_str());
        const wchar_t* note = ClassifyCode(trace.code) == kStringPayload ? L" (文本, 不画 text, not drawn)"
                            : trace.ring.Size() == 0 ? L" (无数据 no data)" : L"";
        if (*note != L'\0') {
            SetTextColor(dc, Colour(kChartText));
            Text(dc, x, y, note);
            x += TextWidth(dc, note);
        }
        x += 16;
    }
    // What the chart is doing, at the right end.
    std::wstring state;
    if (m_model->Paused())
        state += L"已暂停 paused";
    if (m_model->ScaleFixed())
        state += state.empty() ? L"固定刻度 fixed scale" : L" · 固定刻度 fixed scale";
    if (!state.empty()) {
        SetTextColor(dc, Colour(kChartText));
        SetTextAlign(dc, TA_RIGHT | TA_TOP);
        Text(dc, area.right, y, state.c_str());
    }
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, Colour(kChartText));
}

void CChartView::PaintCursor(HDC dc, const PlotArea& area, const std::vector<std::vector<Column>>& shown)
{
    if (!m_cursorShown || m_cursor.x < area.left || m_cursor.x >= area.right || m_cursor.y < area.top ||
        m_cursor.y >= area.bottom)
        return;
    {
        PenScope pen(dc, kChartCursor);
        Line(dc, m_cursor.x, area.top, m_cursor.x, area.bottom);
    }
    CursorReading reading = m_model->ReadAt(shown, static_cast<size_t>(m_cursor.x - area.left));
    std::vector<std::wstring> lines;
    lines.push_back(WideFromUtf8(FormatText("t = -%.3f s", reading.secondsBack)));
    for (size_t i = 0; i < reading.values.size(); ++i) {
        // The name without its unit: the value says it.
        std::string name = m_model->TraceName(i);
        name = name.substr(0, name.find(" ["));
        lines.push_back(WideFromUtf8(name + ": " + reading.values[i]));
    }

    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    int boxWidth = 0;
    for (const std::wstring& line : lines)
        boxWidth = std::max(boxWidth, TextWidth(dc, line.c_str()));
    boxWidth += 8;
    int boxHeight = static_cast<int>(lines.size()) * metrics.tmHeight + 6;
    int x = m_cursor.x + 8 + boxWidth <= area.right ? m_cursor.x + 8 : m_cursor.x - 8 - boxWidth;
    int y = area.top + 4;
    FillBox(dc, x, y, x + boxWidth, y + boxHeight, kChartBackground);
    {
        PenScope pen(dc, kChartAxis);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, x, y, x + boxWidth, y + boxHeight);
        SelectObject(dc, oldBrush);
    }
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (size_t i = 0; i < lines.size(); ++i) {
        SetTextColor(dc, Colour(i == 0 ? kChartText : TraceColour(m_model->Traces()[i - 1].colour)));
        Text(dc, x + 4, y + 3 + static_cast<int>(i) * metrics.tmHeight, lines[i].c_str());
    }
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, Colour(kChartText));
}
