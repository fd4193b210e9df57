#include "client/ClientWindow.h"

namespace {

const char kClassName[] = "VelkCtlClient";

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != 0)
            PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

HWND CreateClientWindow()
{
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.lpfnWndProc = ClientWindowProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return NULL;
    // Never shown.
    return CreateWindowExA(0, kClassName, "velkctl", WS_OVERLAPPED, 0, 0, 0, 0,
                           NULL, NULL, windowClass.hInstance, NULL);
}
