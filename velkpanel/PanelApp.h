// velkpanel's application object: reads the command line, binds velk.dll,
// opens the files named and runs the panel window until it is closed.
#pragma once
#include <memory>

#include "client/BusBinding.h"
#include "framework/Framework.h"

class CPanelDlg;

class CPanelApp : public CWinApp {
public:
    CPanelApp();
    ~CPanelApp() override;

    // TRUE once the window is up; the framework's loop runs it then.
    BOOL InitInstance() override;
    // Closes the window, frees the library; the exit status of a failed start.
    int ExitInstance() override;

private:
    int m_exitCode;
    BusBinding m_bus;
    std::unique_ptr<CPanelDlg> m_panel;

    DECLARE_MESSAGE_MAP()
};
