#include "velk/velkctl/Monitor.h"

#include <stdio.h>
#include <string>

#include "console/LogLines.h"

namespace {

// Milliseconds since the previous message, as the console counts them: the
// first message measures from tick 0, and the difference wraps at 2^32.
uint32_t g_lastTick;

uint32_t TakeTimeDelta()
{
    uint32_t now = GetTickCount();
    uint32_t delta = now - g_lastTick;
    g_lastTick = now;
    return delta;
}

const void* FetchPayload(void* context, intptr_t dataWord, int32_t* length)
{
    const BusBinding* bus = static_cast<const BusBinding*>(context);
    int fetched = 0;
    const char* bytes = bus->vGetp(static_cast<LPARAM>(dataWord), &fetched);
    *length = fetched;
    return bytes;
}

// Flushed line by line: whoever reads the pipe sees each message as it comes.
void PrintLine(const BusBinding& bus, UINT code, LPARAM dataWord)
{
    uint32_t delta = TakeTimeDelta();
    std::string line = FormatIncomingLine(delta, code, static_cast<intptr_t>(dataWord), FetchPayload,
                                          const_cast<BusBinding*>(&bus));
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

} // namespace

int RunMonitor(const BusBinding& bus, HWND window, const MonitorOptions& options)
{
    int registered = bus.vRegister(window, options.mask, "velkctl");
    if (registered < 0)
        return registered;

    const DWORD started = GetTickCount();
    const DWORD timeoutMs = options.timeoutSeconds * 1000u;
    uint64_t received = 0;
    int end = kMonitorTimedOut;
    for (bool running = true; running;) {
        MSG message;
        while (running && PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                end = kMonitorSessionEnded;
                running = false;
            } else if (message.message == WM_BUS_MESSAGE && message.hwnd == window) {
                PrintLine(bus, static_cast<UINT>(message.wParam), message.lParam);
                if (++received == options.count) {
                    end = kMonitorCountReached;
                    running = false;
                }
            } else {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        if (!running)
            break;
        DWORD wait = INFINITE;
        if (options.timeoutSeconds != 0) {
            DWORD elapsed = GetTickCount() - started;
            if (elapsed >= timeoutMs)
                break;
            wait = timeoutMs - elapsed;
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, wait, QS_ALLINPUT);
    }
    bus.vUnregister(window);
    return end;
}
