// The overview strip under the chart: every source's extent at a glance,
// the first pane's traces drawn small over it, the stretch in view marked.
// A click centres the view there; dragging the mark moves the view.
#pragma once
#include "framework/Framework.h"
#include "velkscope/ChartView.h"
#include "velkscope/ScopeModel.h"

class COverviewView : public CStatic {
public:
    COverviewView();
    ~COverviewView() override;

    void Attach(ScopeModel* model, ChartHost* host) { m_model = model; m_host = host; }
    void Paint(HDC dc, const RECT& rect);
    void Redraw();
    // The extent drawn at the last paint: [from, to] on the axis.
    void Shown(int64_t* from, int64_t* to) const { *from = m_from; *to = m_to; }

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnMouseMove(UINT flags, POINT point);
    LRESULT OnPrintClient(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnButtonUp(WPARAM wParam, LPARAM lParam);

private:
    // Moves the view so that its middle is at x.
    void CentreAt(int x);

    ScopeModel* m_model;
    ChartHost* m_host;
    int64_t m_from, m_to;
    int m_left, m_right;   // the strip's drawing span in pixels
    bool m_dragging;

    DECLARE_MESSAGE_MAP()
};
