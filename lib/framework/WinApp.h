// The application object. Exactly one exists, a global constructed before
// WinMain; WinMain (in WinApp.cpp) runs its InitInstance.
#pragma once
#include "framework/CmdTarget.h"
#include "framework/String.h"

#include <string>

class CWnd;

#ifndef ID_HELP
#define ID_HELP 0xE146   // the framework's help command
#endif

class CWinApp : public CCmdTarget {
public:
    // Without a name the application is named after the program's file,
    // corvane.exe -> "corvane".
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int Run();
    virtual int ExitInstance();

    // Sees every message a modal loop takes from the queue before it is
    // translated and dispatched; TRUE consumes it. The base asks each of our
    // windows from the message's window up to its top-level window, which
    // gives the dialogs their keyboard navigation.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    const wchar_t* AppNameW() const { return m_appNameW.c_str(); }

    const char* m_pszAppName;
    CWnd* m_pMainWnd;
    HINSTANCE m_hInstance;

protected:
    void OnHelp();   // there is no help content: nothing to show

private:
    CString m_appName;
    std::wstring m_appNameW;

    DECLARE_MESSAGE_MAP()
};

CWinApp* AfxGetApp();

// What a message loop calls before translating and dispatching: the
// application's PreTranslateMessage, or its base walk when there is no
// application object.
BOOL AfxPreTranslateMessage(MSG* pMsg);

// The body of WinMain.
int AfxWinMain();
