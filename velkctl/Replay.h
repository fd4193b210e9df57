// velkctl replay: posts a recording's messages again with their recorded
// spacing, on absolute deadlines.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>
#include <windows.h>

#include "velkctl/BusBinding.h"
#include "velkctl/RecordLine.h"

struct ReplayOptions {
    double speed;              // recorded spacing divided by this; 0: as fast as the bus takes them
    uint64_t loops;            // passes over the file; 0: until stopped
};

// Reads and checks the whole file ('-': standard input). On a fault prints
// "FILE:LINE: what is wrong" and returns kExitUsage, or why it cannot be
// read and kExitIo; else kExitOk.
int ReadRecording(const std::string& path, std::vector<RecordedMessage>* messages);

// The process exit code; the summary goes to stderr.
int ReplayMessages(const BusBinding& bus, HWND window, const std::vector<RecordedMessage>& messages,
                   const ReplayOptions& options);
