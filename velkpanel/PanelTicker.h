// The wake-up of cyclic sends: a thread of its own sleeps until the next
// deadline on the high-resolution clock (at 1 ms timer resolution, never
// spinning) and posts the window a message when it comes. Posted messages reach the window inside every modal loop
// too (a menu, a drop-down list, the window being dragged), where a loop of
// our own would stop; the sends themselves stay on the window's thread, the
// one that calls the bus library.
#pragma once
#include <stdint.h>

#include <windows.h>

class PanelTicker {
public:
    PanelTicker(HWND window, UINT message);
    ~PanelTicker();   // stops and joins the thread
    PanelTicker(const PanelTicker&) = delete;
    PanelTicker& operator=(const PanelTicker&) = delete;

    bool Start();
    // The next deadline in ClockTicks (windows/Clock.h); UINT64_MAX: none.
    // The window is posted the message once it has come.
    void SetDeadline(uint64_t ticks);

private:
    static DWORD WINAPI Run(void* self);
    void Loop();
    uint64_t Deadline(bool* stop);

    HWND window_;
    UINT message_;
    HANDLE thread_ = nullptr;
    HANDLE wake_ = nullptr;
    CRITICAL_SECTION lock_;
    uint64_t deadline_ = UINT64_MAX;
    bool stop_ = false;
};
