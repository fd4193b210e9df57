// velkscope's application object: reads the command line, binds velk.dll
// and runs the scope window until it is closed.
#pragma once
#include <memory>

#include "framework/Framework.h"
#include "client/BusBinding.h"

class CScopeDlg;

class CScopeApp : public CWinApp {
public:
    CScopeApp();
    ~CScopeApp() override;

    // TRUE once the window is up; the framework's loop runs it then.
    BOOL InitInstance() override;
    // Closes the window, frees the library; the exit status of a failed start.
    int ExitInstance() override;

private:
    int m_exitCode;
    BusBinding m_bus;
    std::unique_ptr<CScopeDlg> m_scope;

    DECLARE_MESSAGE_MAP()
};
