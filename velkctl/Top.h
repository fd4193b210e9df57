// velkctl top: one row per code with its latest value and rate, refreshed
// every interval. In a console window the table is redrawn in place (keys:
// q quit, space pause, c clear counts, s sort by rate or code); into a file
// or pipe the whole table goes out once per interval, headed by the time.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "velkctl/BusBinding.h"

struct TopOptions {
    uint32_t mask;
    uint64_t intervalMicros;
    uint64_t count;            // intervals; 0: until q or Ctrl+C
};

// The exit status.
int RunTop(const BusBinding& bus, HWND window, const TopOptions& options);
