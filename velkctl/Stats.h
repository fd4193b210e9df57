// velkctl stats: every interval, the messages received per code, the total
// rate and the bus counters' change.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "velkctl/BusBinding.h"

struct StatsOptions {
    uint32_t mask;
    uint64_t intervalMicros;
    uint64_t count;            // intervals; 0: until stopped
};

// The process exit code.
int ShowStatistics(const BusBinding& bus, HWND window, const StatsOptions& options);
