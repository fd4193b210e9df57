// velkctl record: every message velkctl's window receives, one line each,
// in the record format (velkctl/RecordLine.h).
#pragma once
#include <stdint.h>
#include <string>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/MessageFilter.h"

struct RecordOptions {
    std::string path;              // "-": standard output
    uint32_t mask = 0;
    uint64_t count = 0;            // messages recorded; 0: no limit
    uint64_t durationMicros = 0;   // 0: no limit
    MessageFilter filter;          // what is recorded; the rest is counted in the summary
};

// The process exit code. The file is made before the window registers and
// closed whole however the recording ends; the summary goes to stderr.
int RecordMessages(const BusBinding& bus, HWND window, const RecordOptions& options);
