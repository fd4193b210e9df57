#include "app/CorvaneApp.h"
#include "app/CorvaneDlg.h"

CCorvaneApp::CCorvaneApp()
    : CWinApp(nullptr)
{
}

CCorvaneApp::~CCorvaneApp()
{
}

BEGIN_MESSAGE_MAP(CCorvaneApp, CWinApp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CCorvaneApp::InitInstance()
{
    AfxEnableControlContainer();

    CCorvaneDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;   // the dialog object ends here
    return FALSE;
}

BOOL CCorvaneApp::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    return CWinApp::PreTranslateMessage(pMsg);
}
