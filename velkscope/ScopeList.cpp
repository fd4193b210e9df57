// CScopeDlg's list of codes: the bus's rows, then each recording's, with
// check boxes that choose the traces. The list is virtual (LVS_OWNERDATA):
// it holds only a count, asks for the rows it draws and takes its ticks
// from the model, so that rows come and go at no cost per row; only the
// rows in sight are drawn again when they change.
#include "velkscope/ScopeDlg.h"

#include <inttypes.h>

#include <algorithm>

#include <commctrl.h>

#include "common/FormatText.h"
#include "windows/SystemLeadByte.h"
#include "windows/WideText.h"

namespace {

const size_t kValueCellBytes = 48;

void CopyCell(const std::wstring& text, LVITEMW* item)
{
    if (item->pszText != nullptr && item->cchTextMax > 0)
        lstrcpynW(item->pszText, text.c_str(), item->cchTextMax);
}

} // namespace

void CScopeDlg::SetUpCodeList()
{
    ListView_SetExtendedListViewStyle(m_codes, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    ListView_SetCallbackMask(m_codes, LVIS_STATEIMAGEMASK);   // the ticks are the model's
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

// A bus row came at listRow: the rows from there on moved down by one.
void CScopeDlg::InsertRow(size_t listRow, size_t, size_t)
{
    ListView_SetItemCountEx(m_codes, static_cast<int>(ListRowOf(m_model.Sources().size(), 0)), LVSICF_NOSCROLL);
    ListView_RedrawItems(m_codes, static_cast<int>(listRow), std::max(0, ListView_GetItemCount(m_codes) - 1));
}

void CScopeDlg::RebuildList()
{
    m_listStale = false;
    if (ListNamesSources())
        ListView_SetColumnWidth(m_codes, kCodeColumn, 200);   // the file, the code and its name
    FitValueColumn();
    for (size_t s = 0; s < m_model.Sources().size(); ++s) {
        for (SourceRow& row : m_model.MutableSource(s).data.MutableRows())
            row.changed = true;
    }
    ListView_SetItemCountEx(m_codes, static_cast<int>(ListRowOf(m_model.Sources().size(), 0)), LVSICF_NOSCROLL);
    InvalidateRect(m_codes, nullptr, FALSE);
    RefreshList();
}

// What a row shows, asked as the list draws it.
void CScopeDlg::OnCodesDisplayInfo(NMHDR* header, LRESULT*)
{
    LVITEMW* item = &reinterpret_cast<NMLVDISPINFOW*>(header)->item;
    size_t source = 0, row = 0;
    if (item->iItem < 0 || !SourceRowOf(static_cast<size_t>(item->iItem), &source, &row))
        return;
    const SourceRow& codeRow = m_model.Sources()[source]->data.Rows()[row];
    if (item->mask & LVIF_STATE) {
        item->state = INDEXTOSTATEIMAGEMASK(m_model.TraceOfIn(source, codeRow.code) >= 0 ? 2 : 1);
        item->stateMask = LVIS_STATEIMAGEMASK;
    }
    if ((item->mask & LVIF_TEXT) == 0)
        return;
    switch (item->iSubItem) {
    case kCodeColumn: {
        std::string name = m_model.RowNameIn(source, row);
        if (ListNamesSources())
            name = (source == 0 ? std::string("bus") : m_model.Sources()[source]->name) + ": " + name;
        CopyCell(WideFromUtf8(name), item);
        break;
    }
    case kValueColumn: {
        const std::string signals = m_model.RowSignalTextIn(source, row);
        CopyCell(signals.empty() ? AfxWideFromNarrow(LatestValueText(codeRow.latest, kValueCellBytes, IsSystemLeadByte).c_str())
                                 : WideFromUtf8(signals), item);
        break;
    }
    case kCountColumn:
        CopyCell(AfxWideFromNarrow(FormatText("%" PRIu64, codeRow.count).c_str()), item);
        break;
    case kMarksColumn:
        CopyCell(WideFromUtf8(FormatRowMarks(codeRow.shownLate, codeRow.faults)), item);
        break;
    default:
        break;
    }
}

// A click on a row's check box, or the space bar on the row in focus, ticks
// or unticks its code: the list keeps no state of its own to change.
void CScopeDlg::OnCodesClick(NMHDR* header, LRESULT*)
{
    LVHITTESTINFO hit;
    ZeroMemory(&hit, sizeof hit);
    hit.pt = reinterpret_cast<const NMITEMACTIVATE*>(header)->ptAction;
    if (ListView_SubItemHitTest(m_codes, &hit) >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) != 0)
        ToggleRow(static_cast<size_t>(hit.iItem));
}

void CScopeDlg::OnCodesKeyDown(NMHDR* header, LRESULT*)
{
    const int focused = ListView_GetNextItem(m_codes, -1, LVNI_FOCUSED);
    if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == VK_SPACE && focused >= 0)
        ToggleRow(static_cast<size_t>(focused));
}

void CScopeDlg::ToggleRow(size_t listRow)
{
    if (m_listStale) {
        RebuildList();   // its rows no longer match the model's: made again first
        return;
    }
    size_t source = 0, row = 0;
    if (!SourceRowOf(listRow, &source, &row))
        return;
    const uint32_t code = m_model.Sources()[source]->data.Rows()[row].code;
    if (m_model.TraceOfIn(source, code) >= 0) {
        m_model.UntickIn(source, code);
    } else if (!m_model.TickIn(source, code)) {
        m_note = WideFromUtf8(FormatText("\xE6\x9C\x80\xE5\xA4\x9A\xE7\x94\xBB %d \xE6\x9D\xA1\xE6\x9B\xB2\xE7\xBA\xBF at most %d traces",
                                         static_cast<int>(kMaxScopeTraces), static_cast<int>(kMaxScopeTraces)));
        RefreshStatus(m_clock.Now());
        return;
    }
    ListView_RedrawItems(m_codes, static_cast<int>(listRow), static_cast<int>(listRow));
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
                        ? m_model.TraceOfIn(source, m_model.Sources()[source]->data.Rows()[row].code) : -1;
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
        FitMarksColumn(WideFromUtf8(FormatRowMarks(late, codeRow.faults)));
        ListView_RedrawItems(m_codes, static_cast<int>(listRow), static_cast<int>(listRow));
    }
}
