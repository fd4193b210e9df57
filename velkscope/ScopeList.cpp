// CScopeDlg's list of codes: the bus's rows, then each recording's, with
// check boxes that choose the traces; only the rows in sight are refreshed.
#include "velkscope/ScopeDlg.h"

#include <inttypes.h>

#include <algorithm>

#include <commctrl.h>

#include "common/FormatText.h"
#include "windows/SystemLeadByte.h"
#include "windows/WideText.h"

namespace {

const size_t kValueCellBytes = 48;

void SetCell(HWND list, size_t row, int column, const std::wstring& text)
{
    LVITEMW item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace

void CScopeDlg::SetUpCodeList()
{
    ListView_SetExtendedListViewStyle(m_codes, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    static const struct { const wchar_t* title; int width; int format; } kColumns[] = {
        { L"代码 Code", 100, LVCFMT_LEFT },
        { L"值 Value", 120, LVCFMT_LEFT },
        { L"次数 Count", 64, LVCFMT_RIGHT },
        { L"标记 Marks", kMarksWidth, LVCFMT_LEFT },   // late, and faults counted: FormatRowMarks
    };
    for (int i = 0; i < kListColumns; ++i) {
        LVCOLUMNW column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = const_cast<wchar_t*>(kColumns[i].title);
        column.cx = kColumns[i].width;
        column.fmt = kColumns[i].format;
        ::SendMessageW(m_codes, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    // Shown as code, count, marks, value: the value, the widest, last,
    // so that a mark never hides it and the count stays in sight.
    int order[kListColumns] = { kCodeColumn, kCountColumn, kMarksColumn, kValueColumn };
    ListView_SetColumnOrderArray(m_codes, kListColumns, order);
}

// The value column takes what the others leave of the list's width.
// The marks column widens to the widest marks it has shown (fault counts
// grow) and the list with it, so that the value keeps its room.
void CScopeDlg::FitMarksColumn(const std::wstring& marks)
{
    if (marks.empty())
        return;
    const int wanted = static_cast<int>(::SendMessageW(m_codes, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(marks.c_str()))) + 14;
    if (wanted <= m_marksWidth)
        return;
    m_marksWidth = wanted;
    ListView_SetColumnWidth(m_codes, kMarksColumn, wanted);
    RECT client;
    GetClientRect(&client);
    Layout(client.right, client.bottom);
}

bool CScopeDlg::ListNamesSources() const
{
    size_t listed = 0;
    for (const std::unique_ptr<ScopeSource>& source : m_model.Sources())
        listed += source->data.Rows().empty() ? 0 : 1;
    return listed > 1;
}

size_t CScopeDlg::ListRowOf(size_t source, size_t row) const
{
    size_t before = 0;
    for (size_t s = 0; s < source; ++s)
        before += m_model.Sources()[s]->data.Rows().size();
    return before + row;
}

bool CScopeDlg::SourceRowOf(size_t listRow, size_t* source, size_t* row) const
{
    for (size_t s = 0; s < m_model.Sources().size(); ++s) {
        const size_t rows = m_model.Sources()[s]->data.Rows().size();
        if (listRow < rows) {
            *source = s;
            *row = listRow;
            return true;
        }
        listRow -= rows;
    }
    return false;
}

void CScopeDlg::InsertRow(size_t listRow, size_t source, size_t row)
{
    const SourceRow& codeRow = m_model.Sources()[source]->data.Rows()[row];
    std::string name = m_model.RowNameIn(source, row);
    if (ListNamesSources())
        name = (source == 0 ? std::string("bus") : m_model.Sources()[source]->name) + ": " + name;
    std::wstring code = WideFromUtf8(name);
    LVITEMW item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(listRow);
    item.pszText = const_cast<wchar_t*>(code.c_str());
    item.lParam = static_cast<LPARAM>(codeRow.code);
    // A new item's check box is set by the list, not the user: no tick
    // changes (each would draw the chart again).
    m_checking = true;
    ::SendMessageW(m_codes, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    m_checking = false;
    if (m_model.TraceOfIn(source, codeRow.code) >= 0)
        SetChecked(listRow, true);
}

void CScopeDlg::RebuildList()
{
    m_listStale = false;
    ::SendMessageW(m_codes, WM_SETREDRAW, FALSE, 0);
    m_checking = true;
    ListView_DeleteAllItems(m_codes);
    m_checking = false;
    if (ListNamesSources())
        ListView_SetColumnWidth(m_codes, kCodeColumn, 200);   // the file, the code and its name
    FitValueColumn();
    size_t listRow = 0;
    for (size_t s = 0; s < m_model.Sources().size(); ++s) {
        std::vector<SourceRow>& rows = m_model.MutableSource(s).data.MutableRows();
        for (size_t row = 0; row < rows.size(); ++row) {
            rows[row].changed = true;
            InsertRow(listRow++, s, row);
        }
    }
    ::SendMessageW(m_codes, WM_SETREDRAW, TRUE, 0);
    RefreshList();
}

void CScopeDlg::SetChecked(size_t listRow, bool checked)
{
    m_checking = true;
    ListView_SetCheckState(m_codes, static_cast<int>(listRow), checked ? TRUE : FALSE);
    m_checking = false;
}

void CScopeDlg::OnCodesItemChanged(NMHDR* header, LRESULT*)
{
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (m_checking || (change->uChanged & LVIF_STATE) == 0 ||
        ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0 || change->iItem < 0)
        return;
    if (m_listStale) {
        // Its rows no longer match the model's: made again, ticks as they were.
        RebuildList();
        return;
    }
    size_t source = 0, row = 0;
    if (!SourceRowOf(static_cast<size_t>(change->iItem), &source, &row))
        return;
    const uint32_t code = m_model.Sources()[source]->data.Rows()[row].code;
    bool checked = (change->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    if (checked && !m_model.TickIn(source, code)) {
        SetChecked(static_cast<size_t>(change->iItem), false);
        m_note = WideFromUtf8(FormatText("\xE6\x9C\x80\xE5\xA4\x9A\xE7\x94\xBB %d \xE6\x9D\xA1\xE6\x9B\xB2\xE7\xBA\xBF at most %d traces",
                                         static_cast<int>(kMaxScopeTraces), static_cast<int>(kMaxScopeTraces)));
        RefreshStatus(m_clock.Now());
        return;
    }
    if (!checked)
        m_model.UntickIn(source, code);
    ListView_RedrawItems(m_codes, change->iItem, change->iItem);
    m_chart.Redraw();
    ChartChanged();
}

// Ticked codes are written in their trace's colour, as the legend does.
void CScopeDlg::OnCodesCustomDraw(NMHDR* header, LRESULT* result)
{
    NMLVCUSTOMDRAW* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
        *result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        size_t source = 0, row = 0;
        const int trace = SourceRowOf(static_cast<size_t>(draw->nmcd.dwItemSpec), &source, &row)
                        ? m_model.TraceOfIn(source, static_cast<uint32_t>(draw->nmcd.lItemlParam)) : -1;
        if (trace >= 0) {
            uint32_t rgb = TraceColour(m_model.Traces()[static_cast<size_t>(trace)].colour);
            draw->clrText = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        }
    }
    *result = CDRF_DODEFAULT;
}

// Only the rows in sight, and of those only the ones that changed.
void CScopeDlg::RefreshList()
{
    const size_t total = static_cast<size_t>(std::max(0, ListView_GetItemCount(m_codes)));
    size_t top = static_cast<size_t>(std::max(0, ListView_GetTopIndex(m_codes)));
    size_t end = std::min(total, top + static_cast<size_t>(ListView_GetCountPerPage(m_codes)) + 1);
    const int64_t now = m_clock.Now();
    for (size_t listRow = top; listRow < end; ++listRow) {
        size_t source = 0, row = 0;
        if (!SourceRowOf(listRow, &source, &row))
            break;
        const SourceRow& codeRow = m_model.Sources()[source]->data.Rows()[row];
        // A row turns late with no message at all: that is a change too.
        const bool late = source == 0 && m_model.Late(row, now);
        if (!codeRow.changed && late == codeRow.shownLate)
            continue;
        SourceRow& shown = m_model.MutableSource(source).data.MutableRows()[row];
        shown.changed = false;
        shown.shownLate = late;
        const std::string signals = m_model.RowSignalTextIn(source, row);
        std::wstring value = signals.empty() ? AfxWideFromNarrow(LatestValueText(codeRow.latest, kValueCellBytes, IsSystemLeadByte).c_str())
                                             : WideFromUtf8(signals);
        SetCell(m_codes, listRow, kValueColumn, value);
        const std::wstring marks = WideFromUtf8(FormatRowMarks(late, codeRow.faults));
        SetCell(m_codes, listRow, kMarksColumn, marks);
        FitMarksColumn(marks);
        SetCell(m_codes, listRow, kCountColumn, AfxWideFromNarrow(FormatText("%" PRIu64, codeRow.count).c_str()));
    }
}
