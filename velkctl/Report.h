// velkctl report: one page of what a recording holds (velkctl/RecordingReport.h),
// as HTML or text. Needs no bus.
#pragma once
#include <string>

#include "signals/SignalDatabase.h"

struct ReportOptions {
    std::string path;          // the recording; "-": standard input
    std::string out;           // the page; "-": standard output
    bool text = false;         // plain text instead of HTML
    const SignalDatabase* signals = nullptr;
    std::string signalsFile;   // its name, for the page; empty: none
};

// Reads the recording through once (a bad line: "FILE:LINE: what", exit 2,
// and no page written), then writes the page. Returns the exit status.
int ReportRecording(const ReportOptions& options);
