// velkscope's time axis: microseconds since the program started, on the
// monotonic high-resolution counter (velkctl's clock), and the wall-clock
// time of that start, for the saved CSV.
#pragma once
#include <stdint.h>

#include "windows/Clock.h"
#include "common/LocalTime.h"

class ScopeClock {
public:
    ScopeClock() : start_(ClockTicks()), wallStart_(WallClockNow()) {}
    int64_t Now() const { return static_cast<int64_t>(ClockMicrosSince(start_)); }
    const WallTime& Start() const { return wallStart_; }

private:
    uint64_t start_;
    WallTime wallStart_;
};
