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

} // namespace

CScopeDlg::CScopeDlg(const ScopeOptions& options, const BusBinding& bus)
    : CDialog(IDD),
      m_options(options), m_bus(bus), m_batches(m_bus, this), m_bound(bus.module != nullptr), m_model(options.windowMicros, options.arrayValue),
      m_codes(nullptr), m_readout(nullptr), m_font(CreateViewFont()), m_quitOnClose(false), m_registered(false),
      m_lastFrame(0), m_lastList(0), m_lastStatus(0), m_receivedAtStatus(0),
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
    ON_NOTIFY(LVN_GETDISPINFOW, IDC_CODES, OnCodesDisplayInfo)
    ON_NOTIFY(NM_CLICK, IDC_CODES, OnCodesClick)
    ON_NOTIFY(LVN_KEYDOWN, IDC_CODES, OnCodesKeyDown)
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
