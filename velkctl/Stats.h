// velkctl stats: every interval, the messages received per code, the total
// rate and the bus counters' change.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"

struct StatsOptions {
    uint32_t mask = 0;
    uint64_t intervalMicros = 0;
    uint64_t count = 0;            // intervals; 0: until stopped
    MessageFilter filter;          // what is counted per code; the rest only in a total
};

// The process exit code.
int ShowStatistics(const BusBinding& bus, HWND window, const StatsOptions& options);
