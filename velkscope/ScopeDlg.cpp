#include "velkscope/ScopeDlg.h"

#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <commctrl.h>
#include <shellapi.h>

#include "velk/VelkApi.h"
#include "velk/VelkLibrary.h"
#include "velk/VelkResults.h"
#include "client/ProgramMessages.h"
#include "windows/SystemLeadByte.h"
#include "common/FormatText.h"
#include "windows/WideText.h"

namespace {

const UINT kFrameTimerMs = 40;
const UINT WM_DETAIL = WM_APP + 2;
const int64_t kFrameMicros = 40000;      // 25 frames a second
const int64_t kListMicros = 250000;      // the list's counts and values
const int64_t kStatusMicros = 1000000;   // the status line and the bus's health
const size_t kValueCellBytes = 48;


// Numbers must show their signs: the 12-pixel strikes of the CJK font Wine
// substitutes for SimSun draw no minus sign, its 13-pixel ones do.
HFONT CreateViewFont()
{
    return CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"SimSun");
}

struct WindowChoice { int64_t micros; const wchar_t* text; };
const WindowChoice kWindowChoices[] = {
    { 1000000, L"1 s" }, { 2000000, L"2 s" }, { 5000000, L"5 s" }, { 10000000, L"10 s" },
    { 30000000, L"30 s" }, { 60000000, L"1 min" }, { 120000000, L"2 min" }, { 300000000, L"5 min" },
    { 600000000, L"10 min" }, { 1800000000, L"30 min" }, { 3600000000LL, L"1 h" },
};

std::wstring Wide(const std::string& text)
{
    return AfxWideFromNarrow(text.c_str());
}

void Place(HWND dialog, int id, int x, int y, int width, int height)
{
    SetWindowPos(GetDlgItem(dialog, id), nullptr, x, y, std::max(width, 0), std::max(height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetCell(HWND list, size_t row, int column, const std::wstring& text)
{
    LVITEMW item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

} // namespace

CScopeDlg::CScopeDlg(const ScopeOptions& options, const BusBinding& bus)
    : CDialog(IDD),
      m_options(options), m_bus(bus), m_batches(m_bus, this), m_bound(bus.module != nullptr), m_model(options.windowMicros, options.arrayValue),
      m_codes(nullptr), m_readout(nullptr), m_font(CreateViewFont()), m_quitOnClose(false), m_registered(false),
      m_checking(false), m_lastFrame(0), m_lastList(0), m_lastStatus(0), m_receivedAtStatus(0),
      m_nextToken(1), m_readoutStale(true), m_fitToData(false), m_workspaceTicks(false), m_listStale(false), m_marksWidth(kMarksWidth)
{
    ScopeSource& live = m_model.MutableSource(0);
    live.startKnown = true;
    live.start = m_clock.Start();
    for (uint32_t code : options.codes)
        m_model.Tick(code);
}

CScopeDlg::~CScopeDlg()
{
    if (m_hWnd != nullptr)
        DestroyWindow(m_hWnd);
    if (m_font != nullptr)
        DeleteObject(m_font);
}

BEGIN_MESSAGE_MAP(CScopeDlg, CDialog)
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_TIMER()
    ON_MESSAGE(WM_BUS_MESSAGE, OnBusMessage)
    ON_MESSAGE(WM_DETAIL, OnDetail)
    ON_MESSAGE(WM_DROPFILES, OnDropFiles)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_CODES, OnCodesItemChanged)
    ON_NOTIFY(NM_CUSTOMDRAW, IDC_CODES, OnCodesCustomDraw)
    ON_CBN_SELCHANGE(IDC_WINDOW, OnWindowChosen)
    ON_BN_CLICKED(IDC_PAUSE, OnPause)
    ON_BN_CLICKED(IDC_CLEAR_CHART, OnClearChart)
    ON_BN_CLICKED(IDC_FIX_SCALE, OnFixScale)
    ON_BN_CLICKED(IDC_SAVE_PNG, OnSavePng)
    ON_BN_CLICKED(IDC_SAVE_CSV, OnSaveCsv)
    ON_COMMAND(IDM_OPEN_SIGNALS, OnOpenSignals)
    ON_COMMAND(IDM_OPEN_RECORDING, OnOpenRecording)
    ON_COMMAND(IDM_CLOSE_RECORDINGS, OnCloseRecordings)
    ON_COMMAND(IDM_OPEN_WORKSPACE, OnOpenWorkspace)
    ON_COMMAND(IDM_SAVE_WORKSPACE, OnSaveWorkspace)
    ON_COMMAND(IDM_SAVE_RECORDING, OnSaveRecording)
    ON_COMMAND(IDM_EXPORT_PNG, OnSavePng)
    ON_COMMAND(IDM_EXPORT_SVG, OnExportSvg)
    ON_COMMAND(IDM_EXPORT_CSV, OnSaveCsv)
    ON_COMMAND(IDM_EXIT, OnExit)
    ON_COMMAND(IDM_COPY_READOUT, OnCopyReadout)
    ON_COMMAND(IDM_CLEAR_CURSORS, OnClearCursors)
    ON_COMMAND(IDM_SHOW_ALL, OnShowAll)
    ON_COMMAND(IDM_NEW_PANE, OnNewPane)
    ON_COMMAND(IDM_PANE_LIMITS, OnPaneLimits)
    ON_COMMAND(IDM_AUTO_SCALE, OnAutoScale)
    ON_COMMAND(IDM_X_SELECTED, OnXSelected)
    ON_COMMAND(IDM_X_TIME, OnXTime)
    ON_COMMAND(IDM_WALL_CLOCK, OnWallClock)
    ON_COMMAND(IDM_TIME_OFFSET, OnTimeOffset)
END_MESSAGE_MAP()

bool CScopeDlg::Start(std::wstring* error)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS };
    InitCommonControlsEx(&controls);
    if (!Create()) {
        *error = L"\x65E0\x6CD5\x521B\x5EFA\x7A97\x53E3 cannot create the window";
        return false;
    }
    if (m_bound) {
        int registered = m_bus.vRegister(m_hWnd, m_options.mask, "velkscope");
        if (registered < 0) {
            *error = L"\x603B\x7EBF\x62D2\x7EDD\x6CE8\x518C the bus refused the registration: " + LocalizedReason(VelkResultText(registered));
            DestroyWindow(m_hWnd);
            return false;
        }
        m_registered = true;
        m_counters = ReadCounters(m_bus);
    }
    m_detail.reset(new DetailWorker(m_hWnd, WM_DETAIL));
    SetTimer(m_hWnd, kFrameTimer, kFrameTimerMs, nullptr);
    RefreshStatus(m_clock.Now());
    return true;
}

BOOL CScopeDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_SCOPE_ICON));
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);

    m_chart.SubclassDlgItem(IDC_CHART, this);
    m_chart.Attach(&m_model, this, m_font);
    m_overview.SubclassDlgItem(IDC_OVERVIEW, this);
    m_overview.Attach(&m_model, this);
    m_codes = ::GetDlgItem(m_hWnd, IDC_CODES);
    m_readout = ::GetDlgItem(m_hWnd, IDC_READOUT);
    for (int id : { IDC_CODES, IDC_STATUS, IDC_READOUT })
        ::SendMessageW(::GetDlgItem(m_hWnd, id), WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    SetUpCodeList();
    SetUpReadout();
    if (m_signals != nullptr)
        ListView_SetColumnWidth(m_codes, kCodeColumn, 170);
    SetUpWindowChoices();
    ShowWindow(::GetDlgItem(m_hWnd, IDC_PROGRESS), SW_HIDE);
    // Without the bus there is nothing live to pause, clear or window.
    for (int id : { IDC_PAUSE, IDC_CLEAR_CHART, IDC_WINDOW })
        EnableWindow(::GetDlgItem(m_hWnd, id), m_bound ? TRUE : FALSE);
    ::SendMessageW(::GetDlgItem(m_hWnd, IDC_PROGRESS), PBM_SETRANGE32, 0, 1000);
    RefreshTitle();

    RECT client;
    GetClientRect(&client);
    Layout(client.right, client.bottom);
    return TRUE;
}

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
void CScopeDlg::FitValueColumn()
{
    RECT client;
    ::GetClientRect(m_codes, &client);
    int others = 0;
    for (int column : { kCodeColumn, kCountColumn, kMarksColumn })
        others += ListView_GetColumnWidth(m_codes, column);
    ListView_SetColumnWidth(m_codes, kValueColumn, std::max(80, static_cast<int>(client.right) - others));
}

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

void CScopeDlg::SetUpWindowChoices()
{
    HWND combo = ::GetDlgItem(m_hWnd, IDC_WINDOW);
    auto add = [this, combo](const wchar_t* text, int64_t micros) {
        int at = static_cast<int>(::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(micros / 1000));
        if (micros == m_model.Window())
            ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    };
    bool listed = false;
    const int64_t window = m_model.Window();
    for (const WindowChoice& choice : kWindowChoices) {
        if (!listed && window < choice.micros) {
            // A window given on the command line that no choice has.
            std::wstring text = Wide(FormatText("%g s", static_cast<double>(window) / 1e6));
            add(text.c_str(), window);
        }
        listed = listed || window <= choice.micros;
        add(choice.text, choice.micros);
    }
}

// Everything in pixels from the client size: the list on the left; the
// chart, the overview strip and the readout beside it; a row of controls
// and the status line along the bottom.
void CScopeDlg::Layout(int width, int height)
{
    RECT unit = { 0, 0, 4, 8 };   // dialog units: 4 x 8 is one character cell
    MapDialogRect(m_hWnd, &unit);
    const int margin = unit.right;
    const int row = unit.bottom * 14 / 8;
    const int status = height - margin - row;
    const int controls = status - margin / 2 - row;
    // The list: code, count and marks (about 300 pixels with names), and
    // room for the value.
    const int listWidth = std::min(std::max(width * 9 / 20, 320), 560) + std::min(m_marksWidth - kMarksWidth, width / 8);
    const int right = 2 * margin + listWidth, rightWidth = width - 3 * margin - listWidth;
    const int bottom = controls - margin;
    const int readoutHeight = std::min(7 * row, std::max(bottom / 4, 3 * row));
    const int overviewHeight = 2 * row;

    Place(m_hWnd, IDC_CODES, margin, margin, listWidth, bottom - margin);
    FitValueColumn();
    Place(m_hWnd, IDC_CHART, right, margin, rightWidth, bottom - 3 * margin - readoutHeight - overviewHeight);
    Place(m_hWnd, IDC_OVERVIEW, right, bottom - 2 * margin - readoutHeight - overviewHeight, rightWidth, overviewHeight);
    Place(m_hWnd, IDC_READOUT, right, bottom - readoutHeight - margin, rightWidth, readoutHeight);
    // The readout's columns share its width: the values at the cursors widest.
    static const int kShares[] = { 30, 16, 16, 10, 7, 7, 7, 7 };
    for (int column = 0; column < 8; ++column)
        ListView_SetColumnWidth(m_readout, column, (rightWidth - 24) * kShares[column] / 100);

    struct Cell { int id; int dialogUnits; };
    const Cell cells[] = {
        { IDC_WINDOW_LABEL, 56 }, { IDC_WINDOW, 50 }, { IDC_PAUSE, 54 }, { IDC_CLEAR_CHART, 54 },
        { IDC_FIX_SCALE, 76 }, { IDC_SAVE_PNG, 50 }, { IDC_SAVE_CSV, 50 },
    };
    int x = margin;
    for (const Cell& cell : cells) {
        int cellWidth = cell.dialogUnits * unit.right / 4;
        // A drop-down list's height includes its list.
        Place(m_hWnd, cell.id, x, controls, cellWidth, cell.id == IDC_WINDOW ? row * 10 : row);
        x += cellWidth + margin;
    }
    const bool progress = Reading();
    const int progressWidth = progress ? std::min(200, width / 5) : 0;
    Place(m_hWnd, IDC_PROGRESS, margin, status + row / 4, progressWidth, row / 2);
    Place(m_hWnd, IDC_STATUS, margin + (progress ? progressWidth + margin : 0), status, width - 2 * margin - (progress ? progressWidth + margin : 0), row);
    m_chart.Invalidate(FALSE);
    m_overview.Invalidate(FALSE);
}

void CScopeDlg::OnSize(UINT type, int cx, int cy)
{
    if (type != SIZE_MINIMIZED && m_codes != nullptr) {
        Layout(cx, cy);
        // What moved is drawn again where it went, and nothing where it was.
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
}

void CScopeDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    info->ptMinTrackSize.x = kMinWindowWidth;
    info->ptMinTrackSize.y = kMinWindowHeight;
}

BOOL CScopeDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        const bool control = GetKeyState(VK_CONTROL) < 0;
        // Escape would close the window: a scope is closed on purpose only.
        // It stops the reading of recordings.
        if (pMsg->wParam == VK_ESCAPE) {
            CancelPasses();
            return TRUE;
        }
        if (control && (pMsg->wParam == 'O' || pMsg->wParam == 'S' || pMsg->wParam == 'C')) {
            ::SendMessageW(m_hWnd, WM_COMMAND, pMsg->wParam == 'O' ? IDM_OPEN_RECORDING
                                             : pMsg->wParam == 'S' ? IDM_SAVE_WORKSPACE : IDM_COPY_READOUT, 0);
            return TRUE;
        }
    }
    // The wheel turns what is under the pointer: the chart zooms without the focus.
    if (pMsg->message == WM_MOUSEWHEEL && m_chart.m_hWnd != nullptr && pMsg->hwnd != m_chart.m_hWnd) {
        POINT point = AfxPointOf(pMsg->lParam);
        RECT chart;
        ::GetWindowRect(m_chart.m_hWnd, &chart);
        if (PtInRect(&chart, point)) {
            ::SendMessageW(m_chart.m_hWnd, WM_MOUSEWHEEL, pMsg->wParam, pMsg->lParam);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(pMsg);
}

void CScopeDlg::OnCancel()
{
    DestroyWindow(m_hWnd);
}

void CScopeDlg::OnExit()
{
    DestroyWindow(m_hWnd);
}

void CScopeDlg::OnDestroy()
{
    KillTimer(m_hWnd, kFrameTimer);
    KillTimer(m_hWnd, kReadTimer);
    if (m_registered)
        m_bus.vUnregister(m_hWnd);   // the handle is still valid: the bus learns which window leaves
    m_registered = false;
    // The threads first: then nothing more is posted, and what is queued is freed.
    m_detail.reset();
    for (Recording& recording : m_recordings) {
        recording.pass.reset();
        if (recording.file != nullptr)
            fclose(recording.file);
    }
    m_recordings.clear();
    MSG queued;
    while (PeekMessageW(&queued, m_hWnd, WM_DETAIL, WM_DETAIL, PM_REMOVE))
        delete reinterpret_cast<DetailResult*>(queued.lParam);
    CDialog::OnDestroy();
}

void CScopeDlg::PostNcDestroy()
{
    if (m_quitOnClose)
        PostQuitMessage(0);
}

void CScopeDlg::ChartChanged()
{
    // Moving the view changes no value of the readout; cursors, traces,
    // offsets and the time's labels do.
    const std::string key = ReadoutKey();
    m_readoutStale = m_readoutStale || key != m_readoutKey;
    m_readoutKey = key;
    RefreshReadout();
    m_overview.Redraw();
    ServeDetail();
    if (m_model.Paused())
        SetDlgItemTextW(m_hWnd, IDC_PAUSE, L"\x7EE7\x7EED Resume");
}

// What the readout's cells depend on, besides the data.
std::string CScopeDlg::ReadoutKey() const
{
    std::string key = FormatText("%d %lld %d %lld %d %zu|", m_model.CursorSet(0) ? 1 : 0, static_cast<long long>(m_model.Cursor(0)),
                                 m_model.CursorSet(1) ? 1 : 0, static_cast<long long>(m_model.Cursor(1)),
                                 m_model.WallClock() ? 1 : 0, m_model.Traces().size());
    for (const Trace& trace : m_model.Traces())
        key += FormatText("%zu:%08x:%zu:%lld ", trace.source, static_cast<unsigned>(trace.code), trace.signal,
                          static_cast<long long>(m_model.Origin(trace.source)));
    return key;
}

// ---- The bus. ----

LRESULT CScopeDlg::OnBusMessage(WPARAM wParam, LPARAM lParam)
{
    m_batches.OnBusMessage(m_hWnd, wParam, lParam);
    return 0;
}

void CScopeDlg::TakeBusMessage(UINT code, LPARAM dataWord)
{
    Take(static_cast<uint32_t>(code), dataWord);
}

void CScopeDlg::FrameIfDue()
{
    const int64_t now = m_clock.Now();
    if (now - m_lastFrame >= kFrameMicros)
        Frame(now);
}

void CScopeDlg::Take(uint32_t code, LPARAM dataWord)
{
    bool inserted = false;
    bool expired = false;
    ScopeMessage message;
    message.message = TakeMessage(m_bus, code, dataWord, static_cast<uint64_t>(m_clock.Now()), &expired);
    message.message.expired = expired;   // kept as the history saves it: '-'
    const bool named = ListNamesSources();
    int row = m_model.ReceiveMessage(&message, &inserted);
    if (!inserted)
        return;
    if (named != ListNamesSources())
        RebuildList();   // the bus's first row beside a recording's: every row says its source now
    else
        InsertRow(ListRowOf(0, static_cast<size_t>(row)), 0, static_cast<size_t>(row));
}

bool CScopeDlg::ListNamesSources() const
{
    size_t listed = 0;
    for (const std::unique_ptr<ScopeSource>& source : m_model.Sources())
        listed += source->data.Rows().empty() ? 0 : 1;
    return listed > 1;
}

// ---- The list: the bus's rows, then each recording's. ----

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

void CScopeDlg::OnTimer(UINT_PTR id)
{
    if (id == kFrameTimer) {
        Frame(m_clock.Now());
    } else if (id == kReadTimer) {
        TakeBatches();
        if (!Reading())
            KillTimer(m_hWnd, kReadTimer);
        // This timer is always due while the file comes: the frames are drawn from here then.
        const int64_t now = m_clock.Now();
        if (now - m_lastFrame >= kFrameMicros)
            Frame(now);
    }
}

void CScopeDlg::Frame(int64_t now)
{
    m_lastFrame = now;
    if (!m_model.Paused() || Reading())
        m_chart.Redraw();
    ServeDetail();
    if (now - m_lastList >= kListMicros) {
        m_lastList = now;
        if (m_listStale)
            RebuildList();
        else
            RefreshList();
        if (!m_model.Paused() || Reading())
            m_overview.Redraw();
        // New messages may fall between the cursors.
        if (m_model.CursorSet(0) || m_model.CursorSet(1))
            m_readoutStale = m_readoutStale || !m_model.Paused() || Reading() || m_model.Received() != m_receivedAtStatus;
        RefreshReadout();
    }
    if (now - m_lastStatus >= kStatusMicros || (Reading() && now - m_lastStatus >= kListMicros))
        RefreshStatus(now);
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
        std::wstring value = signals.empty() ? Wide(LatestValueText(codeRow.latest, kValueCellBytes, IsSystemLeadByte))
                                             : WideFromUtf8(signals);
        SetCell(m_codes, listRow, kValueColumn, value);
        const std::wstring marks = WideFromUtf8(FormatRowMarks(late, codeRow.faults));
        SetCell(m_codes, listRow, kMarksColumn, marks);
        FitMarksColumn(marks);
        SetCell(m_codes, listRow, kCountColumn, Wide(FormatText("%" PRIu64, codeRow.count)));
    }
}

void CScopeDlg::RefreshStatus(int64_t now)
{
    const double seconds = static_cast<double>(now - m_lastStatus) / 1e6;
    const uint64_t received = m_model.Received();
    const double rate = seconds > 0 && received >= m_receivedAtStatus
                      ? static_cast<double>(received - m_receivedAtStatus) / seconds : 0;
    m_lastStatus = now;
    m_receivedAtStatus = received;

    std::wstring text;
    // A recording being read: how far, how fast, how long still.
    uint64_t bytes = 0, total = 0, messages = 0;
    double elapsed = 0;
    for (const Recording& recording : m_recordings) {
        const ScopeSource& source = *m_model.Sources()[recording.source];
        if (!source.reading)
            continue;
        bytes += source.bytesRead;
        total += source.fileBytes;
        messages += source.messages;
        elapsed = std::max(elapsed, static_cast<double>(GetTickCount64() - recording.started) / 1000.0);
    }
    HWND progress = ::GetDlgItem(m_hWnd, IDC_PROGRESS);
    const bool showing = IsWindowVisible(progress) != FALSE;
    if (total > 0) {
        const double rateBytes = elapsed > 0 ? static_cast<double>(bytes) / elapsed : 0;
        const double left = rateBytes > 0 ? static_cast<double>(total - std::min(bytes, total)) / rateBytes : 0;
        text = WideFromUtf8(FormatText("\xE8\xAF\xBB\xE5\x8F\x96 reading %.1f / %.1f MB, %" PRIu64 " messages, %.0f MB/s, "
                                       "\xE8\xBF\x98\xE9\x9C\x80 %.0f s left (Esc \xE5\x81\x9C\xE6\xAD\xA2 stops)",
                                       static_cast<double>(bytes) / 1e6, static_cast<double>(total) / 1e6, messages,
                                       rateBytes / 1e6, left));
        ::SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(static_cast<double>(bytes) * 1000 / static_cast<double>(total)), 0);
    }
    if ((total > 0) != showing) {
        ShowWindow(progress, total > 0 ? SW_SHOW : SW_HIDE);
        RECT client;
        GetClientRect(&client);
        Layout(client.right, client.bottom);
    }
    if (m_bound) {
        if (!text.empty())
            text += L" \x00B7 ";
        text += L"\x6536\x5230 received " + Wide(FormatText("%" PRIu64 " (%.0f/s)", received, rate));
        int status = BusStatus(m_bus);
        if (status != kVelkOk) {
            text += L" \x00B7 \x603B\x7EBF\x4E0D\x53EF\x7528 bus unusable: " + LocalizedReason(VelkResultText(status));
        } else {
            CounterValues counters = ReadCounters(m_bus);
            bool losing = false;
            text += L" \x00B7 \x603B\x7EBF bus: " + LocalizedReason(FormatCounterChange(m_counters, counters, &losing));
            m_counters = counters;
        }
        if (m_model.Unlisted() != 0)
            text += L" \x00B7 \x672A\x5217\x51FA unlisted " + Wide(FormatText("%" PRIu64, m_model.Unlisted()));
        if (m_model.LiveHistory().Dropped() != 0)
            text += L" \x00B7 \x5386\x53F2\x5DF2\x622A history cut: " +
                    LocalizedReason(FormatText(N_("%" PRIu64 " oldest messages dropped"), m_model.LiveHistory().Dropped()));
    } else if (text.empty()) {
        text = L"\x65E0\x603B\x7EBF no bus";
    }
    // What went wrong in the recordings: each one's bad lines, its error.
    for (const Recording& recording : m_recordings) {
        const ScopeSource& source = *m_model.Sources()[recording.source];
        if (!source.error.empty())
            text += L" \x00B7 " + LocalizedReason(source.error);
        else if (source.badLines != 0)
            text += WideFromUtf8(FormatText(" \xC2\xB7 %" PRIu64 " \xE8\xA1\x8C\xE6\x9C\x89\xE8\xAF\xAF bad lines skipped, the latest ",
                                            source.badLines)) + LocalizedReason(source.latestBadLine);
    }
    if (!m_note.empty())
        text += L" \x00B7 " + m_note;
    SetStatus(text);
}

void CScopeDlg::SetStatus(const std::wstring& text)
{
    SetWindowTextW(::GetDlgItem(m_hWnd, IDC_STATUS), text.c_str());
}

void CScopeDlg::Note(const std::wstring& note)
{
    m_note = note;
    RefreshStatus(m_clock.Now());
}

// "velkscope - night.rec, day.rec" with recordings, else the bus's name.
void CScopeDlg::RefreshTitle()
{
    std::string names;
    for (const Recording& recording : m_recordings)
        names += (names.empty() ? "" : ", ") + m_model.Sources()[recording.source]->name;
    if (names.empty()) {
        SetWindowTextW(m_hWnd, (L"velkscope - " + Wide(BusNameForTitle())).c_str());
        return;
    }
    SetWindowTextW(m_hWnd, (L"velkscope - " + WideFromUtf8(names)).c_str());
}

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
