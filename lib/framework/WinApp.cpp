#include "framework/WinApp.h"
#include "framework/AfxHelpers.h"
#include "framework/Wnd.h"

namespace {

CWinApp* g_app = nullptr;

std::wstring NameFromProgramFile()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return L"";
    std::wstring name(path, length);
    size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

// Asks each of our windows from the message's window up to its top-level one.
BOOL WalkPreTranslate(MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != nullptr; hWnd = GetParent(hWnd)) {
        CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
        if (wnd != nullptr && wnd->PreTranslateMessage(pMsg))
            return TRUE;
        if ((GetWindowLongW(hWnd, GWL_STYLE) & WS_CHILD) == 0)
            break;   // GetParent of a top-level window is its owner: stop here
    }
    return FALSE;
}

} // namespace

CWinApp::CWinApp(const char* appName)
    : m_pszAppName(nullptr), m_pMainWnd(nullptr), m_hInstance(GetModuleHandleW(nullptr))
{
    if (appName != nullptr) {
        m_appName = appName;
        m_appNameW = AfxWideFromNarrow(appName);
    } else {
        m_appNameW = NameFromProgramFile();
        m_appName = AfxNarrowFromWide(m_appNameW.c_str(), m_appNameW.size());
    }
    m_pszAppName = m_appName.GetString();
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return FALSE;
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (!PreTranslateMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    ExitInstance();
    return static_cast<int>(msg.wParam);
}

int CWinApp::ExitInstance()
{
    return 0;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg)
{
    return WalkPreTranslate(pMsg);
}

void CWinApp::OnHelp()
{
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp* AfxGetApp()
{
    return g_app;
}

BOOL AfxPreTranslateMessage(MSG* pMsg)
{
    CWinApp* app = AfxGetApp();
    return app != nullptr ? app->PreTranslateMessage(pMsg) : WalkPreTranslate(pMsg);
}

int AfxWinMain()
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr)
        return -1;
    try {
        if (!app->InitInstance())
            return app->ExitInstance();
        return app->Run();
    } catch (...) {
        AfxReportEscapedException("InitInstance");
        return -1;
    }
}

// Lives beside CWinApp's constructor, which the program's global application
// object pulls in, so the linker finds it inside the static library.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return AfxWinMain();
}
