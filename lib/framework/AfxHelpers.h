// Free functions of the framework: message boxes, libraries, resources.
#pragma once
#include <windows.h>

// A modal box with the application's name as caption; the warning icon
// unless the type names another. The owner is the thread's active window,
// else the application's main window.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
// For the program's own Chinese texts: shown right whatever the code page.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);

// Loads a library. A bare file name ("velk.dll") is looked for only in the
// program's folder and the system folder, never in the current directory or
// along PATH, so a file planted there cannot be loaded in its place. A name
// with a folder in it is loaded from there. No error boxes from the system.
HINSTANCE AfxLoadLibrary(const char* fileName);
BOOL AfxFreeLibrary(HINSTANCE module);

// The module holding the application's resources.
HINSTANCE AfxFindResourceHandle(LPCTSTR name, LPCTSTR type);

// No template holds an ActiveX control: nothing to enable.
inline void AfxEnableControlContainer() {}

// Calls from Win32 into our code end here when something escaped them.
void AfxReportEscapedException(const char* where);
