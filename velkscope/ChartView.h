// The strip chart: a static control of the scope dialog, subclassed. It
// draws the model's traces over its time window with grid, labelled axes,
// legend and the cursor's reading. One paint function serves WM_PAINT
// (through a memory bitmap, so nothing flickers), WM_PRINTCLIENT and the
// PNG export.
#pragma once
#include <vector>

#include "chart/ChartGeometry.h"
#include "framework/Framework.h"
#include "velkscope/ScopeClock.h"
#include "velkscope/ScopeModel.h"

class CChartView : public CStatic {
public:
    CChartView();
    ~CChartView() override;

    // font: the chart's texts; null draws in the DC's own font.
    void Attach(const ScopeModel* model, const ScopeClock* clock, HFONT font)
    {
        m_model = model;
        m_clock = clock;
        m_font = font;
    }

    // Draws the whole chart into dc over rect (client coordinates).
    void Paint(HDC dc, const RECT& rect);
    // Repaints now; counts the frames.
    void Redraw();
    unsigned long Frames() const { return m_frames; }

    // The value axis as last painted, for fixing the scale.
    const Axis& ShownAxis() const { return m_shownAxis; }

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMouseMove(UINT flags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);

private:
    void PaintGrid(HDC dc, const PlotArea& area, const Axis& values, const Axis& times, const char* unit);
    void PaintTraces(HDC dc, const PlotArea& area, const Axis& values, const std::vector<std::vector<Column>>& shown);
    void PaintLegend(HDC dc, const PlotArea& area);
    void PaintCursor(HDC dc, const PlotArea& area, const std::vector<std::vector<Column>>& shown);

    const ScopeModel* m_model;
    const ScopeClock* m_clock;
    HFONT m_font;
    unsigned long m_frames;
    Axis m_shownAxis;
    bool m_cursorShown;
    POINT m_cursor;
    HBITMAP m_buffer;              // the frame drawn before it is shown
    int m_bufferWidth, m_bufferHeight;

    DECLARE_MESSAGE_MAP()
};
