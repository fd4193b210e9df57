#include "velkpanel/PanelDlg.h"

#include <algorithm>

#include <commctrl.h>
#include <commdlg.h>

#include "client/ExitStatus.h"
#include "client/InputFile.h"
#include "client/ProgramMessages.h"
#include "client/SignalsOption.h"
#include "common/FormatText.h"
#include "velk/VelkResults.h"
#include "velkpanel/AutomaticPanel.h"
#include "velkpanel/PanelBus.h"
#include "windows/Clock.h"
#include "windows/SystemCodePage.h"
#include "windows/FileDialogs.h"
#include "windows/WideText.h"

namespace {

const UINT WM_PANEL_TICK = WM_APP + 1;
const UINT_PTR kRefreshTimer = 1;
const UINT kRefreshTimerMs = 50;
const int64_t kRefreshMicros = 50000;    // received values 20 times a second
const int64_t kStatusMicros = 1000000;
const int kMinWidth = 480, kMinHeight = 320;

// path's folder joined with name, unless name is a path of its own.
std::wstring Beside(const std::wstring& path, const std::wstring& name)
{
    const bool absolute = (name.size() > 1 && name[1] == L':') || (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return absolute || slash == std::wstring::npos ? name : path.substr(0, slash + 1) + name;
}

std::wstring FileName(const std::wstring& path)
{
    const std::wstring::size_type slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Whole messages while they fit: a window holds a few thousand controls.
// How many were kept.
size_t KeepWidgets(Panel* panel, size_t most)
{
    std::vector<PanelWidget>& widgets = panel->tabs[0].widgets;
    if (widgets.size() <= most)
        return widgets.size();
    size_t keep = most;
    while (keep > 0 && widgets[keep].message == widgets[keep - 1].message)
        --keep;
    widgets.resize(keep);
    return keep;
}

} // namespace

CPanelDlg::CPanelDlg(const BusBinding& bus)
    : CDialog(IDD), m_bus(bus), m_batches(m_bus, this), m_startTicks(ClockTicks()), m_status(&m_counts), m_sender(m_bus, m_startTicks, &m_counts, &m_status),
      m_automatic(true), m_registered(false), m_quitOnClose(false), m_lastRefresh(0), m_lastStatus(0), m_refreshes(0)
{
}

CPanelDlg::~CPanelDlg()
{
    if (m_hWnd != nullptr)
        DestroyWindow(m_hWnd);
}

BEGIN_MESSAGE_MAP(CPanelDlg, CDialog)
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_GETMINMAXINFO()
    ON_WM_TIMER()
    ON_MESSAGE(WM_BUS_MESSAGE, OnBusMessage)
    ON_MESSAGE(WM_PANEL_TICK, OnTick)
    ON_NOTIFY(TCN_SELCHANGE, IDC_TABS, OnTabChanged)
    ON_COMMAND(IDM_OPEN_SIGNALS, OnOpenSignals)
    ON_COMMAND(IDM_OPEN_PANEL, OnOpenPanel)
END_MESSAGE_MAP()

int64_t CPanelDlg::Now() const
{
    return static_cast<int64_t>(ClockMicrosSince(m_startTicks));
}

int CPanelDlg::OpenSignals(const std::wstring& path, std::vector<std::string>* errors)
{
    std::shared_ptr<SignalDatabase> signals(new SignalDatabase);
    const int status = ReadSignalsFile(path, signals.get(), errors);
    if (status != kExitOk)
        return status;
    std::unique_ptr<Panel> panel(new Panel(AutomaticPanel(*signals)));
    const size_t all = panel->tabs[0].widgets.size();
    const size_t kept = KeepWidgets(panel.get(), kMaxPanelWidgets);
    m_signalsPath = path;
    Install(signals, std::move(panel), true, FileName(path),
            kept == all ? L"信号文件 signals: " + path
                        : WideFromUtf8(FormatText("只显示前 %zu 个信号 only the first %zu of %zu signals are shown", kept, kept, all)));
    return kExitOk;
}

int CPanelDlg::OpenPanel(const std::wstring& path, const std::wstring& signals, std::vector<std::string>* errors)
{
    errors->clear();
    std::string text, why;
    int status = ReadWholeFile(path, kMaxPanelFileBytes, &text, &why);
    if (status != kExitOk) {
        errors->push_back(why);
        return status;
    }
    const std::string name = Utf8FromWide(path);
    std::string named;
    if (!ReadPanelSignalsKey(text, name, &named, errors))
        return kExitUsage;
    std::wstring signalsPath = !signals.empty() ? signals : !named.empty() ? Beside(path, WideFromUtf8(named)) : std::wstring();
    std::shared_ptr<SignalDatabase> database = m_signals;
    if (signalsPath.empty() && database == nullptr)
        signalsPath = SignalsFileToLoad(std::wstring());
    if (!signalsPath.empty()) {
        database.reset(new SignalDatabase);
        status = ReadSignalsFile(signalsPath, database.get(), errors);
        if (status != kExitOk)
            return status;
    } else if (database == nullptr) {
        errors->push_back(name + ": the panel names no signal file: give signals = \"rig.toml\" under [panel], "
                                 "or --signals FILE, or set VELK_SIGNALS");
        return kExitUsage;
    }
    std::unique_ptr<Panel> panel(new Panel);
    if (!LoadPanelFile(text, name, *database, panel.get(), errors))
        return kExitUsage;
    if (!signalsPath.empty())
        m_signalsPath = signalsPath;
    const std::wstring title = panel->title.empty() ? FileName(path) : WideFromUtf8(panel->title);
    Install(database, std::move(panel), false, title, L"面板 panel: " + path);
    return kExitOk;
}

void CPanelDlg::Install(std::shared_ptr<SignalDatabase> signals, std::unique_ptr<Panel> panel, bool automatic,
                        const std::wstring& title, const std::wstring& note)
{
    // The old panel's controls, cyclic sends and groups go first.
    m_sender.SetModel(nullptr, nullptr);
    m_view.reset();
    m_model.reset();
    m_panel = std::move(panel);
    m_signals = signals;
    m_automatic = automatic;
    m_title = title;
    m_model.reset(new PanelModel(*m_signals, *m_panel, WindowsSignalCodePages(), GbkFromUtf8));
    m_sender.SetModel(m_model.get(), m_panel.get());
    std::wstring shown = note;
    for (size_t i = 0; i < m_model->GroupCount(); ++i) {
        if (!m_model->Group(i).StartError().empty()) {
            shown += L"  \u00b7  初值无法使用, 从 0 开始 an init cannot be used, starting from 0: " + WideFromUtf8(m_model->Group(i).StartError());
            break;
        }
    }
    m_status.SetNote(shown);
    if (m_hWnd == nullptr)
        return;
    BuildView();
    if (m_registered)
        RegisterPanel(m_bus, m_hWnd, m_model->SubscriptionMask());   // the same window: its mask anew
    m_sender.StartSends();
}

bool CPanelDlg::BuildView()
{
    SetWindowTextW(m_hWnd, (L"velkpanel - " + (m_title.empty() ? std::wstring(L"-") : m_title) + L" - " +
                            WideFromUtf8(BusNameForTitle())).c_str());
    HWND tabs = ::GetDlgItem(m_hWnd, IDC_TABS);
    TabCtrl_DeleteAllItems(tabs);
    if (m_model == nullptr) {
        ShowWindow(tabs, SW_HIDE);
        Layout();
        RefreshStatus();
        return true;
    }
    for (size_t i = 0; !m_automatic && i < m_panel->tabs.size(); ++i) {
        std::wstring name = WideFromUtf8(m_panel->tabs[i].name);
        TCITEMW item;
        ZeroMemory(&item, sizeof item);
        item.mask = TCIF_TEXT;
        item.pszText = &name[0];
        ::SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    ShowWindow(tabs, m_automatic ? SW_HIDE : SW_SHOW);
    m_view.reset(new PanelView(m_hWnd, m_model.get(), &m_sender, m_automatic));
    const bool built = m_view->Build();
    if (!built)
        m_status.SetNote(L"无法创建控件 cannot make the controls");
    Layout();
    Refresh(true);
    RefreshStatus();
    return built;
}

bool CPanelDlg::Start(std::wstring* error)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    if (!Create()) {
        *error = L"无法创建窗口 cannot create the window";
        return false;
    }
    const int registered = RegisterPanel(m_bus, m_hWnd, m_model != nullptr ? m_model->SubscriptionMask() : 0);
    if (registered < 0) {
        *error = L"总线拒绝注册 the bus refused the registration: " + WideFromUtf8(VelkResultText(registered));
        DestroyWindow(m_hWnd);
        return false;
    }
    m_registered = true;
    m_ticker.reset(new PanelTicker(m_hWnd, WM_PANEL_TICK));
    if (!m_ticker->Start()) {
        *error = L"无法启动周期发送 cannot start the cyclic sends";
        DestroyWindow(m_hWnd);
        return false;
    }
    m_sender.Attach(m_hWnd, m_ticker.get());
    m_sender.StartSends();
    SetTimer(m_hWnd, kRefreshTimer, kRefreshTimerMs, nullptr);
    return true;
}

BOOL CPanelDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_PANEL_ICON));
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);
    m_status.Attach(::GetDlgItem(m_hWnd, IDC_STATUS));
    if (m_model == nullptr)
        m_status.SetNote(L"打开信号文件或面板文件 open a signal file or a panel file: 文件 File");
    BuildView();
    return TRUE;
}

void CPanelDlg::Layout()
{
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    RECT unit = { 0, 0, 4, 8 };
    MapDialogRect(m_hWnd, &unit);
    const int margin = unit.right, line = unit.bottom * 12 / 8;
    // Two lines: a refusal in Chinese and English with the counts after it
    // is longer than the window's first width.
    const int statusTop = client.bottom - margin / 2 - 2 * line;
    SetWindowPos(::GetDlgItem(m_hWnd, IDC_STATUS), nullptr, margin, statusTop, client.right - 2 * margin, 2 * line,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT area = { 0, 0, client.right, statusTop - margin / 2 };
    HWND tabs = ::GetDlgItem(m_hWnd, IDC_TABS);
    if (!m_automatic && m_view != nullptr) {
        // The tabs' row only: the pages below are their body.
        RECT row = { 0, 0, 0, unit.bottom * 14 / 8 };
        TabCtrl_GetItemRect(tabs, 0, &row);
        const int tabHeight = row.bottom + 2;
        SetWindowPos(tabs, nullptr, margin, margin / 2, client.right - 2 * margin, tabHeight, SWP_NOZORDER | SWP_NOACTIVATE);
        area.top = margin / 2 + tabHeight;
    }
    if (m_view != nullptr)
        m_view->Layout(area);
}

void CPanelDlg::OnSize(UINT type, int, int)
{
    if (type != SIZE_MINIMIZED)
        Layout();
}

void CPanelDlg::OnGetMinMaxInfo(MINMAXINFO* info)
{
    info->ptMinTrackSize.x = kMinWidth;
    info->ptMinTrackSize.y = kMinHeight;
}

BOOL CPanelDlg::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN) {
        // A parked control with the focus (the first one, as the window
        // opens) comes into place before it takes the key.
        if (m_view != nullptr)
            m_view->Reached(pMsg->hwnd);
        // Escape would close the window: a panel is closed on purpose only.
        // An open drop-down list still takes it, to close.
        wchar_t kind[16] = L"";
        HWND focus = GetFocus();
        if (focus != nullptr)
            GetClassNameW(focus, kind, 16);
        const bool dropped = lstrcmpiW(kind, L"ComboBox") == 0 && ::SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0);
        if (pMsg->wParam == VK_ESCAPE && !dropped)
            return TRUE;
        // Ctrl+Tab and Ctrl+PgDn (with Shift, or PgUp: back) change tabs.
        const bool control = GetKeyState(VK_CONTROL) < 0;
        HWND tabs = ::GetDlgItem(m_hWnd, IDC_TABS);
        const int count = TabCtrl_GetItemCount(tabs);
        if (control && count > 1 && (pMsg->wParam == VK_TAB || pMsg->wParam == VK_NEXT || pMsg->wParam == VK_PRIOR)) {
            const bool back = pMsg->wParam == VK_PRIOR || (pMsg->wParam == VK_TAB && GetKeyState(VK_SHIFT) < 0);
            const int next = (TabCtrl_GetCurSel(tabs) + (back ? count - 1 : 1)) % count;
            TabCtrl_SetCurSel(tabs, next);
            m_view->ShowTab(static_cast<size_t>(next));
            return TRUE;
        }
    }
    const BOOL handled = CDialog::PreTranslateMessage(pMsg);
    // Tab may have moved the focus to a parked control, or out of sight.
    if (handled && pMsg->message == WM_KEYDOWN && m_view != nullptr)
        m_view->Reached(GetFocus());
    return handled;
}

void CPanelDlg::OnOK()
{
    // Enter sends an edit box's value (PanelView); elsewhere it does nothing.
}

void CPanelDlg::OnCancel()
{
    DestroyWindow(m_hWnd);
}

void CPanelDlg::OnDestroy()
{
    KillTimer(m_hWnd, kRefreshTimer);
    m_sender.Attach(nullptr, nullptr);
    m_status.Attach(nullptr);
    m_ticker.reset();
    if (m_registered)
        UnregisterPanel(m_bus, m_hWnd);   // the handle is still valid: the bus learns which window leaves
    m_registered = false;
    m_view.reset();
    CDialog::OnDestroy();
}

void CPanelDlg::PostNcDestroy()
{
    if (m_quitOnClose)
        PostQuitMessage(0);
}

void CPanelDlg::OnTimer(UINT_PTR id)
{
    if (id == kRefreshTimer)
        Refresh(false);
}

void CPanelDlg::Refresh(bool all)
{
    const int64_t now = Now();
    m_lastRefresh = now;
    ++m_refreshes;
    if (m_view != nullptr)
        m_view->Refresh(now, 0, all);
    if (now - m_lastStatus >= kStatusMicros)
        RefreshStatus();
}

LRESULT CPanelDlg::OnBusMessage(WPARAM wParam, LPARAM lParam)
{
    m_batches.OnBusMessage(m_hWnd, wParam, lParam);
    return 0;
}

void CPanelDlg::TakeBusMessage(UINT code, LPARAM dataWord)
{
    const int64_t now = Now();
    const RecordedMessage message = TakeFromBus(m_bus, code, dataWord, static_cast<uint64_t>(now));
    ++m_counts.received;
    if (m_model != nullptr)
        m_model->Receive(message, now);
}

void CPanelDlg::FrameIfDue()
{
    if (Now() - m_lastRefresh >= kRefreshMicros)
        Refresh(false);
}

LRESULT CPanelDlg::OnTick(WPARAM, LPARAM)
{
    m_sender.SendDue();
    return 0;
}

void CPanelDlg::RefreshStatus()
{
    m_lastStatus = Now();
    m_status.Show();
}

void CPanelDlg::OnTabChanged(NMHDR*, LRESULT*)
{
    if (m_view != nullptr)
        m_view->ShowTab(static_cast<size_t>(std::max(0, TabCtrl_GetCurSel(::GetDlgItem(m_hWnd, IDC_TABS)))));
}

std::wstring CPanelDlg::AskOpenPath(const wchar_t* filter)
{
    const std::vector<std::wstring> paths = AskOpenPaths(m_hWnd, filter, false);
    return paths.empty() ? std::wstring() : paths[0];
}

std::wstring ErrorLines(const std::vector<std::string>& errors)
{
    const size_t shown = 20;
    std::wstring text;
    for (size_t i = 0; i < errors.size() && i < shown; ++i)
        text += (i == 0 ? L"" : L"\n") + WideFromUtf8(LocalizedUtf8(errors[i], "\n"));
    if (errors.size() > shown)
        text += L"\n" + WideFromUtf8(LocalizedUtf8(FormatText(N_("... %zu more"), errors.size() - shown), " "));
    return text;
}

void CPanelDlg::OnOpenSignals()
{
    const std::wstring path = AskOpenPath(L"信号文件 Signal files (*.toml)\0*.toml\0所有文件 All files (*.*)\0*.*\0");
    std::vector<std::string> errors;
    if (!path.empty() && OpenSignals(path, &errors) != kExitOk)
        AfxMessageBox((L"信号文件有误, 未载入 the signal file was not loaded:\n" + ErrorLines(errors)).c_str(), MB_OK | MB_ICONERROR);
}

void CPanelDlg::OnOpenPanel()
{
    const std::wstring path = AskOpenPath(L"面板文件 Panel files (*.toml)\0*.toml\0所有文件 All files (*.*)\0*.*\0");
    std::vector<std::string> errors;
    if (!path.empty() && OpenPanel(path, std::wstring(), &errors) != kExitOk)
        AfxMessageBox((L"面板文件有误, 未载入 the panel was not loaded:\n" + ErrorLines(errors)).c_str(), MB_OK | MB_ICONERROR);
}
