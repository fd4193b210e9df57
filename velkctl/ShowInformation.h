// velkctl clients, vars and counters: one of the library's information
// texts, once, or with --watch again whenever it changes, each time under a
// line with the local time, until Ctrl+C or a count.
#pragma once
#include <stdint.h>
#include <string>

#include "client/BusBinding.h"

struct WatchOptions {
    bool watch = false;
    uint64_t intervalMicros = 1000000;   // how often the text is read again
    uint64_t count = 0;                  // end after printing this many times; 0: at Ctrl+C
};

// selector: kInfoHandles, kInfoVariables or kInfoFurther. The exit status.
int ShowInformation(const BusBinding& bus, int selector, const WatchOptions& options);

// "-- 2026-12-08 09:12:03.123 +08:00 --" and a newline: the local time with
// its UTC offset, as monitor --time abs writes it, heading each repeated
// block (--watch, top on a pipe).
std::string LocalTimeLine();
