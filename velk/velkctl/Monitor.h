// velkctl monitor: registers with a mask and prints one log line per message
// received, in the console's own format.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "velk/velkctl/BusBinding.h"

struct MonitorOptions {
    uint32_t mask;
    uint64_t count;            // stop after this many messages; 0: no limit
    uint32_t timeoutSeconds;   // stop after this long; 0: no limit
};

enum MonitorEnd {
    kMonitorCountReached,
    kMonitorTimedOut,
    kMonitorSessionEnded,
};

// Returns how the monitor ended, or a negative VelkResult when the window
// could not be registered.
int RunMonitor(const BusBinding& bus, HWND window, const MonitorOptions& options);
