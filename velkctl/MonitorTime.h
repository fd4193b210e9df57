// The time a monitor line shows (velkctl monitor --time). Pure.
#pragma once
#include <string>

enum MonitorTime {
    kMonitorTimeConsole,       // the console's line: milliseconds since the previous message, as it counts them
    kMonitorTimeRelative,      // --time rel: seconds since the monitor started, 12.345678
    kMonitorTimeAbsolute,      // --time abs: local time, 2026-12-08T20:25:40.150+08:00
    kMonitorTimeDelta,         // --time delta: milliseconds since the previous message (the first: the start), 12.127
};

// "rel", "abs", "delta" to the time; false for anything else (exact words:
// no case folding, no spaces), and *time is left as it was.
bool ParseMonitorTime(const std::string& text, MonitorTime* time);
