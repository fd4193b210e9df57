#include "velkscope/ScopeDlg.h"

#include <errno.h>
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <commctrl.h>
#include <commdlg.h>

#include "velk/VelkApi.h"
#include "windows/SystemLeadByte.h"
#include "common/Catalogue.h"
#include "common/FormatText.h"
#include "velk/VelkLibrary.h"
#include "velk/VelkResults.h"
#include "formats/CsvExport.h"
#include "windows/SystemCodePage.h"
#include "client/SignalsOption.h"
#include "velkscope/PngFile.h"
#include "velkscope/ScopeSignals.h"

namespace {

const UINT_PTR kFrameTimer = 1;
const UINT kFrameTimerMs = 40;
const int64_t kFrameMicros = 40000;      // 25 frames a second
const int64_t kListMicros = 250000;      // the list's counts and values
const int64_t kStatusMicros = 1000000;   // the status line and the bus's health
const size_t kValueCellBytes = 48;
const int kBatchMessages = 512;          // taken at once from the queue, at most

const int kMinWidth = 640;               // the smallest the window may be made
const int kMinHeight = 360;

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

std::wstring FileTimeName(const wchar_t* extension)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t name[64];
    swprintf(name, 64, L"velkscope-%04u%02u%02u-%02u%02u%02u.%ls", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, extension);
    return name;
}

// The save dialog; empty when the user cancels.
std::wstring AskSavePath(HWND owner, const wchar_t* filter, const wchar_t* extension)
{
    wchar_t path[MAX_PATH];
    lstrcpynW(path, FileTimeName(extension).c_str(), MAX_PATH);
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = extension;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&dialog) ? std::wstring(path) : std::wstring();
}

} // namespace

CScopeDlg::CScopeDlg(const ScopeOptions& options, const BusBinding& bus)
    : CDialog(IDD),
      m_options(options), m_bus(bus), m_model(options.windowMicros, options.arrayValue), m_codes(nullptr), m_font(CreateViewFont()),
      m_quitOnClose(false), m_registered(false), m_checking(false),
      m_lastFrame(0), m_lastList(0), m_lastStatus(0), m_batchTaken(0), m_receivedAtStatus(0)
{
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
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_CODES, OnCodesItemChanged)
    ON_NOTIFY(NM_CUSTOMDRAW, IDC_CODES, OnCodesCustomDraw)
    ON_CBN_SELCHANGE(IDC_WINDOW, OnWindowChosen)
    ON_BN_CLICKED(IDC_PAUSE, OnPause)
    ON_BN_CLICKED(IDC_CLEAR_CHART, OnClearChart)
    ON_BN_CLICKED(IDC_FIX_SCALE, OnFixScale)
    ON_BN_CLICKED(IDC_SAVE_PNG, OnSavePng)
    ON_BN_CLICKED(IDC_SAVE_CSV, OnSaveCsv)
    ON_COMMAND(IDM_OPEN_SIGNALS, OnOpenSignals)
END_MESSAGE_MAP()

bool CScopeDlg::Start(std::wstring* error)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&controls);
    if (!Create()) {
        *error = L"无法创建窗口 cannot create the window";
        return false;
    }
    int registered = m_bus.vRegister(m_hWnd, m_options.mask, "velkscope");
    if (registered < 0) {
        *error = L"总线拒绝注册 the bus refused the registration: " + Wide(VelkResultText(registered));
        DestroyWindow(m_hWnd);
        return false;
    }
    m_registered = true;
    m_counters = ReadCounters(m_bus);
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

    SetWindowText(("velkscope - " + BusNameForTitle()).c_str());

    m_chart.SubclassDlgItem(IDC_CHART, this);
    m_chart.Attach(&m_model, &m_clock, m_font);
    m_codes = ::GetDlgItem(m_hWnd, IDC_CODES);
    for (int id : { IDC_CODES, IDC_STATUS })
        ::SendMessageW(::GetDlgItem(m_hWnd, id), WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    SetUpCodeList();
    if (m_signals != nullptr)
        ListView_SetColumnWidth(m_codes, kCodeColumn, 170);
    SetUpWindowChoices();

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
        { L"迟到 Late", 64, LVCFMT_LEFT },
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
    // Shown as code, count, late mark, value: the value, the widest, last,
    // so that a mark never hides it and the count stays in sight.
    int order[kListColumns] = { kCodeColumn, kCountColumn, kLateColumn, kValueColumn };
    ListView_SetColumnOrderArray(m_codes, kListColumns, order);
}

// The value column takes what the others leave of the list's width.
void CScopeDlg::FitValueColumn()
{
    RECT client;
    ::GetClientRect(m_codes, &client);
    int others = 0;
    for (int column : { kCodeColumn, kCountColumn, kLateColumn })
        others += ListView_GetColumnWidth(m_codes, column);
    ListView_SetColumnWidth(m_codes, kValueColumn, std::max(80, static_cast<int>(client.right) - others));
}

void CScopeDlg::SetUpWindowChoices()
{
    HWND combo = ::GetDlgItem(m_hWnd, IDC_WINDOW);
    auto add = [this, combo](const wchar_t* text, int64_t micros) {
        int at = static_cast<int>(::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
        ::SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(micros / 1000));
        if (micros == m_options.windowMicros)
            ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
    };
    bool listed = false;
    for (const WindowChoice& choice : kWindowChoices) {
        if (!listed && m_options.windowMicros < choice.micros) {
            // A window given on the command line that no choice has.
            std::wstring text = Wide(FormatText("%g s", static_cast<double>(m_options.windowMicros) / 1e6));
            add(text.c_str(), m_options.windowMicros);
        }
        listed = listed || m_options.windowMicros <= choice.micros;
        add(choice.text, choice.micros);
    }
}

// Everything in pixels from the client size: the list on the left, the
// chart beside it, a row of controls and the status line along the bottom.
void CScopeDlg::Layout(int width, int height)
{
    RECT unit = { 0, 0, 4, 8 };   // dialog units: 4 x 8 is one character cell
    MapDialogRect(m_hWnd, &unit);
    const int margin = unit.right;
    const int row = unit.bottom * 14 / 8;
    const int status = height - margin - row;
    const int controls = status - margin / 2 - row;
    const int listWidth = std::min(std::max(width * 3 / 10, 320), 400);

    Place(m_hWnd, IDC_CODES, margin, margin, listWidth, controls - 2 * margin);
    FitValueColumn();
    Place(m_hWnd, IDC_CHART, 2 * margin + listWidth, margin, width - 3 * margin - listWidth, controls - 2 * margin);

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
    Place(m_hWnd, IDC_STATUS, margin, status, width - 2 * margin, row);
    m_chart.Invalidate(FALSE);
}

void CScopeDlg::OnSize(UINT type, int cx, int cy)
{
    if (type != SIZE_MINIMIZED && m_codes != nullptr)
        Layout(cx, cy);
}

void CScopeDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    info->ptMinTrackSize.x = kMinWidth;
    info->ptMinTrackSize.y = kMinHeight;
}

BOOL CScopeDlg::PreTranslateMessage(MSG* pMsg)
{
    // Escape would close the window: a scope is closed on purpose only.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_ESCAPE)
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CScopeDlg::OnCancel()
{
    DestroyWindow(m_hWnd);
}

void CScopeDlg::OnDestroy()
{
    KillTimer(m_hWnd, kFrameTimer);
    if (m_registered)
        m_bus.vUnregister(m_hWnd);   // the handle is still valid: the bus learns which window leaves
    m_registered = false;
    CDialog::OnDestroy();
}

void CScopeDlg::PostNcDestroy()
{
    if (m_quitOnClose)
        PostQuitMessage(0);
}

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
    int row = m_model.Receive(code, m_clock.Now(), TakeLatest(m_bus, code, dataWord), &inserted);
    if (inserted)
        InsertRow(static_cast<size_t>(row));
}

void CScopeDlg::InsertRow(size_t row)
{
    const CodeRow& codeRow = m_model.Rows()[row];
    std::wstring code = WideFromUtf8(m_model.RowName(row));
    LVITEMW item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<wchar_t*>(code.c_str());
    item.lParam = static_cast<LPARAM>(codeRow.code);
    ::SendMessageW(m_codes, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (m_model.TraceOf(codeRow.code) >= 0)
        SetChecked(row, true);
}

void CScopeDlg::SetChecked(size_t row, bool checked)
{
    m_checking = true;
    ListView_SetCheckState(m_codes, static_cast<int>(row), checked ? TRUE : FALSE);
    m_checking = false;
}

void CScopeDlg::OnCodesItemChanged(NMHDR* header, LRESULT*)
{
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (m_checking || (change->uChanged & LVIF_STATE) == 0 ||
        ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0 || change->iItem < 0)
        return;
    size_t row = static_cast<size_t>(change->iItem);
    if (row >= m_model.Rows().size())
        return;
    uint32_t code = m_model.Rows()[row].code;
    bool checked = (change->uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    if (checked && !m_model.Tick(code)) {
        SetChecked(row, false);
        m_note = L"最多画 8 条曲线 at most 8 traces";
        RefreshStatus(m_clock.Now());
        return;
    }
    if (!checked)
        m_model.Untick(code);
    ListView_RedrawItems(m_codes, change->iItem, change->iItem);
    m_chart.Redraw();
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
        int trace = m_model.TraceOf(static_cast<uint32_t>(draw->nmcd.lItemlParam));
        if (trace >= 0) {
            uint32_t rgb = TraceColour(m_model.Traces()[static_cast<size_t>(trace)].colour);
            draw->clrText = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        }
    }
    *result = CDRF_DODEFAULT;
}

void CScopeDlg::OnTimer(UINT_PTR id)
{
    if (id == kFrameTimer)
        Frame(m_clock.Now());
}

void CScopeDlg::Frame(int64_t now)
{
    m_lastFrame = now;
    if (!m_model.Paused())
        m_chart.Redraw();
    if (now - m_lastList >= kListMicros) {
        m_lastList = now;
        RefreshList();
    }
    if (now - m_lastStatus >= kStatusMicros)
        RefreshStatus(now);
}

// Only the rows in sight, and of those only the ones that changed.
void CScopeDlg::RefreshList()
{
    const std::vector<CodeRow>& rows = m_model.Rows();
    size_t top = static_cast<size_t>(std::max(0, ListView_GetTopIndex(m_codes)));
    size_t end = std::min(rows.size(), top + static_cast<size_t>(ListView_GetCountPerPage(m_codes)) + 1);
    const int64_t now = m_clock.Now();
    for (size_t row = top; row < end; ++row) {
        // A row turns late with no message at all: that is a change too.
        const bool late = m_model.Late(row, now);
        if (!rows[row].changed && late == rows[row].shownLate)
            continue;
        m_model.MarkShown(row, late);
        const std::string signals = m_model.RowSignalText(row);
        std::wstring value = signals.empty() ? AfxWideFromNarrow(LatestValueText(rows[row].latest, kValueCellBytes, IsSystemLeadByte).c_str())
                                             : WideFromUtf8(signals);
        LVITEMW wide;
        ZeroMemory(&wide, sizeof wide);
        wide.iSubItem = kValueColumn;
        wide.pszText = const_cast<wchar_t*>(value.c_str());
        ::SendMessageW(m_codes, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&wide));
        wide.iSubItem = kLateColumn;
        wide.pszText = const_cast<wchar_t*>(late ? L"迟到 late" : L"");
        ::SendMessageW(m_codes, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&wide));
        std::string count = FormatText("%" PRIu64, rows[row].count);
        LVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.iSubItem = kCountColumn;
        item.pszText = const_cast<char*>(count.c_str());
        ::SendMessageA(m_codes, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
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

    std::wstring text = L"收到 received " + Wide(FormatText("%" PRIu64 " (%.0f/s)", received, rate));
    int status = BusStatus(m_bus);
    if (status != kVelkOk) {
        text += L" · 总线不可用 bus unusable: " + Wide(VelkResultText(status));
    } else {
        CounterValues counters = ReadCounters(m_bus);
        bool losing = false;
        text += L" · 总线 bus: " + Wide(FormatCounterChange(m_counters, counters, &losing));
        m_counters = counters;
    }
    if (m_model.Unlisted() != 0)
        text += L" · 未列出 unlisted " + Wide(FormatText("%" PRIu64, m_model.Unlisted()));
    if (!m_note.empty())
        text += L" · " + m_note;
    SetStatus(text);
}

void CScopeDlg::SetStatus(const std::wstring& text)
{
    SetWindowTextW(::GetDlgItem(m_hWnd, IDC_STATUS), text.c_str());
}

void CScopeDlg::OnWindowChosen()
{
    HWND combo = ::GetDlgItem(m_hWnd, IDC_WINDOW);
    LRESULT at = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (at == CB_ERR)
        return;
    int64_t millis = static_cast<int64_t>(::SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(at), 0));
    m_model.SetWindow(millis * 1000, m_clock.Now());
    m_chart.Redraw();
}

void CScopeDlg::OnPause()
{
    if (m_model.Paused())
        m_model.Resume();
    else
        m_model.Pause(m_clock.Now());
    SetDlgItemTextW(m_hWnd, IDC_PAUSE, m_model.Paused() ? L"继续 Resume" : L"暂停 Pause");
    m_chart.Redraw();
}

void CScopeDlg::OnClearChart()
{
    m_model.Clear();
    m_note.clear();
    RefreshList();
    m_chart.Redraw();
}

void CScopeDlg::OnFixScale()
{
    if (m_model.ScaleFixed()) {
        m_model.FixScale(nullptr);
    } else {
        Axis shown = m_chart.ShownAxis();
        m_model.FixScale(&shown);
    }
    SetDlgItemTextW(m_hWnd, IDC_FIX_SCALE, m_model.ScaleFixed() ? L"自动刻度 Auto scale" : L"固定刻度 Fix scale");
    m_chart.Redraw();
}

bool CScopeDlg::SavePng(const wchar_t* path, std::string* error)
{
    RECT client;
    m_chart.GetClientRect(&client);
    HDC screen = GetDC(m_chart.m_hWnd);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    ReleaseDC(m_chart.m_hWnd, screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    m_chart.Paint(memory, client);
    SelectObject(memory, old);
    DeleteDC(memory);
    bool saved = SaveBitmapAsPng(bitmap, path, error);
    DeleteObject(bitmap);
    return saved;
}

void CScopeDlg::OnSavePng()
{
    SaveAs(L"PNG (*.png)\0*.png\0", L"png", &CScopeDlg::SavePng);
}

// Asks where, saves there, and says how it went.
void CScopeDlg::SaveAs(const wchar_t* filter, const wchar_t* extension,
                       bool (CScopeDlg::*save)(const wchar_t* path, std::string* error))
{
    std::wstring path = AskSavePath(m_hWnd, filter, extension);
    if (path.empty())
        return;
    std::string error;
    if (!(this->*save)(path.c_str(), &error)) {
        AfxMessageBox((L"无法保存 cannot save " + path + L": " + Wide(error)).c_str());
        return;
    }
    m_note = L"已保存 saved " + path;
    RefreshStatus(m_clock.Now());
}

bool CScopeDlg::SaveCsv(const wchar_t* path, std::string* error)
{
    const int64_t now = m_model.ShownNow(m_clock.Now());
    std::string csv = std::string(kCsvByteOrderMark) + FormatCsvHeader(&m_clock.Start()) + kCsvLineEnd;
    for (const RecordedMessage& message : m_model.VisibleMessages(now))
        csv += FormatCsvRow(message, &m_clock.Start(), SystemCodePage()) + kCsvLineEnd;
    FILE* file = _wfopen(path, L"wb");
    if (file == nullptr) {
        *error = strerror(errno);
        return false;
    }
    bool written = fwrite(csv.data(), 1, csv.size(), file) == csv.size();
    written = fclose(file) == 0 && written;
    if (!written) {
        *error = strerror(errno);
        _wremove(path);   // half a table is no table
    }
    return written;
}

void CScopeDlg::OnSaveCsv()
{
    SaveAs(L"CSV (*.csv)\0*.csv\0", L"csv", &CScopeDlg::SaveCsv);
}

bool CScopeDlg::OpenSignals(const std::wstring& path, std::wstring* errors)
{
    std::unique_ptr<SignalDatabase> loaded(new SignalDatabase);
    if (!ReadSignalFile(path, loaded.get(), errors))
        return false;
    // The model lets go of the old file before it goes.
    const bool fitted = m_model.SetSignals(loaded.get(), WindowsSignalCodePages());
    m_signals.swap(loaded);
    m_note = fitted ? L"信号文件 signals: " + path : L"最多画 8 条曲线, 部分代码未画 at most 8 traces: some codes are no longer drawn";
    if (m_hWnd == nullptr)
        return true;
    ListView_SetColumnWidth(m_codes, kCodeColumn, 170);   // the code and its name
    FitValueColumn();
    const std::vector<CodeRow>& rows = m_model.Rows();
    for (size_t row = 0; row < rows.size(); ++row) {
        std::wstring name = WideFromUtf8(m_model.RowName(row));
        LVITEMW item;
        ZeroMemory(&item, sizeof item);
        item.pszText = const_cast<wchar_t*>(name.c_str());
        ::SendMessageW(m_codes, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        SetChecked(row, m_model.TraceOf(rows[row].code) >= 0);
    }
    RefreshList();
    RefreshStatus(m_clock.Now());
    m_chart.Redraw();
    return true;
}

bool CScopeDlg::TickSignals(const std::vector<std::string>& names, std::string* error)
{
    if (names.empty())
        return true;
    if (m_signals == nullptr) {
        *error = N_("--signal needs a signal file: --signals FILE or VELK_SIGNALS");
        return false;
    }
    std::vector<SignalTraceRef> traces;
    if (!FindSignalTraces(*m_signals, names, &traces, error))
        return false;
    for (const SignalTraceRef& trace : traces) {
        if (!m_model.TickSignal(trace)) {
            *error = N_("at most 8 traces are drawn at once (each array field is one)");
            return false;
        }
    }
    return true;
}

void CScopeDlg::OnOpenSignals()
{
    wchar_t path[MAX_PATH] = L"";
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = L"信号文件 Signal files (*.toml)\0*.toml\0所有文件 All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return;
    std::wstring errors;
    if (!OpenSignals(path, &errors))
        AfxMessageBox((L"信号文件有误, 未载入 the signal file was not loaded:\n" + errors).c_str(), MB_OK | MB_ICONERROR);
}
