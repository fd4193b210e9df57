// What the velkscope tests share: the thread's messages run for a while,
// and the chart as its own paint function draws it.
#pragma once
#include <windows.h>

#include "tests/DrawnPicture.h"

// Runs the thread's messages for ms milliseconds.
inline void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

// What the chart control's paint function draws now (WM_PRINTCLIENT).
inline Picture PaintChart(HWND chart)
{
    RECT client;
    GetClientRect(chart, &client);
    HDC screen = GetDC(chart);
    Picture picture = DrawnPicture(screen, client.right, client.bottom, [chart](HDC memory) {
        ::SendMessageW(chart, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    });
    ReleaseDC(chart, screen);
    return picture;
}
