// velkctl replay: posts a recording's messages again with their recorded
// spacing, on absolute deadlines. The file is read twice, in chunks: once to
// check it whole before anything is posted, once to post.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/RecordLine.h"
#include "formats/Schedule.h"

struct ReplayOptions {
    double speed;              // recorded spacing divided by this; 0: as fast as the bus takes them
    uint64_t loops;            // passes over the file; 0: until stopped
};

// A recording checked whole and kept open for posting.
struct CheckedRecording {
    std::string name;          // as messages call it
    FILE* file = NULL;         // the file, or a temporary copy of standard input
    RecordingSpan span;
};

// The check pass over path ('-': standard input). On a fault says
// "FILE:LINE: what is wrong" (or why it cannot be read) on stderr and returns
// the exit status; kExitOk when every line is good.
int CheckRecording(const std::string& path, CheckedRecording* recording);

// Posts the checked recording's messages and closes it; the process exit
// code. The summary goes to stderr.
int ReplayMessages(const BusBinding& bus, HWND window, const CheckedRecording& recording,
                   const ReplayOptions& options);
