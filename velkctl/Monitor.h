// velkctl monitor: registers with a mask and prints one line per message
// received, in the console's own log format or as JSON lines.
#pragma once
#include <stdint.h>
#include <string>
#include <windows.h>

#include "velkctl/BusBinding.h"

struct MonitorOptions {
    uint32_t mask;
    uint64_t count;            // stop after this many messages; 0: no limit
    uint32_t timeoutSeconds;   // stop after this long; 0: no limit
    bool jsonLines;            // JSON lines instead of the console's format
    std::string outPath;       // write here instead of standard output; empty: stdout
};

enum MonitorEnd {
    kMonitorCountReached,
    kMonitorTimedOut,
    kMonitorSessionEnded,
    kMonitorStopped,           // Ctrl+C, Ctrl+Break or console close
};

// Returns how the monitor ended, or a negative VelkResult when the window
// could not be registered. The output file is made before registering;
// kMonitorFileFailed (after a message on stderr) when it cannot be made or
// written.
enum { kMonitorFileFailed = 100 };
int RunMonitor(const BusBinding& bus, HWND window, const MonitorOptions& options);
