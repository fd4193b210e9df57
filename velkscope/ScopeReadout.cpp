// CScopeDlg's readout: the list under the chart with the cursors' values,
// B - A and the statistics between them, and Edit > Copy readout; and what
// follows a change of the chart: the readout and the overview made again,
// the stretches of the recordings read again for the chart's detail.
#include "velkscope/ScopeDlg.h"

#include <algorithm>

#include <commctrl.h>

#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "velkscope/ScopeParts.h"
#include "windows/SystemCodePage.h"
#include "windows/WideText.h"

void CScopeDlg::SetUpReadout()
{
    ListView_SetExtendedListViewStyle(m_readout, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    m_readoutCells = ReadoutCells(m_model, Readout(), m_clock.Now());
    static const int kWidths[] = { 170, 150, 150, 90, 80, 80, 80, 70 };
    for (size_t i = 0; i < m_readoutCells[0].size(); ++i) {
        const std::wstring title = WideFromUtf8(m_readoutCells[0][i]);
        LVCOLUMNW column;
        ZeroMemory(&column, sizeof column);
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = const_cast<wchar_t*>(title.c_str());
        column.cx = kWidths[i % (sizeof kWidths / sizeof kWidths[0])];
        column.fmt = i >= 3 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        if (i == 0)
            column.fmt = LVCFMT_LEFT;
        ::SendMessageW(m_readout, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
}

std::vector<std::vector<std::string>> CScopeDlg::ReadoutNow()
{
    m_readoutStale = true;
    RefreshReadout();
    return m_readoutCells;
}

// Made again when the cursors or the data under them moved; each cell set
// only when it changed, so the list does not flicker.
void CScopeDlg::RefreshReadout()
{
    if (!m_readoutStale || m_readout == nullptr)
        return;
    m_readoutStale = false;
    const Readout readout = ComputeReadout(m_model, Readers(), SystemCodePage());
    std::vector<std::vector<std::string>> cells = ReadoutCells(m_model, readout, m_clock.Now());
    const int rows = static_cast<int>(cells.size()) - 1;   // the first is the header
    const size_t kept = static_cast<size_t>(std::min(ListView_GetItemCount(m_readout), rows));   // rows that hold text already
    while (ListView_GetItemCount(m_readout) > rows)
        ListView_DeleteItem(m_readout, ListView_GetItemCount(m_readout) - 1);
    while (ListView_GetItemCount(m_readout) < rows) {
        LVITEMW item;
        ZeroMemory(&item, sizeof item);
        item.mask = LVIF_TEXT;
        item.iItem = ListView_GetItemCount(m_readout);
        item.pszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_readout, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    for (const ReadoutCell& cell : ReadoutCellsToSet(m_readoutCells, cells, kept)) {
        const std::wstring text = WideFromUtf8(cells[cell.row][cell.column]);
        LVITEMW item;
        ZeroMemory(&item, sizeof item);
        item.iSubItem = static_cast<int>(cell.column);
        item.pszText = const_cast<wchar_t*>(text.c_str());
        ::SendMessageW(m_readout, LVM_SETITEMTEXTW, cell.row - 1, reinterpret_cast<LPARAM>(&item));
    }
    m_readoutCells.swap(cells);
}

void CScopeDlg::OnCopyReadout()
{
    const std::wstring text = WideFromUtf8(ReadoutText(ReadoutNow()));
    if (!OpenClipboard(m_hWnd))
        return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (memory != nullptr) {
        wchar_t* copy = static_cast<wchar_t*>(GlobalLock(memory));
        memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
            GlobalFree(memory);
    }
    CloseClipboard();
    Note(L"\x8BFB\x6570\x5DF2\x590D\x5236 readout copied");
}

void CScopeDlg::ChartChanged()
{
    // Moving the view changes no value of the readout; cursors, traces,
    // offsets and the time's labels do.
    const std::string key = ReadoutKey(m_model);
    m_readoutStale = m_readoutStale || key != m_readoutKey;
    m_readoutKey = key;
    RefreshReadout();
    m_overview.Redraw();
    ServeDetail();
    if (m_model.Paused())
        SetDlgItemTextW(m_hWnd, IDC_PAUSE, L"\x7EE7\x7EED Resume");
}

std::vector<StretchReader> CScopeDlg::Readers()
{
    std::vector<StretchReader> readers;
    readers.push_back([this](uint64_t from, uint64_t to, const std::function<bool(const RecordedMessage&)>& visit) {
        m_model.LiveHistory().ForEach(from, to, visit);
    });
    for (size_t source = 1; source < m_model.Sources().size(); ++source) {
        Recording* recording = m_recordings.BySource(source);
        const std::vector<std::string>* parts = recording != nullptr ? &recording->open.parts : nullptr;
        readers.push_back([this, parts, source](uint64_t from, uint64_t to,
                                                const std::function<bool(const RecordedMessage&)>& visit) {
            if (parts == nullptr)
                return;
            const ScopeSource& read = *m_model.Sources()[source];
            std::unique_ptr<SeriesReader> reader = ReadScopeRecording(*parts);
            std::string error;
            if (!ReadRecordStretch(reader.get(), read.startKnown ? &read.start : nullptr, read.index, from, to, visit,
                                   &error))
                Note(LocalizedReason(error));
        });
    }
    return readers;
}

void CScopeDlg::ServeDetail()
{
    for (const DetailRequest& request : m_model.TakeDetailRequests()) {
        if (request.source == 0) {
            // The bus's history is at hand: read now.
            DetailCollector collector(request, m_signals.get(), WindowsSignalCodePages(), m_options.arrayValue);
            m_model.LiveHistory().ForEach(static_cast<uint64_t>(std::max<int64_t>(request.from, 0)),
                                          static_cast<uint64_t>(std::max<int64_t>(request.to, 0)),
                                          [&collector](const RecordedMessage& message) {
                                              collector.Add(message);
                                              return true;
                                          });
            m_model.SetDetail(0, collector.Take());
            m_chart.Invalidate(FALSE);
            continue;
        }
        Recording* recording = m_recordings.BySource(request.source);
        if (recording == nullptr || m_detail == nullptr)
            continue;
        const ScopeSource& source = *m_model.Sources()[request.source];
        DetailJob job;
        job.token = recording->token;
        job.parts = recording->open.parts;
        job.startKnown = source.startKnown;
        job.start = source.start;
        job.mark = source.index.MarkFor(static_cast<uint64_t>(std::max<int64_t>(request.from, 0)));
        job.request = request;
        job.signals = m_signals.get();
        job.pages = WindowsSignalCodePages();
        job.arrayValue = m_options.arrayValue;
        m_detail->Request(job);
    }
}
