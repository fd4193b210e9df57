// velkctl replay: posts a recording's messages again with their recorded
// spacing, on absolute deadlines. The file is read twice, in chunks: once to
// check it whole before anything is posted, once to post.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#include "client/BusBinding.h"
#include "formats/RecordLine.h"
#include "formats/Schedule.h"
#include "formats/SeriesReader.h"

struct ReplayOptions {
    double speed;              // recorded spacing divided by this; 0: as fast as the bus takes them
    uint64_t loops;            // passes over the file; 0: until stopped
};

// A recording checked whole: a file, a series of parts (client/InputFile.h)
// or standard input, kept in a temporary copy.
struct CheckedRecording {
    CheckedRecording() {}
    ~CheckedRecording();               // closes the copy
    CheckedRecording(const CheckedRecording&) = delete;
    CheckedRecording& operator=(const CheckedRecording&) = delete;

    std::string name;                  // as messages call it
    std::vector<std::string> files;    // the file or the parts, in order
    FILE* copy = NULL;                 // standard input's copy; NULL for files
    RecordingSpan span;                // on the series' time axis
    uint64_t from = 0;                 // set before the check: only this stretch is read (SeriesReader::Window)
    uint64_t to = UINT64_MAX;
};

// The check pass over path ('-': standard input; a series by its first
// part, a glob or its folder). On a fault says "FILE:LINE: what is wrong"
// (or why it cannot be read) on stderr and returns the exit status; kExitOk
// when every line of every part is good.
int CheckRecording(const std::string& path, CheckedRecording* recording);
// The checked recording read again from its start: every reader after the
// check (replay, export, report) goes through this one.
std::unique_ptr<SeriesReader> ReadCheckedRecording(const CheckedRecording& recording);

// Posts the checked recording's messages; the process exit
// code. The summary goes to stderr.
int ReplayMessages(const BusBinding& bus, HWND window, const CheckedRecording& recording,
                   const ReplayOptions& options);
