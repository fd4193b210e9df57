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
#include "common/FormatText.h"
#include "windows/WideText.h"

namespace {

const UINT kFrameTimerMs = 40;
const UINT WM_DETAIL = WM_APP + 2;
const int64_t kFrameMicros = 40000;      // 25 frames a second
const int64_t kListMicros = 250000;      // the list's counts and values
const int64_t kStatusMicros = 1000000;   // the status line and the bus's health
const int kBatchMessages = 512;          // taken at once from the queue, at most


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

} // namespace

CScopeDlg::CScopeDlg(const ScopeOptions& options, const BusBinding& bus)
    : CDialog(IDD),
      m_options(options), m_bus(bus), m_bound(bus.module != nullptr), m_model(options.windowMicros, options.arrayValue),
      m_codes(nullptr), m_readout(nullptr), m_font(CreateViewFont()), m_quitOnClose(false), m_registered(false),
      m_checking(false), m_lastFrame(0), m_lastList(0), m_lastStatus(0), m_batchTaken(0), m_receivedAtStatus(0),
      m_readoutStale(true), m_fitToData(false), m_workspaceTicks(false), m_listStale(false), m_marksWidth(kMarksWidth)
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
        recording.open.pass.reset();
        if (recording.open.file != nullptr)
            fclose(recording.open.file);
    }
    m_recordings.Clear();
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
    const std::string key = ReadoutKey(m_model);
    m_readoutStale = m_readoutStale || key != m_readoutKey;
    m_readoutKey = key;
    RefreshReadout();
    m_overview.Redraw();
    ServeDetail();
    if (m_model.Paused())
        SetDlgItemTextW(m_hWnd, IDC_PAUSE, L"\x7EE7\x7EED Resume");
}

// ---- The bus. ----

LRESULT CScopeDlg::OnBusMessage(WPARAM wParam, LPARAM lParam)
{
    Take(static_cast<uint32_t>(wParam), lParam);
    // The messages queued behind this one are taken here, in one go, past
    // the walk every dispatched message makes through the framework; the
    // frames still come on time, and input and timers between batches.
    m_batchTaken = 0;
    TakeQueuedMessages(m_bus, m_hWnd, kBatchMessages, nullptr, this);
    // Under a flood the queue never empties, and timers and paints wait
    // for an empty queue: the frames are drawn from here then.
    const int64_t now = m_clock.Now();
    if (now - m_lastFrame >= kFrameMicros)
        Frame(now);
    return 0;
}

void CScopeDlg::Receive(UINT code, LPARAM dataWord)
{
    Take(static_cast<uint32_t>(code), dataWord);
    if (++m_batchTaken % 64 == 0 && m_clock.Now() - m_lastFrame >= kFrameMicros)
        Frame(m_clock.Now());
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

void CScopeDlg::OnTimer(UINT_PTR id)
{
    if (id == kFrameTimer) {
        Frame(m_clock.Now());
    } else if (id == kReadTimer) {
        if (TakeBatches()) {
            // A recording read to its end: everything about it shown now.
            RefreshStatus(m_clock.Now());
            RefreshReadout();
            m_chart.Redraw();
            m_overview.Redraw();
        }
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
        elapsed = std::max(elapsed, static_cast<double>(GetTickCount64() - recording.open.started) / 1000.0);
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
