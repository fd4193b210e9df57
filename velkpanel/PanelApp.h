// velkpanel's application object: reads the command line, binds velk.dll,
// opens the files named and runs the panel window until it is closed.
#pragma once
#include "windowapp/WindowProgramApp.h"

class CPanelApp : public CWindowProgramApp {
public:
    CPanelApp();

    // TRUE once the window is up; the framework's loop runs it then.
    BOOL InitInstance() override;
};
