// velkscope's application object: reads the command line, binds velk.dll
// and runs the scope window until it is closed.
#pragma once
#include "windowapp/WindowProgramApp.h"

class CScopeApp : public CWindowProgramApp {
public:
    CScopeApp();

    // TRUE once the window is up; the framework's loop runs it then.
    BOOL InitInstance() override;
};
