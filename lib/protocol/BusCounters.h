// The bus's counters (information text 131, "name value" lines) and their
// change over a span, as record and stats report it. Pure logic.
#pragma once
#include <stdint.h>
#include <map>
#include <string>

typedef std::map<std::string, uint64_t> CounterValues;

// Every "name value" line with a decimal value; other lines (a library that
// says something else) are skipped, so unknown and new counters do no harm.
CounterValues ParseCounters(const char* text);

// "posted +10, delivered +20, dropped +0, expired +0, abandoned +0"; a
// counter either side lacks shows as "?". *losing is set when anything was
// dropped, expired or abandoned.
std::string FormatCounterChange(const CounterValues& before, const CounterValues& after, bool* losing);
