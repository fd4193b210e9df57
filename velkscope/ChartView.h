// The chart: a static control of the scope window, subclassed. It draws the
// model's panes stacked on one time axis (each with its grid, value axis,
// legend and traces), the cursors A and B and the trigger marks, and the
// reading under the mouse. One paint function serves WM_PAINT (through a
// memory bitmap, so nothing flickers), WM_PRINTCLIENT and the PNG export.
//
// The mouse and keys move the view (velkscope/ScopeModel.h): the wheel
// zooms time around the pointer, Ctrl+wheel the values, a drag pans, a
// dragged box (right button) zooms to it; a click places cursor A, a right
// click cursor B, and a cursor is dragged by its line; a legend entry is
// dragged to another pane (below the last: a new one); Alt+drag moves the
// selected trace's recording along the axis. Keys: Home shows everything,
// Left/Right and PgUp/PgDn step, Up/Down zoom, A and B put a cursor in the
// middle and choose it, Ctrl+Left/Right move the chosen cursor a pixel
// (with Shift ten), Delete clears the cursors.
#pragma once
#include <string>
#include <vector>

#include "chart/ChartGeometry.h"
#include "framework/Framework.h"
#include "velkscope/ScopeModel.h"

// What the chart asks of its window.
class ChartHost {
public:
    virtual ~ChartHost() {}
    virtual int64_t ChartNow() const = 0;
    // The view, cursors or panes changed (the readout and overview follow).
    virtual void ChartChanged() = 0;
    // The text of the string message of a trace nearest the axis time, within
    // [from, to]; empty when none.
    virtual std::string EventText(size_t trace, int64_t from, int64_t to) = 0;
};

class CChartView : public CStatic {
public:
    CChartView();
    ~CChartView() override;

    // font: the chart's texts; null draws in the DC's own font.
    void Attach(ScopeModel* model, ChartHost* host, HFONT font)
    {
        m_model = model;
        m_host = host;
        m_font = font;
    }

    // Draws the whole chart into dc over rect (client coordinates).
    void Paint(HDC dc, const RECT& rect);
    // Repaints now; counts the frames.
    void Redraw();
    unsigned long Frames() const { return m_frames; }

    // The active pane's value axis as last painted, for fixing the scale.
    const Axis& ShownAxis() const;
    // The trace chosen by a click on its legend entry; -1: none.
    int SelectedTrace() const { return m_selected; }
    void SelectTrace(int trace) { m_selected = trace; }
    // The cursor the keys move: 0 (A) or 1 (B).
    size_t ActiveCursor() const { return m_activeCursor; }

    // The plot area of each pane as last painted.
    const std::vector<PlotArea>& PaneAreas() const { return m_areas; }
    // The axis time at x, and the x of an axis time, in the plot areas.
    int64_t TimeAtX(int x) const;
    int XOfTime(int64_t micros) const;

    // A key as the chart takes it (the window forwards keys to it).
    bool Key(UINT key, bool control, bool shift);

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMouseMove(UINT flags, POINT point);
    LRESULT OnMouseLeave(WPARAM, LPARAM);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnRightDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnRightUp(WPARAM wParam, LPARAM lParam);
    LRESULT OnWheel(WPARAM wParam, LPARAM lParam);
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetDlgCode(WPARAM wParam, LPARAM lParam);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);

private:
    enum Drag { kDragNone, kDragPan, kDragCursor, kDragLegend, kDragBox, kDragOffset };
    struct LegendEntry {
        RECT box;
        size_t trace;
    };

    void PaintPane(HDC dc, size_t pane, const PlotArea& area, int64_t now, bool last);
    void PaintXY(HDC dc, size_t pane, const PlotArea& area, int64_t now, const std::vector<size_t>& traces);
    void PaintGrid(HDC dc, const PlotArea& area, const Axis& values, const TimeScale& times, bool caption);
    void PaintTrace(HDC dc, size_t trace, const PlotArea& area, const Axis& values, const std::vector<Column>& columns);
    void PaintEvents(HDC dc, size_t trace, const PlotArea& area, const std::vector<Column>& columns);
    void PaintLegend(HDC dc, size_t pane, const PlotArea& area, const std::vector<size_t>& traces);
    void PaintMarks(HDC dc, const PlotArea& area, int64_t from, int64_t to);
    void PaintReading(HDC dc);
    void PaintDrag(HDC dc);

    // The pane under y, or -1 below them all.
    int PaneAt(int y) const;
    void Changed();

    ScopeModel* m_model;
    ChartHost* m_host;
    HFONT m_font;
    unsigned long m_frames;
    std::vector<PlotArea> m_areas;           // per pane, as last painted
    std::vector<Axis> m_axes;                // per pane
    int64_t m_from, m_to;                    // the view as last painted
    std::vector<LegendEntry> m_legend;
    bool m_cursorShown;
    POINT m_cursor;
    Drag m_drag;
    POINT m_dragStart, m_dragAt;
    size_t m_dragItem;                       // the cursor or trace being dragged
    int64_t m_dragFrom, m_dragTo, m_dragOffset;
    int m_selected;
    size_t m_activeCursor;
    HBITMAP m_buffer;                        // the frame drawn before it is shown
    int m_bufferWidth, m_bufferHeight;

    DECLARE_MESSAGE_MAP()
};
