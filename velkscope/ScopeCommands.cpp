// CScopeDlg's controls and menu commands on the chart: the window, pause,
// scales and panes, the x axis, the time's labels, cursors and offsets.
#include "velkscope/ScopeDlg.h"

#include <math.h>
#include <stdio.h>

#include <cmath>

#include "common/FormatText.h"
#include "velkscope/ValueDlg.h"
#include "windows/WideText.h"

// ---- The controls. ----

void CScopeDlg::OnWindowChosen()
{
    HWND combo = ::GetDlgItem(m_hWnd, IDC_WINDOW);
    LRESULT at = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR)
        return;
    int64_t millis = static_cast<int64_t>(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
    m_model.SetWindow(millis * 1000, m_clock.Now());
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnPause()
{
    if (m_model.Paused())
        m_model.Resume();
    else
        m_model.Pause(m_clock.Now());
    SetDlgItemTextW(m_hWnd, IDC_PAUSE, m_model.Paused() ? L"\x7EE7\x7EED Resume" : L"\x6682\x505C Pause");
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnClearChart()
{
    m_model.Clear();
    m_note.clear();
    RefreshList();
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnFixScale()
{
    if (m_model.ScaleFixed()) {
        m_model.FixScale(nullptr);
    } else {
        Axis shown = m_chart.ShownAxis();
        m_model.FixScale(&shown);
    }
    SetDlgItemTextW(m_hWnd, IDC_FIX_SCALE, m_model.ScaleFixed() ? L"\x81EA\x52A8\x523B\x5EA6 Auto scale" : L"\x56FA\x5B9A\x523B\x5EA6 Fix scale");
    m_chart.Redraw();
}

void CScopeDlg::OnShowAll()
{
    m_chart.Key(VK_HOME, false, false);
}

void CScopeDlg::OnNewPane()
{
    if (!m_model.AddPane())
        Note(WideFromUtf8(FormatText("\xE6\x9C\x80\xE5\xA4\x9A %d \xE4\xB8\xAA\xE7\xAA\x97\xE6\xA0\xBC at most %d panes",
                                     static_cast<int>(kMaxPanes), static_cast<int>(kMaxPanes))));
    m_model.SetActivePane(m_model.Panes().size() - 1);
    m_chart.Redraw();
}

void CScopeDlg::OnAutoScale()
{
    m_model.SetPaneScale(m_model.ActivePane(), nullptr);
    m_chart.Redraw();
}

void CScopeDlg::OnXSelected()
{
    const int selected = m_chart.SelectedTrace();
    if (selected < 0) {
        Note(L"\x5148\x70B9\x51FB\x56FE\x4F8B\x9009\x4E00\x6761\x66F2\x7EBF click a legend entry first");
        return;
    }
    const size_t pane = m_model.Traces()[static_cast<size_t>(selected)].pane;
    m_model.SetPaneX(pane, selected);
    m_chart.Redraw();
}

void CScopeDlg::OnXTime()
{
    m_model.SetPaneX(m_model.ActivePane(), -1);
    m_chart.Redraw();
}

void CScopeDlg::OnWallClock()
{
    m_model.SetWallClock(!m_model.WallClock());
    CheckMenuItem(GetMenu(m_hWnd), IDM_WALL_CLOCK, MF_BYCOMMAND | (m_model.WallClock() ? MF_CHECKED : MF_UNCHECKED));
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnClearCursors()
{
    m_model.ClearCursors();
    m_chart.Redraw();
    ChartChanged();
}

// ---- Typed values. ----

void CScopeDlg::OnTimeOffset()
{
    const int selected = m_chart.SelectedTrace();
    const size_t source = selected >= 0 ? m_model.Traces()[static_cast<size_t>(selected)].source
                        : m_recordings.Empty() ? 0 : m_recordings.Last().source;
    if (source == 0) {
        Note(L"\x5148\x6253\x5F00\x8BB0\x5F55\x5E76\x9009\x4E00\x6761\x5176\x66F2\x7EBF open a recording and click one of its traces' legend first");
        return;
    }
    const ScopeSource& shifted = *m_model.Sources()[source];
    std::wstring value = WideFromUtf8(FormatText("%.6f", static_cast<double>(shifted.offsetMicros) / 1e6));
    CValueDlg ask(this, WideFromUtf8("\xE6\x97\xB6\xE9\x97\xB4\xE5\x81\x8F\xE7\xA7\xBB (\xE7\xA7\x92) time offset in seconds of " + shifted.name), value);
    if (ask.Ask(&value) != IDOK)
        return;
    wchar_t* end = nullptr;
    const double seconds = wcstod(value.c_str(), &end);
    if (end == value.c_str() || *end != L'\0' || !std::isfinite(seconds) || fabs(seconds) > 1e9) {
        Note(L"\x65E0\x6548\x7684\x504F\x79FB bad offset '" + value + L"': seconds, like -1.25");
        return;
    }
    m_model.SetOffset(source, static_cast<int64_t>(llround(seconds * 1e6)));
    m_chart.Redraw();
    ChartChanged();
}

void CScopeDlg::OnPaneLimits()
{
    const size_t pane = m_model.ActivePane();
    const Axis& shown = m_model.Panes()[pane].fixed ? m_model.Panes()[pane].axis : m_chart.ShownAxis();
    std::wstring value = WideFromUtf8(FormatText("%.10g %.10g", shown.low, shown.high));
    CValueDlg ask(this, L"\x7A97\x683C\x523B\x5EA6: \x6700\x5C0F \x6700\x5927 pane scale: low high", value);
    if (ask.Ask(&value) != IDOK)
        return;
    double low = 0, high = 0;
    wchar_t extra = 0;
    if (swscanf(value.c_str(), L"%lf %lf %lc", &low, &high, &extra) != 2 || !std::isfinite(low) || !std::isfinite(high) || !(high > low)) {
        Note(L"\x65E0\x6548\x7684\x523B\x5EA6 bad scale '" + value + L"': two numbers, the low first");
        return;
    }
    Axis fixed;
    fixed.low = low;
    fixed.high = high;
    m_model.SetPaneScale(pane, &fixed);
    m_chart.Redraw();
}
