// velkctl monitor: registers with a mask and prints one line per message
// received, in the console's own log format or as JSON lines.
#pragma once
#include <stdint.h>
#include <string>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"
#include "velkctl/MonitorTime.h"
#include "signals/SignalDatabase.h"

struct MonitorOptions {
    uint32_t mask = 0;
    uint64_t count = 0;            // stop after this many messages shown; 0: no limit
    uint64_t timeoutMicros = 0;    // stop after this long; 0: no limit
    bool jsonLines = false;        // JSON lines instead of the console's format
    MonitorTime time = kMonitorTimeConsole;   // JSON lines: kMonitorTimeAbsolute adds "time"
    std::string outPath;           // write here instead of standard output; empty: stdout
    MessageFilter filter;          // what is shown; the rest is counted in a summary on stderr
    // The codes it has get their signals: on a line of their own after the
    // raw line, indented by four blanks, or as the JSON line's "signals".
    const SignalDatabase* signals = nullptr;
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
