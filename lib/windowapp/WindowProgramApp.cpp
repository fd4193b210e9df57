#include "windowapp/WindowProgramApp.h"

#include "client/ExitStatus.h"

CWindowProgramApp::CWindowProgramApp(const char* name)
    : CWinApp(name), m_bus(), m_exitCode(kExitOk)
{
}

CWindowProgramApp::~CWindowProgramApp()
{
}

BEGIN_MESSAGE_MAP(CWindowProgramApp, CWinApp)
END_MESSAGE_MAP()

BOOL CWindowProgramApp::Fail(int exitCode)
{
    m_exitCode = exitCode;
    return FALSE;
}

BOOL CWindowProgramApp::Run(CWnd* window)
{
    m_pMainWnd = window;
    return TRUE;
}

int CWindowProgramApp::ExitInstance()
{
    m_pMainWnd = nullptr;
    m_window.reset();   // leaves the bus before the library goes
    FreeBus(&m_bus);
    return m_exitCode;
}
