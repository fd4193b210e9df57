#include "windows/Clock.h"

#include <mmsystem.h>

#include "windows/StopSignal.h"

namespace {

uint64_t g_ticksPerSecond;

// How late a sleep was seen to end, in ticks; starts at 2 ms and follows
// the worst recent overshoot.
int64_t g_sleepMargin = -1;

const int64_t kLongestSleepMs = 50;

// FILETIME counts 100 ns from 1601-01-01 UTC.
const int64_t kFileTimeOf1970 = 116444736000000000LL;

int64_t MicrosOfFileTime(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return (static_cast<int64_t>(value.QuadPart) - kFileTimeOf1970) / 10;
}

FILETIME FileTimeOfMicros(int64_t micros)
{
    ULARGE_INTEGER value;
    value.QuadPart = static_cast<ULONGLONG>(micros * 10 + kFileTimeOf1970);
    FILETIME time;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    return time;
}

} // namespace

uint64_t ClockTicks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<uint64_t>(now.QuadPart);
}

uint64_t ClockTicksPerSecond()
{
    if (g_ticksPerSecond == 0) {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        g_ticksPerSecond = static_cast<uint64_t>(frequency.QuadPart);
    }
    return g_ticksPerSecond;
}

uint64_t ClockMicrosSince(uint64_t startTicks)
{
    uint64_t now = ClockTicks();
    if (now <= startTicks)
        return 0;
    uint64_t ticks = now - startTicks;
    uint64_t rate = ClockTicksPerSecond();
    return ticks / rate * 1000000 + ticks % rate * 1000000 / rate;
}

FineTimerResolution::FineTimerResolution()
    : granted_(timeBeginPeriod(1) == TIMERR_NOERROR)
{
}

FineTimerResolution::~FineTimerResolution()
{
    if (granted_)
        timeEndPeriod(1);
}

bool WaitForDeadline(uint64_t deadlineTicks)
{
    const int64_t ticksPerMs = static_cast<int64_t>(ClockTicksPerSecond()) / 1000;
    const int64_t leastMargin = ticksPerMs / 2;
    const int64_t mostMargin = 2 * ticksPerMs;
    if (g_sleepMargin < 0)
        g_sleepMargin = mostMargin;
    for (;;) {
        if (StopRequested())
            return false;
        int64_t left = static_cast<int64_t>(deadlineTicks - ClockTicks());
        if (left <= 0)
            return true;
        if (left < g_sleepMargin + ticksPerMs) {
            SwitchToThread();
            continue;
        }
        // Short sleeps, so a stop request is seen soon.
        int64_t sleepMs = (left - g_sleepMargin) / ticksPerMs;
        if (sleepMs > kLongestSleepMs)
            sleepMs = kLongestSleepMs;
        uint64_t wake = ClockTicks() + static_cast<uint64_t>(sleepMs * ticksPerMs);
        Sleep(static_cast<DWORD>(sleepMs));
        // Up at once, down slowly.
        int64_t late = static_cast<int64_t>(ClockTicks() - wake);
        if (late > g_sleepMargin)
            g_sleepMargin = late;
        else
            g_sleepMargin -= (g_sleepMargin - late) / 16;
        if (g_sleepMargin < leastMargin)
            g_sleepMargin = leastMargin;
        if (g_sleepMargin > mostMargin)
            g_sleepMargin = mostMargin;
    }
}

WallTime WallClockNow()
{
    // Windows 8 and later keep the time to the microsecond; Windows 7 to the tick.
    typedef VOID(WINAPI * GetTimeFunction)(LPFILETIME);
    static GetTimeFunction getTime = reinterpret_cast<GetTimeFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
    FILETIME now;
    if (getTime != NULL)
        getTime(&now);
    else
        GetSystemTimeAsFileTime(&now);
    WallTime wall;
    wall.utcMicros = MicrosOfFileTime(now);
    wall.offsetMinutes = LocalOffsetMinutes(wall.utcMicros);
    return wall;
}

int LocalOffsetMinutes(int64_t utcMicros)
{
    FILETIME utc = FileTimeOfMicros(utcMicros);
    SYSTEMTIME utcCalendar, localCalendar;
    FILETIME local;
    if (!FileTimeToSystemTime(&utc, &utcCalendar) ||
        !SystemTimeToTzSpecificLocalTime(NULL, &utcCalendar, &localCalendar) ||
        !SystemTimeToFileTime(&localCalendar, &local))
        return 0;
    // The calendars keep milliseconds: the difference is whole minutes, less
    // the microseconds the local calendar lost.
    int64_t micros = MicrosOfFileTime(local) - utcMicros;
    return static_cast<int>((micros + (micros < 0 ? -30000000 : 30000000)) / 60000000);
}

WallTime WallTimeAfter(const WallTime& start, uint64_t micros)
{
    WallTime later;
    later.utcMicros = start.utcMicros + static_cast<int64_t>(micros);
    later.offsetMinutes = LocalOffsetMinutes(later.utcMicros);
    return later;
}
