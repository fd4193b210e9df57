// velkctl's monotonic clock (the high-resolution performance counter) and a
// wait for an absolute deadline on it.
#pragma once
#include <stdint.h>
#include <windows.h>

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
