// velkctl's monotonic clock (the high-resolution performance counter), a
// wait for an absolute deadline on it, and the wall clock with the local
// zone.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "common/LocalTime.h"

uint64_t ClockTicks();
uint64_t ClockTicksPerSecond();
// Microseconds from start to now (0 if now is earlier).
uint64_t ClockMicrosSince(uint64_t startTicks);

// Asks the system for 1 ms timer resolution for the object's life, so a
// sleep ends close to when it was asked to.
class FineTimerResolution {
public:
    FineTimerResolution();
    ~FineTimerResolution();
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

private:
    bool granted_;
};

// Returns true at the deadline (at once if it has passed), false as soon as
// a stop is requested. Sleeps while the deadline is more than a margin away,
// then yields until it comes: the margin follows what sleeps were seen to
// overshoot (0.5 to 2 ms), so the wait neither ends late nor spins long.
bool WaitForDeadline(uint64_t deadlineTicks);

// Now, on the system's wall clock (to the microsecond where the system
// keeps it so), with the local zone's offset at that time.
WallTime WallClockNow();

// The local zone's offset from UTC at that instant, daylight saving time
// included.
int LocalOffsetMinutes(int64_t utcMicros);

// The wall time micros after start: start's instant moved on by the
// monotonic clock, with the offset of that later instant.
WallTime WallTimeAfter(const WallTime& start, uint64_t micros);
