// velkctl export: a recording as CSV for spreadsheets (velkctl/CsvExport.h),
// or as JSON lines for scripts (the velk Python package's reader).
// Needs no bus.
#pragma once
#include <stdint.h>
#include <string>

#include "formats/MessageFilter.h"
#include "signals/SignalDatabase.h"

struct ExportOptions {
    std::string path;          // the recording; "-": standard input
    std::string out;           // the CSV; "-": standard output; empty: path with .csv for its extension
    MessageFilter filter;      // the rows; the rest is counted in the summary
    const SignalDatabase* signals = nullptr;   // adds the signal columns (formats/CsvExport.h)
    bool wide = false;         // a row per time step, a column per signal (velkctl/WideCsv.h)
    bool jsonLines = false;    // a JSON line per message instead of CSV, as monitor --jsonl writes them
    uint64_t fromMicros = 0;            // --from, --to: the stretch exported, from the recording's start
    uint64_t toMicros = UINT64_MAX;
};

// The process exit status. The whole recording is checked before a byte of
// CSV is written: a bad line gives "FILE:LINE: what" and exit 2, and no CSV.
// The CSV is made beside its name and takes the name only when it is whole,
// so a CSV there before stays as it was on any failure.
int ExportRecording(const ExportOptions& options);
