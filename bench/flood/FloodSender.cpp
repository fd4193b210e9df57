#include "bench/flood/FloodSender.h"

#include <stdio.h>

#include <windows.h>

#include "velk/VelkLibrary.h"

namespace {

long long Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

} // namespace

int RunSender(unsigned rate, unsigned seconds)
{
    HWND window = CreateWindowExA(0, "STATIC", "flood sender", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                  GetModuleHandleA(NULL), NULL);
    if (window == NULL || velkBusStatus() != kVelkOk) {
        fprintf(stderr, "flood sender: no window or no bus\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    const long long started = Ticks();
    const long long total = static_cast<long long>(rate) * seconds;
    long long posted = 0;
    // Catch up to the schedule every millisecond or so: the rate holds on
    // average even when a sleep runs long.
    while (posted < total) {
        long long elapsed = Ticks() - started;
        long long due = elapsed * static_cast<long long>(rate) / frequency.QuadPart;
        if (due > total)
            due = total;
        for (; posted < due; ++posted)
            vPostData(window, kFloodCode, static_cast<LPARAM>(posted), 4);
        Sleep(1);
    }
    double took = static_cast<double>(Ticks() - started) / static_cast<double>(frequency.QuadPart);
    printf("%lld %.3f\n", posted, took);
    DestroyWindow(window);
    return 0;
}
