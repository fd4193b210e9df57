#include "app/CorvaneDlg.h"
#include "app/AboutDlg.h"
#include "app/MinimisedIcon.h"

namespace {

const char kBusLibraryFile[] = "velk.dll";

} // namespace

CCorvaneDlg::CCorvaneDlg(CWnd* pParent)
    : CDialog(IDD, pParent),
      m_bus(),
      m_nChannel(0),
      m_nValue(0),
      m_strDir("Read Value"),
      m_strType("Depth"),
      m_strText("Welcome to https://example.org/corvane"),
      m_strArray("01 05 09 00 02 09 00 00 01 03 03"),
      m_bAdc(0), m_bCnt(0), m_bDep(0), m_bTmr(0), m_bWtc(0), m_bArr(0), m_bCtl(0), m_bStr(0), m_bAbs(0)
{
    m_hIcon = LoadIconW(AfxFindResourceHandle(MAKEINTRESOURCE(IDR_MAINFRAME), RT_GROUP_ICON),
                        MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CCorvaneDlg::~CCorvaneDlg()
{
}

void CCorvaneDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LOG, m_logView);
    DDX_Control(pDX, IDC_VAR_INDEX, m_varIndexEdit);
    DDX_Control(pDX, IDC_VAR_VALUE, m_varValueEdit);
    DDX_Control(pDX, IDC_HANDLEINFO, m_handlesPane);
    DDX_Control(pDX, IDC_VARINFO, m_varsPane);
    DDX_Text(pDX, IDC_CHANNEL, m_nChannel);
    DDV_MinMaxUInt(pDX, m_nChannel, 0, 255);
    DDX_Text(pDX, IDC_VALUE, m_nValue);
    DDX_CBString(pDX, IDC_DIR, m_strDir);
    DDX_CBString(pDX, IDC_TYPE, m_strType);
    DDX_Text(pDX, IDC_STRING, m_strText);
    DDX_Text(pDX, IDC_ARRAY, m_strArray);
    DDX_Check(pDX, IDC_ADC, m_bAdc);
    DDX_Check(pDX, IDC_CNT, m_bCnt);
    DDX_Check(pDX, IDC_DEP, m_bDep);
    DDX_Check(pDX, IDC_TMR, m_bTmr);
    DDX_Check(pDX, IDC_WTC, m_bWtc);
    DDX_Check(pDX, IDC_ARR, m_bArr);
    DDX_Check(pDX, IDC_CTL, m_bCtl);
    DDX_Check(pDX, IDC_STR, m_bStr);
    DDX_Check(pDX, IDC_ABS, m_bAbs);
    DDX_Control(pDX, IDC_INFO, m_infoEdit);
}

// The complete table of the main dialog, one group per concern. CLOSE (IDOK)
// and the hidden Cancel button reach CDialog's OK and Cancel handling.
BEGIN_MESSAGE_MAP(CCorvaneDlg, CDialog)
    // Window life
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_DESTROY()
    ON_WM_QUERYENDSESSION()
    ON_WM_ENDSESSION()
    // Incoming bus messages
    ON_MESSAGE(WM_BUS_MESSAGE, OnBusMessage)
    // Outgoing messages: Send, Send Str, Send Arr, StopAll
    ON_BN_CLICKED(IDC_SEND, OnSend)
    ON_BN_CLICKED(IDC_SEND_STR, OnSendStr)
    ON_BN_CLICKED(IDC_SEND_ARR, OnSendArr)
    ON_BN_CLICKED(IDC_STOPALL, OnStopAll)
    // Subscription: every check box re-registers
    ON_BN_CLICKED(IDC_DEP, UpdateSubscription)
    ON_BN_CLICKED(IDC_ADC, UpdateSubscription)
    ON_BN_CLICKED(IDC_WTC, UpdateSubscription)
    ON_BN_CLICKED(IDC_CNT, UpdateSubscription)
    ON_BN_CLICKED(IDC_TMR, UpdateSubscription)
    ON_BN_CLICKED(IDC_STR, UpdateSubscription)
    ON_BN_CLICKED(IDC_ARR, UpdateSubscription)
    ON_BN_CLICKED(IDC_CTL, UpdateSubscription)
    ON_BN_CLICKED(IDC_ABS, UpdateSubscription)
    // Status
    ON_BN_CLICKED(IDC_REFRESH, RefreshStatus)
    // Public variables and session broadcast: Modify, END_SESSION
    ON_BN_CLICKED(IDC_MODIFY, OnModify)
    ON_BN_CLICKED(IDC_END_SESSION, OnBroadcastEndSession)
    // Log view: Clear
    ON_BN_CLICKED(IDC_CLEAR, OnClear)
END_MESSAGE_MAP()

BOOL CCorvaneDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The About item at the end of the system menu.
    CMenu* pSysMenu = GetSystemMenu(FALSE);
    if (pSysMenu != nullptr) {
        CString strAboutMenu;
        strAboutMenu.LoadString(IDS_ABOUTBOX);
        if (!strAboutMenu.IsEmpty()) {
            pSysMenu->AppendMenu(MF_SEPARATOR);
            pSysMenu->AppendMenu(MF_STRING, IDM_ABOUTBOX, strAboutMenu);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_bus = BusBinding();   // all eight cleared before the first load
    if (!LoadBusLibrary(kBusLibraryFile))
        AfxMessageBox("load dll error!", MB_OK, 0);
    RefreshStatus();

    return TRUE;
}

void CCorvaneDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CCorvaneDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int cxIcon = GetSystemMetrics(SM_CXICON);
    int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = CentredIconOffset(rect.right - rect.left, cxIcon);
    int y = CentredIconOffset(rect.bottom - rect.top, cyIcon);
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CCorvaneDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CCorvaneDlg::OnDestroy()
{
    CDialog::OnDestroy();
    FreeBusLibrary();   // the handle is still valid: the library learns which window leaves
}

BOOL CCorvaneDlg::OnQueryEndSession()
{
    return TRUE;
}

void CCorvaneDlg::OnEndSession(BOOL bEnding)
{
    if (bEnding)
        FreeBusLibrary();
    CDialog::OnEndSession(bEnding);
}

void CCorvaneDlg::OnClear()
{
    m_logView.ClearLines();
}
