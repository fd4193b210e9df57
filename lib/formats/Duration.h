// Durations on velkctl's command line, the one grammar of every duration
// option (--timeout, --duration, --every, --interval ...): a decimal number
// and a unit, as in "100ms", "2.5ms", "1s", "3m"; a bare number is seconds.
// Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// Units us, ms, s, m and h; none: s. The whole text must be the duration, a
// whole number of microseconds, at most 100 days. False (and *micros
// untouched) otherwise, with what is wrong in *error when error is not null.
bool ParseDuration(const std::string& text, uint64_t* micros, std::string* error);

// The same for the option named what ("timeout"): on failure *error says
// "bad timeout '2x': unknown unit (expected ...)". positive: 0 is refused.
bool ParseDurationOption(const std::string& text, const char* what, bool positive, uint64_t* micros,
                         std::string* error);
