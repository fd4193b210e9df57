// velkctl record: every message velkctl's window receives, one line each,
// in the record format (velkctl/RecordLine.h); with --trigger only the
// windows around the messages a predicate holds on, a file each.
#pragma once
#include <stdint.h>
#include <string>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"
#include "formats/Predicate.h"
#include "formats/RecordParts.h"

struct RecordOptions {
    std::string path;              // "-": standard output
    uint32_t mask = 0;
    uint64_t count = 0;            // messages recorded; 0: no limit
    uint64_t durationMicros = 0;   // 0: no limit
    MessageFilter filter;          // what is recorded; the rest is counted in the summary
    bool compressed = false;       // --gzip or FILE ending in .gz: gzip members (formats/GzipMembers.h)
    PieceBound split;              // --split: parts (velkctl/RecordSeries.h); none: one file
    KeepBudget keep;               // --keep: the parts kept
};

// record --trigger: the predicate looks at every message received, the
// filters only choose what the files hold.
struct TriggerOptions {
    std::string text;                      // the predicate as given, for the files and the summary
    Predicate predicate;
    const SignalResolver* signals = NULL;  // null: codes only
    uint64_t preMicros = 0;
    uint64_t postMicros = 0;
    unsigned files = 1;                    // --retrigger N
    bool numbered = false;                 // --retrigger given: FILE-1, FILE-2, ...
    bool level = false;                    // --level: fires on every message it holds on, not only as it becomes true
};

// The process exit code. The file is made before the window registers and
// closed whole however the recording ends; the summary goes to stderr.
int RecordMessages(const BusBinding& bus, HWND window, const RecordOptions& options);

// The same with a trigger: the first file is made before the window
// registers, the others at their triggers; a first file no trigger wrote
// is removed.
int RecordTriggered(const BusBinding& bus, HWND window, const RecordOptions& options, const TriggerOptions& trigger);

// What both say after their summary line: losses on the bus, expired
// payloads, the session's end.
void PrintRecordWarnings(bool losing, uint64_t expired, int end);
