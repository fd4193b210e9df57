#include "velkscope/ChartView.h"

#include <math.h>

#include <algorithm>
#include <string>

#include "common/FormatText.h"
#include "protocol/MessageCode.h"
#include "windows/WideText.h"
#include "velkscope/PaintHelpers.h"

namespace {

const int kDragSlop = 3;              // pixels a press may move and still be a click
const int kCursorGrip = 4;            // pixels either side of a cursor's line that take it
const double kWheelZoom = 0.8;        // one notch in; out is its inverse
const uint32_t kCursorColours[2] = { 0x000000, 0x707070 };
const uint32_t kTriggerColour = 0xE07000;

void Line(HDC dc, int x1, int y1, int x2, int y2)
{
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
}

void Text(HDC dc, int x, int y, const std::string& text)
{
    std::wstring wide = WideFromUtf8(text);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void Text(HDC dc, int x, int y, const wchar_t* text)
{
    TextOutW(dc, x, y, text, static_cast<int>(wcslen(text)));
}

int TextWidth(HDC dc, const std::wstring& text)
{
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void Frame(HDC dc, int left, int top, int right, int bottom, uint32_t rgb)
{
    HPEN pen = CreatePen(PS_SOLID, 1, Colour(rgb));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, left, top, right, bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

class PenScope {
public:
    PenScope(HDC dc, uint32_t rgb, int style = PS_SOLID)
        : dc_(dc), pen_(CreatePen(style, 1, Colour(rgb))), old_(SelectObject(dc, pen_)) {}
    ~PenScope() { SelectObject(dc_, old_); DeleteObject(pen_); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;

private:
    HDC dc_;
    HPEN pen_;
    HGDIOBJ old_;
};

void Polylines(HDC dc, const std::vector<std::vector<PlotPoint>>& lines, uint32_t colour)
{
    PenScope pen(dc, colour);
    for (const std::vector<PlotPoint>& points : lines) {
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

bool Inside(const PlotArea& area, POINT point)
{
    return point.x >= area.left && point.x < area.right && point.y >= area.top && point.y < area.bottom;
}

} // namespace

CChartView::CChartView()
    : m_model(nullptr), m_host(nullptr), m_font(nullptr), m_frames(0), m_from(0), m_to(1), m_cursorShown(false),
      m_cursor(), m_drag(kDragNone), m_dragStart(), m_dragAt(), m_dragItem(0), m_dragFrom(0), m_dragTo(0),
      m_dragOffset(0), m_selected(-1), m_activeCursor(0), m_buffer(nullptr), m_bufferWidth(0), m_bufferHeight(0)
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
    ON_MESSAGE(WM_LBUTTONDOWN, OnButtonDown)
    ON_MESSAGE(WM_LBUTTONUP, OnButtonUp)
    ON_MESSAGE(WM_RBUTTONDOWN, OnRightDown)
    ON_MESSAGE(WM_RBUTTONUP, OnRightUp)
    ON_MESSAGE(WM_MOUSEWHEEL, OnWheel)
    ON_MESSAGE(WM_KEYDOWN, OnKeyDown)
    ON_MESSAGE(WM_GETDLGCODE, OnGetDlgCode)
    ON_MESSAGE(WM_CAPTURECHANGED, OnCaptureChanged)
END_MESSAGE_MAP()

void CChartView::Redraw()
{
    if (m_hWnd != nullptr)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CChartView::Changed()
{
    Redraw();
    if (m_host != nullptr)
        m_host->ChartChanged();
}

const Axis& CChartView::ShownAxis() const
{
    static const Axis none;
    const size_t pane = m_model != nullptr ? m_model->ActivePane() : 0;
    return pane < m_axes.size() ? m_axes[pane] : none;
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

void CChartView::Paint(HDC dc, const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    FillBox(dc, rect.left, rect.top, rect.right, rect.bottom, kChartBackground);
    m_areas.clear();
    m_axes.clear();
    m_legend.clear();
    if (m_model == nullptr || m_host == nullptr || width <= 0 || height <= 0)
        return;
    const int64_t now = m_host->ChartNow();
    m_model->View(now, &m_from, &m_to);
    HGDIOBJ oldFont = m_font != nullptr ? SelectObject(dc, m_font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Colour(kChartText));
    const size_t panes = m_model->Panes().size();
    for (size_t p = 0; p < panes; ++p)
        m_areas.push_back(PaneAreaOf(width, height, panes, p));
    m_axes.resize(panes);
    for (size_t p = 0; p < panes; ++p)
        PaintPane(dc, p, m_areas[p], now, p + 1 == panes);
    PaintReading(dc);
    PaintDrag(dc);
    if (oldFont != nullptr)
        SelectObject(dc, oldFont);
}

void CChartView::PaintPane(HDC dc, size_t pane, const PlotArea& area, int64_t now, bool last)
{
    std::vector<size_t> traces;
    for (size_t i = 0; i < m_model->Traces().size(); ++i) {
        if (m_model->Traces()[i].pane == pane)
            traces.push_back(i);
    }
    if (m_model->Panes()[pane].xTrace >= 0) {
        PaintXY(dc, pane, area, now, traces);
        PaintLegend(dc, pane, area, traces);
        return;
    }
    std::vector<std::vector<Column>> shown, numbers;
    for (size_t trace : traces) {
        shown.push_back(m_model->TraceColumns(trace, now, static_cast<size_t>(area.Width())));
        if (!m_model->IsEvents(trace))
            numbers.push_back(shown.back());
    }
    const Axis values = m_model->ValueAxis(pane, numbers, std::max(2, std::min(9, area.Height() / 28)));
    m_axes[pane] = values;
    const TimeScale times = m_model->TimeScaleOf(now, std::max(2, area.Width() / 70));
    PaintGrid(dc, area, values, times, last);
    {
        int saved = SaveDC(dc);
        IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
        for (size_t k = 0; k < traces.size(); ++k) {
            if (m_model->IsEvents(traces[k]))
                PaintEvents(dc, traces[k], area, shown[k]);
            else
                PaintTrace(dc, traces[k], area, values, shown[k]);
        }
        PaintMarks(dc, area, m_from, m_to);
        RestoreDC(dc, saved);
    }
    PaintLegend(dc, pane, area, traces);
}

void CChartView::PaintGrid(HDC dc, const PlotArea& area, const Axis& values, const TimeScale& times, bool caption)
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
        for (double tick : times.axis.ticks) {
            int x = AxisX(tick, times.axis, area);
            Line(dc, x, area.top, x, area.bottom);
        }
    }
    Frame(dc, area.left - 1, area.top - 1, area.right + 1, area.bottom + 1, kChartAxis);
    UINT oldAlign = SetTextAlign(dc, TA_RIGHT | TA_TOP);
    for (double tick : values.ticks)
        Text(dc, area.left - 6, ValueY(tick, values, area) - textHeight / 2, TickLabel(tick, values));
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    for (double tick : times.axis.ticks)
        Text(dc, AxisX(tick, times.axis, area), area.bottom + 3, m_model->TimeLabel(times, tick));
    if (caption)
        Text(dc, area.left + area.Width() / 2, area.bottom + 3 + textHeight, times.caption);
    SetTextAlign(dc, oldAlign);
}

void CChartView::PaintTrace(HDC dc, size_t trace, const PlotArea& area, const Axis& values,
                            const std::vector<Column>& columns)
{
    const uint32_t colour = TraceColour(m_model->Traces()[trace].colour);
    const Signal* signal = m_model->TraceSignal(trace);
    if (signal == nullptr || signal->enums.empty()) {
        Polylines(dc, TraceLines(columns, values, area), colour);
        return;
    }
    // An enum holds its value to the next sample: steps, each change
    // labelled with its name where there is room.
    Polylines(dc, StepLines(columns, values, area), colour);
    SetTextColor(dc, Colour(colour));
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_BOTTOM);
    int freeFrom = area.left;
    bool any = false;
    double previous = 0;
    for (size_t p = 0; p < columns.size(); ++p) {
        if (columns[p].count == 0)
            continue;
        const double value = columns[p].last;
        if (any && value == previous && columns[p].min == columns[p].max)
            continue;
        any = true;
        previous = value;
        const int x = area.left + static_cast<int>(p);
        if (x < freeFrom)
            continue;
        const std::string* name = EnumNameAt(*signal, value);
        const std::wstring label = WideFromUtf8(name != nullptr ? *name : NumberText(value));
        Text(dc, x + 2, ValueY(value, values, area) - 1, label.c_str());
        freeFrom = x + TextWidth(dc, label) + 8;
    }
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, Colour(kChartText));
}

// A string message is an event: a mark at the foot of the pane, its text on hover.
void CChartView::PaintEvents(HDC dc, size_t trace, const PlotArea& area, const std::vector<Column>& columns)
{
    const uint32_t colour = TraceColour(m_model->Traces()[trace].colour);
    PenScope pen(dc, colour);
    const int height = std::min(14, area.Height() / 3);
    for (size_t p = 0; p < columns.size(); ++p) {
        if (columns[p].count == 0)
            continue;
        const int x = area.left + static_cast<int>(p);
        Line(dc, x, area.bottom - 1 - height, x, area.bottom);
        if (columns[p].count > 1)
            FillBox(dc, x - 1, area.bottom - 1 - height, x + 2, area.bottom - height + 2, colour);
    }
}

// The trigger marks of the recordings and the cursors, across the pane.
void CChartView::PaintMarks(HDC dc, const PlotArea& area, int64_t from, int64_t to)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (size_t s = 0; s < m_model->Sources().size(); ++s) {
        const int64_t origin = m_model->Origin(s);
        for (int64_t trigger : m_model->Sources()[s]->triggers) {
            const int64_t at = trigger + origin;
            if (at < from || at > to)
                continue;
            const int x = XOfTime(at);
            PenScope pen(dc, kTriggerColour, PS_DOT);
            Line(dc, x, area.top, x, area.bottom);
            SetTextColor(dc, Colour(kTriggerColour));
            Text(dc, x + 2, area.top + 1, L"T");
        }
    }
    static const wchar_t* kNames[2] = { L"A", L"B" };
    for (size_t which = 0; which < 2; ++which) {
        if (!m_model->CursorSet(which) || m_model->Cursor(which) < from || m_model->Cursor(which) > to)
            continue;
        const int x = XOfTime(m_model->Cursor(which));
        PenScope pen(dc, kCursorColours[which], which == 0 ? PS_SOLID : PS_DASH);
        Line(dc, x, area.top, x, area.bottom);
        SetTextColor(dc, Colour(kCursorColours[which]));
        Text(dc, x + 2, area.top + 1 + (which == 0 ? 0 : metrics.tmHeight), kNames[which]);
    }
    SetTextColor(dc, Colour(kChartText));
    SetTextAlign(dc, oldAlign);
}

void CChartView::PaintLegend(HDC dc, size_t pane, const PlotArea& area, const std::vector<size_t>& traces)
{
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int height = static_cast<int>(metrics.tmHeight);
    const int y = area.top - kMarginTop + std::max(2, (kMarginTop - height) / 2);
    int x = area.left;
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    const int xTrace = m_model->Panes()[pane].xTrace;
    // What the chart is doing, at the right end of the first pane.
    std::wstring state;
    if (pane == 0 && m_model->Paused() && m_model->Recordings() == 0)
        state += L"\x5DF2\x6682\x505C paused";
    if (m_model->Panes()[pane].fixed)
        state += state.empty() ? L"\x56FA\x5B9A\x523B\x5EA6 fixed scale" : L" \x00B7 \x56FA\x5B9A\x523B\x5EA6 fixed scale";
    const int right = area.right - (state.empty() ? 0 : TextWidth(dc, state) + 16);
    for (size_t k = 0; k < traces.size(); ++k) {
        const size_t trace = traces[k];
        const uint32_t colour = TraceColour(m_model->Traces()[trace].colour);
        const int start = x;
        std::wstring name = WideFromUtf8(m_model->TraceName(trace));
        if (static_cast<int>(trace) == xTrace)
            name = L"X: " + name;
        const wchar_t* note = m_model->IsEvents(trace) ? L" (\x4E8B\x4EF6 events)"
                            : m_model->TraceSamples(trace) == 0 ? L" (\x65E0\x6570\x636E no data)" : L"";
        // What does not fit is counted: the readout and the hover name every trace.
        const int width = 18 + TextWidth(dc, name) + TextWidth(dc, note);
        if (x + width > right && k > 0) {
            SetTextColor(dc, Colour(kChartText));
            Text(dc, x, y, WideFromUtf8(FormatText("+%zu", traces.size() - k)).c_str());
            break;
        }
        FillBox(dc, x, y + metrics.tmHeight / 2 - 2, x + 14, y + metrics.tmHeight / 2 + 2, colour);
        x += 18;
        SetTextColor(dc, Colour(colour));
        Text(dc, x, y, name.c_str());
        x += TextWidth(dc, name);
        if (*note != L'\0') {
            SetTextColor(dc, Colour(kChartText));
            Text(dc, x, y, note);
            x += TextWidth(dc, note);
        }
        RECT box = { start, y, x, y + metrics.tmHeight };
        m_legend.push_back(LegendEntry{ box, trace });
        if (static_cast<int>(trace) == m_selected)
            Frame(dc, start - 2, y - 1, x + 2, y + metrics.tmHeight + 1, kChartAxis);
        x += 16;
    }
    if (!state.empty()) {
        SetTextColor(dc, Colour(kChartText));
        SetTextAlign(dc, TA_RIGHT | TA_TOP);
        Text(dc, area.right, y, state.c_str());
    }
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, Colour(kChartText));
}

// XY: each trace of the pane against the x trace's value in force, over the
// view: a point per pixel column of the time axis with samples of both.
void CChartView::PaintXY(HDC dc, size_t pane, const PlotArea& area, int64_t now, const std::vector<size_t>& traces)
{
    const size_t xTrace = static_cast<size_t>(m_model->Panes()[pane].xTrace);
    const size_t columns = static_cast<size_t>(area.Width()) * 2;
    const std::vector<Column> xs = m_model->TraceColumns(xTrace, now, columns);
    std::vector<std::vector<Column>> ys;
    std::vector<size_t> drawn;
    for (size_t trace : traces) {
        if (trace != xTrace && !m_model->IsEvents(trace)) {
            ys.push_back(m_model->TraceColumns(trace, now, columns));
            drawn.push_back(trace);
        }
    }
    const int ticks = std::max(2, std::min(9, area.Height() / 28));
    const Axis values = m_model->ValueAxis(pane, ys, ticks);
    m_axes[pane] = values;
    double low = 0, high = 0;
    const bool any = ColumnRange(xs, &low, &high);
    const Axis across = NiceAxis(any ? low : 0, any ? high : 1, std::max(2, area.Width() / 70), WholeColumns(xs) ? 1 : 0);
    // The grid with the x trace's values along the bottom.
    TimeScale scale;
    scale.axis = across;
    scale.caption = "X: " + m_model->TraceName(xTrace);
    {
        PenScope grid(dc, kChartGrid);
        for (double tick : values.ticks)
            Line(dc, area.left, ValueY(tick, values, area), area.right, ValueY(tick, values, area));
        for (double tick : across.ticks)
            Line(dc, AxisX(tick, across, area), area.top, AxisX(tick, across, area), area.bottom);
    }
    Frame(dc, area.left - 1, area.top - 1, area.right + 1, area.bottom + 1, kChartAxis);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    UINT oldAlign = SetTextAlign(dc, TA_RIGHT | TA_TOP);
    for (double tick : values.ticks)
        Text(dc, area.left - 6, ValueY(tick, values, area) - metrics.tmHeight / 2, TickLabel(tick, values));
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    for (double tick : across.ticks)
        Text(dc, AxisX(tick, across, area), area.bottom + 3, TickLabel(tick, across));
    Text(dc, area.left + area.Width() / 2, area.bottom + 3 + metrics.tmHeight, scale.caption);
    SetTextAlign(dc, oldAlign);

    int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    for (size_t k = 0; k < ys.size(); ++k) {
        std::vector<std::vector<PlotPoint>> lines(1);
        bool hasX = false;
        double x = 0;
        for (size_t p = 0; p < columns; ++p) {
            if (xs[p].count != 0) {
                hasX = true;
                x = xs[p].last;
            }
            if (ys[k][p].count == 0 || !hasX)
                continue;
            PlotPoint point = { AxisX(x, across, area), ValueY(ys[k][p].last, values, area) };
            if (lines[0].empty() || lines[0].back().x != point.x || lines[0].back().y != point.y)
                lines[0].push_back(point);
        }
        if (!lines[0].empty())
            Polylines(dc, lines, TraceColour(m_model->Traces()[drawn[k]].colour));
    }
    RestoreDC(dc, saved);
}

// The value of each trace of the pane under the mouse, and an event's text.
void CChartView::PaintReading(HDC dc)
{
    if (!m_cursorShown || m_drag != kDragNone)
        return;
    const int pane = PaneAt(m_cursor.y);
    if (pane < 0 || !Inside(m_areas[static_cast<size_t>(pane)], m_cursor) || m_model->Panes()[static_cast<size_t>(pane)].xTrace >= 0)
        return;
    const PlotArea& area = m_areas[static_cast<size_t>(pane)];
    {
        PenScope pen(dc, kChartCursor);
        Line(dc, m_cursor.x, area.top, m_cursor.x, area.bottom);
    }
    const int64_t now = m_host->ChartNow();
    // Columns for the pane's traces only; the others' stay empty.
    std::vector<size_t> traces;
    std::vector<std::vector<Column>> shown(m_model->Traces().size());
    for (size_t i = 0; i < m_model->Traces().size(); ++i) {
        if (m_model->Traces()[i].pane == static_cast<size_t>(pane)) {
            traces.push_back(i);
            shown[i] = m_model->TraceColumns(i, now, static_cast<size_t>(area.Width()));
        }
    }
    const CursorReading reading = m_model->ReadAt(shown, static_cast<size_t>(m_cursor.x - area.left), now);
    std::vector<std::wstring> lines;
    lines.push_back(WideFromUtf8(m_model->FormatTime(now, TimeAtX(m_cursor.x))));
    std::vector<uint32_t> colours(1, kChartText);
    for (size_t trace : traces) {
        std::string name = m_model->TraceName(trace);
        name = name.substr(0, name.find(" ["));   // the value says the unit
        std::string value = reading.values[trace];
        if (m_model->IsEvents(trace)) {
            // The text of the string nearest the pointer, within a few pixels.
            value = m_host->EventText(trace, TimeAtX(m_cursor.x - 3), TimeAtX(m_cursor.x + 3));
            if (value.empty())
                continue;
        }
        lines.push_back(WideFromUtf8(name + ": " + value));
        colours.push_back(TraceColour(m_model->Traces()[trace].colour));
    }
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    int boxWidth = 0;
    for (const std::wstring& line : lines)
        boxWidth = std::max(boxWidth, TextWidth(dc, line));
    boxWidth += 8;
    const int boxHeight = static_cast<int>(lines.size()) * metrics.tmHeight + 6;
    const int x = m_cursor.x + 8 + boxWidth <= area.right ? m_cursor.x + 8 : m_cursor.x - 8 - boxWidth;
    const int y = area.top + 4;
    FillBox(dc, x, y, x + boxWidth, y + boxHeight, kChartBackground);
    Frame(dc, x, y, x + boxWidth, y + boxHeight, kChartAxis);
    UINT oldAlign = SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (size_t i = 0; i < lines.size(); ++i) {
        SetTextColor(dc, Colour(colours[i]));
        Text(dc, x + 4, y + 3 + static_cast<int>(i) * metrics.tmHeight, lines[i].c_str());
    }
    SetTextAlign(dc, oldAlign);
    SetTextColor(dc, Colour(kChartText));
}

void CChartView::PaintDrag(HDC dc)
{
    if (m_drag == kDragBox) {
        Frame(dc, std::min(m_dragStart.x, m_dragAt.x), std::min(m_dragStart.y, m_dragAt.y),
              std::max(m_dragStart.x, m_dragAt.x) + 1, std::max(m_dragStart.y, m_dragAt.y) + 1, kChartAxis);
    } else if (m_drag == kDragLegend) {
        // Where the trace goes: the pane under the pointer, or a new one below.
        const int pane = PaneAt(m_dragAt.y);
        if (pane >= 0)
            Frame(dc, m_areas[static_cast<size_t>(pane)].left - 3, m_areas[static_cast<size_t>(pane)].top - 3,
                  m_areas[static_cast<size_t>(pane)].right + 3, m_areas[static_cast<size_t>(pane)].bottom + 3, kChartAxis);
        const std::wstring name = WideFromUtf8(m_model->TraceName(m_dragItem));
        SetTextColor(dc, Colour(TraceColour(m_model->Traces()[m_dragItem].colour)));
        Text(dc, m_dragAt.x + 8, m_dragAt.y, name.c_str());
        SetTextColor(dc, Colour(kChartText));
    }
}

int CChartView::PaneAt(int y) const
{
    for (size_t p = 0; p < m_areas.size(); ++p) {
        const int top = m_areas[p].top - kMarginTop, bottom = m_areas[p].bottom + kMarginBottom;
        if (y >= top && y < bottom)
            return static_cast<int>(p);
    }
    return -1;
}

int64_t CChartView::TimeAtX(int x) const
{
    if (m_areas.empty())
        return m_from;
    const PlotArea& area = m_areas.front();
    const double span = static_cast<double>(m_to + 1 - m_from);
    return m_from + static_cast<int64_t>(floor((x - area.left + 0.5) * span / std::max(area.Width(), 1)));
}

int CChartView::XOfTime(int64_t micros) const
{
    if (m_areas.empty())
        return 0;
    const PlotArea& area = m_areas.front();
    const double span = static_cast<double>(m_to + 1 - m_from);
    const double x = area.left + static_cast<double>(micros - m_from) * area.Width() / span;
    return static_cast<int>(floor(std::min(std::max(x, -1e6), 1e6)));
}

// ---- The mouse. ----

void CChartView::OnMouseMove(UINT, POINT point)
{
    if (!m_cursorShown) {
        TRACKMOUSEEVENT track = { sizeof track, TME_LEAVE, m_hWnd, 0 };
        TrackMouseEvent(&track);
        m_cursorShown = true;
    }
    m_cursor = point;
    if (m_drag == kDragNone) {
        Redraw();
        return;
    }
    m_dragAt = point;
    const PlotArea& area = m_areas.empty() ? PlotAreaOf(1, 1) : m_areas.front();
    const double span = static_cast<double>(m_dragTo - m_dragFrom);
    const int64_t shift = static_cast<int64_t>((m_dragStart.x - point.x) * span / std::max(area.Width(), 1));
    if (m_drag == kDragPan && std::abs(point.x - m_dragStart.x) > kDragSlop) {
        m_model->SetView(m_dragFrom + shift, m_dragTo + shift);
        Changed();
    } else if (m_drag == kDragCursor) {
        m_model->SetCursor(m_dragItem, TimeAtX(point.x));
        Changed();
    } else if (m_drag == kDragOffset && m_selected >= 0) {
        m_model->SetOffset(m_model->Traces()[static_cast<size_t>(m_selected)].source, m_dragOffset - shift);
        Changed();
    } else {
        Redraw();
    }
}

LRESULT CChartView::OnMouseLeave(WPARAM, LPARAM)
{
    m_cursorShown = false;
    Redraw();
    return 0;
}

LRESULT CChartView::OnButtonDown(WPARAM, LPARAM lParam)
{
    SetFocus(m_hWnd);
    if (m_model == nullptr)
        return 0;
    const POINT point = AfxPointOf(lParam);
    m_dragStart = m_dragAt = point;
    m_model->View(m_host->ChartNow(), &m_dragFrom, &m_dragTo);
    m_drag = kDragPan;
    for (const LegendEntry& entry : m_legend) {
        if (point.x >= entry.box.left && point.x < entry.box.right && point.y >= entry.box.top && point.y < entry.box.bottom) {
            m_drag = kDragLegend;
            m_dragItem = entry.trace;
            m_selected = static_cast<int>(entry.trace);
        }
    }
    for (size_t which = 0; which < 2 && m_drag == kDragPan; ++which) {
        if (m_model->CursorSet(which) && std::abs(XOfTime(m_model->Cursor(which)) - point.x) <= kCursorGrip &&
            PaneAt(point.y) >= 0) {
            m_drag = kDragCursor;
            m_dragItem = which;
            m_activeCursor = which;
        }
    }
    if (m_drag == kDragPan && GetKeyState(VK_MENU) < 0 && m_selected >= 0) {
        m_drag = kDragOffset;
        m_dragOffset = m_model->Sources()[m_model->Traces()[static_cast<size_t>(m_selected)].source]->offsetMicros;
    }
    SetCapture(m_hWnd);
    return 0;
}

LRESULT CChartView::OnButtonUp(WPARAM, LPARAM lParam)
{
    const POINT point = AfxPointOf(lParam);
    const Drag drag = m_drag;
    m_drag = kDragNone;
    ReleaseCapture();
    if (m_model == nullptr)
        return 0;
    const bool click = std::abs(point.x - m_dragStart.x) <= kDragSlop && std::abs(point.y - m_dragStart.y) <= kDragSlop;
    const int pane = PaneAt(point.y);
    if (drag == kDragLegend) {
        if (!click) {
            // Below the panes, or past the last one: a new pane.
            const size_t to = pane >= 0 ? static_cast<size_t>(pane) : m_model->Panes().size();
            if (pane >= 0 || point.y >= (m_areas.empty() ? 0 : m_areas.back().bottom))
                m_model->MoveTrace(m_dragItem, to);
            m_selected = -1;
        } else if (pane >= 0) {
            m_model->SetActivePane(static_cast<size_t>(pane));
        }
        Changed();
    } else if (drag == kDragPan && click && pane >= 0) {
        m_model->SetActivePane(static_cast<size_t>(pane));
        m_model->SetCursor(0, TimeAtX(point.x));
        m_activeCursor = 0;
        Changed();
    } else if (drag != kDragNone) {
        Changed();
    }
    return 0;
}

LRESULT CChartView::OnRightDown(WPARAM, LPARAM lParam)
{
    SetFocus(m_hWnd);
    if (m_model == nullptr)
        return 0;
    m_dragStart = m_dragAt = AfxPointOf(lParam);
    m_drag = kDragBox;
    SetCapture(m_hWnd);
    return 0;
}

LRESULT CChartView::OnRightUp(WPARAM, LPARAM lParam)
{
    const POINT point = AfxPointOf(lParam);
    const bool box = m_drag == kDragBox;
    m_drag = kDragNone;
    ReleaseCapture();
    const int pane = PaneAt(m_dragStart.y);
    if (!box || m_model == nullptr || pane < 0)
        return 0;
    if (std::abs(point.x - m_dragStart.x) <= kDragSlop && std::abs(point.y - m_dragStart.y) <= kDragSlop) {
        m_model->SetCursor(1, TimeAtX(point.x));
        m_activeCursor = 1;
    } else {
        // The box's times and, in its pane, its values.
        const PlotArea& area = m_areas[static_cast<size_t>(pane)];
        const Axis& axis = m_axes[static_cast<size_t>(pane)];
        const int top = std::max(static_cast<int>(std::min(point.y, m_dragStart.y)), area.top);
        const int bottom = std::min(static_cast<int>(std::max(point.y, m_dragStart.y)), area.bottom - 1);
        auto valueAt = [&](int y) {
            return axis.low + (axis.high - axis.low) * (area.bottom - 1 - y) / std::max(area.Height() - 1, 1);
        };
        if (std::abs(point.x - m_dragStart.x) > kDragSlop)
            m_model->SetView(TimeAtX(std::min(point.x, m_dragStart.x)), TimeAtX(std::max(point.x, m_dragStart.x)));
        if (bottom - top > kDragSlop && m_model->Panes()[static_cast<size_t>(pane)].xTrace < 0) {
            Axis fixed;
            fixed.low = valueAt(bottom);
            fixed.high = valueAt(top);
            if (fixed.high > fixed.low)
                m_model->SetPaneScale(static_cast<size_t>(pane), &fixed);
        }
    }
    Changed();
    return 0;
}

LRESULT CChartView::OnCaptureChanged(WPARAM, LPARAM)
{
    if (m_drag != kDragNone) {
        m_drag = kDragNone;
        Redraw();
    }
    return 0;
}

LRESULT CChartView::OnWheel(WPARAM wParam, LPARAM lParam)
{
    if (m_model == nullptr || m_areas.empty())
        return 0;
    POINT point = AfxPointOf(lParam);   // screen coordinates
    ScreenToClient(m_hWnd, &point);
    const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
    if (notches == 0)
        return 0;
    const double factor = pow(kWheelZoom, notches);
    const int pane = PaneAt(point.y);
    if ((LOWORD(wParam) & MK_CONTROL) != 0) {
        if (pane < 0)
            return 0;
        const PlotArea& area = m_areas[static_cast<size_t>(pane)];
        const Axis& axis = m_axes[static_cast<size_t>(pane)];
        const double value = axis.low + (axis.high - axis.low) * (area.bottom - 1 - point.y) / std::max(area.Height() - 1, 1);
        m_model->SetPaneScale(static_cast<size_t>(pane), &axis);
        m_model->ZoomValues(static_cast<size_t>(pane), value, factor);
    } else {
        const int x = std::min(std::max(static_cast<int>(point.x), m_areas.front().left), m_areas.front().right - 1);
        m_model->ZoomTime(m_host->ChartNow(), TimeAtX(x), factor);
    }
    Changed();
    return 0;
}

// ---- Keys. ----

LRESULT CChartView::OnGetDlgCode(WPARAM, LPARAM)
{
    return DLGC_WANTARROWS | DLGC_WANTCHARS;
}

LRESULT CChartView::OnKeyDown(WPARAM wParam, LPARAM)
{
    if (!Key(static_cast<UINT>(wParam), GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0))
        return Default();
    return 0;
}

bool CChartView::Key(UINT key, bool control, bool shift)
{
    if (m_model == nullptr || m_host == nullptr)
        return false;
    const int64_t now = m_host->ChartNow();
    int64_t from = 0, to = 0;
    m_model->View(now, &from, &to);
    const int width = m_areas.empty() ? 1 : std::max(m_areas.front().Width(), 1);
    switch (key) {
    case VK_HOME:
        m_model->ShowAll(now);
        break;
    case VK_LEFT:
    case VK_RIGHT:
        if (control) {
            const int64_t step = std::max<int64_t>((to - from) / width, 1) * (shift ? 10 : 1);
            const int64_t at = m_model->CursorSet(m_activeCursor) ? m_model->Cursor(m_activeCursor) : from / 2 + to / 2;
            m_model->SetCursor(m_activeCursor, at + (key == VK_LEFT ? -step : step));
        } else {
            m_model->PanTime(now, key == VK_LEFT ? -0.1 : 0.1);
        }
        break;
    case VK_PRIOR:
    case VK_NEXT:
        m_model->PanTime(now, key == VK_PRIOR ? -1.0 : 1.0);
        break;
    case VK_UP:
    case VK_DOWN:
        m_model->ZoomTime(now, from / 2 + to / 2, key == VK_UP ? 0.5 : 2.0);
        break;
    case 'A':
    case 'B':
        if (control)
            return false;
        m_activeCursor = key == 'A' ? 0 : 1;
        if (!m_model->CursorSet(m_activeCursor) || m_model->Cursor(m_activeCursor) < from || m_model->Cursor(m_activeCursor) > to)
            m_model->SetCursor(m_activeCursor, from / 2 + to / 2);
        break;
    case VK_DELETE:
        m_model->ClearCursors();
        break;
    default:
        return false;
    }
    Changed();
    return true;
}
