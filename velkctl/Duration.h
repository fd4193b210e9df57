// Durations on velkctl's command line: a decimal number and a unit, as in
// "100ms", "2.5ms", "1s", "3m". Pure logic.
#pragma once
#include <stdint.h>
#include <string>

// Units us, ms, s, m and h. The whole text must be the duration, a whole
// number of microseconds, at most 100 days. False (and *micros untouched)
// otherwise, with what is wrong in *error when error is not null.
bool ParseDuration(const std::string& text, uint64_t* micros, std::string* error);
