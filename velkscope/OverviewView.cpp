#include "velkscope/OverviewView.h"

#include <algorithm>

#include "chart/ChartGeometry.h"
#include "velkscope/PaintHelpers.h"

namespace {

const uint32_t kShownFill = 0xDCE6F5;   // the stretch in view

} // namespace

COverviewView::COverviewView()
    : m_model(nullptr), m_host(nullptr), m_from(0), m_to(1), m_left(0), m_right(1), m_dragging(false)
{
}

COverviewView::~COverviewView()
{
}

BEGIN_MESSAGE_MAP(COverviewView, CStatic)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_MOUSEMOVE()
    ON_MESSAGE(WM_PRINTCLIENT, OnPrintClient)
    ON_MESSAGE(WM_LBUTTONDOWN, OnButtonDown)
    ON_MESSAGE(WM_LBUTTONUP, OnButtonUp)
END_MESSAGE_MAP()

void COverviewView::Redraw()
{
    if (m_hWnd != nullptr)
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void COverviewView::OnPaint()
{
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    // Small enough to draw straight to the screen.
    Paint(dc, client);
}

BOOL COverviewView::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

LRESULT COverviewView::OnPrintClient(WPARAM wParam, LPARAM)
{
    RECT client;
    GetClientRect(&client);
    Paint(reinterpret_cast<HDC>(wParam), client);
    return 0;
}

void COverviewView::Paint(HDC dc, const RECT& rect)
{
    FillBox(dc, rect.left, rect.top, rect.right, rect.bottom, 0xF4F4F4);
    if (m_model == nullptr || m_host == nullptr)
        return;
    // Lined up with the chart's plot area.
    m_left = rect.left + kMarginLeft;
    m_right = std::max(static_cast<int>(rect.right) - kMarginRight, m_left + 1);
    const int64_t now = m_host->ChartNow();
    int64_t viewFrom = 0, viewTo = 0;
    m_model->View(now, &viewFrom, &viewTo);
    if (!m_model->Extent(now, &m_from, &m_to)) {
        m_from = viewFrom;
        m_to = viewTo;
    }
    m_from = std::min(m_from, viewFrom);
    m_to = std::max(std::max(m_to, viewTo), m_from + 1);
    const double span = static_cast<double>(m_to - m_from);
    const int width = m_right - m_left;
    auto xOf = [&](int64_t t) { return m_left + static_cast<int>(static_cast<double>(t - m_from) * width / span); };
    FillBox(dc, xOf(viewFrom), rect.top, std::max(xOf(viewTo), xOf(viewFrom) + 2), rect.bottom, kShownFill);

    // The first pane's traces, each from its summary over the whole extent.
    PlotArea area = { m_left, rect.top + 2, m_right, rect.bottom - 2 };
    for (size_t i = 0; i < m_model->Traces().size(); ++i) {
        const Trace& trace = m_model->Traces()[i];
        if (trace.pane != 0 || m_model->IsEvents(i))
            continue;
        const SourceData& data = m_model->Sources()[trace.source]->data;
        const size_t summary = data.SummaryOf(trace.code, trace.signal);
        if (summary == kNoSummary)
            continue;
        const int64_t origin = m_model->Origin(trace.source);
        bool coarse = false;
        const std::vector<Column> columns =
            data.Summaries().Columns(summary, m_from - origin, m_to - origin, static_cast<size_t>(width), &coarse);
        double low = 0, high = 0;
        if (!ColumnRange(columns, &low, &high))
            continue;
        const Axis axis = NiceAxis(low, high, 2, 0);
        HPEN pen = CreatePen(PS_SOLID, 1, Colour(TraceColour(trace.colour)));
        HGDIOBJ old = SelectObject(dc, pen);
        for (const std::vector<PlotPoint>& points : TraceLines(columns, axis, area)) {
            std::vector<POINT> line(points.size());
            for (size_t k = 0; k < points.size(); ++k) {
                line[k].x = points[k].x;
                line[k].y = points[k].y;
            }
            if (line.size() == 1)
                SetPixel(dc, line[0].x, line[0].y, Colour(TraceColour(trace.colour)));
            else
                Polyline(dc, line.data(), static_cast<int>(line.size()));
        }
        SelectObject(dc, old);
        DeleteObject(pen);
    }
    HPEN frame = CreatePen(PS_SOLID, 1, Colour(kChartAxis));
    HGDIOBJ oldPen = SelectObject(dc, frame);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, xOf(viewFrom), rect.top, std::max(xOf(viewTo), xOf(viewFrom) + 2) + 1, rect.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(frame);
}

void COverviewView::CentreAt(int x)
{
    if (m_model == nullptr || m_host == nullptr)
        return;
    const int64_t now = m_host->ChartNow();
    int64_t from = 0, to = 0;
    m_model->View(now, &from, &to);
    const double fraction = static_cast<double>(x - m_left) / std::max(m_right - m_left, 1);
    const int64_t centre = m_from + static_cast<int64_t>(fraction * static_cast<double>(m_to - m_from));
    const int64_t half = (to - from) / 2;
    m_model->SetView(centre - half, centre - half + (to - from));
    m_host->ChartChanged();
}

LRESULT COverviewView::OnButtonDown(WPARAM, LPARAM lParam)
{
    m_dragging = true;
    SetCapture(m_hWnd);
    CentreAt(AfxPointOf(lParam).x);
    return 0;
}

void COverviewView::OnMouseMove(UINT, POINT point)
{
    if (m_dragging)
        CentreAt(point.x);
}

LRESULT COverviewView::OnButtonUp(WPARAM, LPARAM)
{
    m_dragging = false;
    ReleaseCapture();
    return 0;
}
