// velkscope's time axis: microseconds since the program started, on the
// monotonic high-resolution counter (velkctl's clock).
#pragma once
#include <stdint.h>

#include "velkctl/Clock.h"

class ScopeClock {
public:
    ScopeClock() : start_(ClockTicks()) {}
    int64_t Now() const { return static_cast<int64_t>(ClockMicrosSince(start_)); }

private:
    uint64_t start_;
};
