// Wall-clock times as velkctl writes them: local time with milliseconds and
// the offset from UTC, as in "2026-12-08T20:25:40.150+08:00" (ISO 8601), so
// an engineer in UTC+8 reads the time on the wall and a program still knows
// the instant. Pure logic: the clock and the zone come from windows/Clock.
#pragma once
#include <stdint.h>
#include <string>

struct WallTime {
    int64_t utcMicros;     // since 1970-01-01 00:00 UTC
    int offsetMinutes;     // local time minus UTC: 480 for UTC+8, -210 for UTC-3:30
};

// "2026-12-08T20:25:40.150+08:00"; milliseconds cut, not rounded.
std::string FormatLocalTime(const WallTime& time);

// "2026-12-08 20:25:40.150": the local time as spreadsheets read a date and
// time; the offset goes elsewhere (a column's name).
std::string FormatSpreadsheetTime(const WallTime& time);

// "+08:00", "-03:30", "+00:00".
std::string FormatUtcOffset(int offsetMinutes);

// What FormatLocalTime writes, with 0 to 6 decimals of the second, or the
// same ending in "Z" for UTC (older recordings). The whole text; false
// leaves *time alone.
bool ParseLocalTime(const std::string& text, WallTime* time);
