// velkctl top: one row per code with its latest value and rate, refreshed
// every interval. In a console window the table is redrawn in place (keys:
// q quit, space pause, c clear counts, s sort by rate or code); into a file
// or pipe the whole table goes out once per interval, headed by the time.
#pragma once
#include <stdint.h>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"
#include "signals/SignalDatabase.h"

struct TopOptions {
    uint32_t mask = 0;
    MessageFilter filter;           // which messages get rows
    uint64_t intervalMicros = 1000000;
    uint64_t count = 0;             // intervals; 0: until q or Ctrl+C
    // The codes it has show a row per signal, named, with unit and marks.
    const SignalDatabase* signals = nullptr;
};

// The exit status.
int RunTop(const BusBinding& bus, HWND window, const TopOptions& options);
