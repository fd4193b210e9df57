// The application object velkscope and velkpanel share: it holds the bus
// binding and the program's one window, says a failed start's exit status,
// and at the end closes the window before the bus library goes.
#pragma once
#include <memory>

#include "client/BusBinding.h"
#include "framework/Framework.h"

class CWindowProgramApp : public CWinApp {
public:
    explicit CWindowProgramApp(const char* name);
    ~CWindowProgramApp() override;

    // Closes the window, frees the library; the exit status of a failed start.
    int ExitInstance() override;

protected:
    // A start that failed, with its exit status: InitInstance returns this.
    BOOL Fail(int exitCode);
    // The window is up: the framework's loop runs it until it is closed.
    BOOL Run(CWnd* window);

    BusBinding m_bus;
    std::unique_ptr<CWnd> m_window;   // the program's dialog, made by InitInstance

private:
    int m_exitCode;

    DECLARE_MESSAGE_MAP()
};
